#include "capsiHooks.h"

#include <unistd.h>

#include <ctime>

namespace {

// Set only by tests, before the sessions they check run.
int gRootOverride = -1;
boost::function<long()> gClock;

}  // namespace

bool capsiRunningAsRoot()
{
    if (gRootOverride >= 0)
        return gRootOverride != 0;
    return geteuid() == 0;
}

long capsiNow()
{
    if (gClock)
        return gClock();
    return static_cast<long>(std::time(nullptr));
}

void capsiSetRunningAsRootForTesting(int asRoot)
{
    gRootOverride = asRoot < 0 ? -1 : (asRoot != 0 ? 1 : 0);
}

void capsiSetClockForTesting(const boost::function<long()>& clock)
{
    gClock = clock;
}
