#include "RefreshInFinderObject.h"

#include "platform/RunLoop.h"
#include "platform/desktop/Finder.h"
#include "platform/files/FileRef.h"

namespace {

bool RefreshChain(const FileSystemPath& path)
{
    const FileSystemPath parent = path.Parent();
    if (path != parent && !RefreshChain(parent))
        return false;
    platform::FileRef item;
    if (platform::MakeFileRef(path.AsUTF8String(), item) != platform::kNoErr)
        return false;
    return platform::Finder()->SendUpdateEvent(item, true) == platform::kNoErr;
}

}  // namespace

void RefreshInFinderObject::refreshInFinder(const FileSystemPathCarrier& carrier)
{
    refreshSucceeded_ = false;
    if (carrier.path() == nullptr)
        return;
    try {
        refreshSucceeded_ = RefreshChain(*carrier.path());
    } catch (...) {
        // A path that cannot be compared is a refresh that did not happen; nothing may escape a
        // task of the main thread.
        refreshSucceeded_ = false;
    }
}

bool RefreshInFinder(const FileSystemPath& path)
{
    FileSystemPathCarrier carrier(path);
    RefreshInFinderObject refresher;
    platform::RunLoop::Main().PerformAndWait([&refresher, &carrier]() { refresher.refreshInFinder(carrier); });
    return refresher.refreshSucceeded();
}
