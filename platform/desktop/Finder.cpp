#include "platform/desktop/Finder.h"

#include <mutex>

namespace platform {

namespace {

class QuietFinder : public FinderInterface {
public:
    int SendUpdateEvent(const FileRef&, bool) override { return kNoErr; }
    // No Finder runs here to make the alias, and claiming it was made would be a lie.
    int SendCreateAliasEvent(const FileRef&, const FileRef&, const std::string&) override { return kProcessNotFoundErr; }
};

std::mutex gFinderMutex;  // guards gFinder
boost::shared_ptr<FinderInterface> gFinder;

}  // namespace

boost::shared_ptr<FinderInterface> Finder()
{
    std::lock_guard<std::mutex> lock(gFinderMutex);
    if (!gFinder)
        gFinder.reset(new QuietFinder);
    return gFinder;
}

void SetFinder(const boost::shared_ptr<FinderInterface>& finder)
{
    std::lock_guard<std::mutex> lock(gFinderMutex);
    gFinder = finder;
}

}  // namespace platform
