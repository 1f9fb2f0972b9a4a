#include "platform/FaultInjection.h"

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <sstream>

namespace platform {

namespace {

std::mutex gFaultMutex;  // guards gFaultHook
FaultHook gFaultHook;

}  // namespace

void SetFaultHookForTesting(const FaultHook& hook)
{
    std::lock_guard<std::mutex> lock(gFaultMutex);
    gFaultHook = hook;
}

int InjectedFault(const std::string& operation, const std::string& path)
{
    FaultHook hook;
    {
        std::lock_guard<std::mutex> lock(gFaultMutex);
        hook = gFaultHook;
    }
    if (hook)
        return hook(operation, path);
#ifdef TOLK_TEST_HOOKS
    const char* listed = std::getenv("TOLK_FAULTS");
    if (listed == nullptr)
        return 0;
    std::istringstream names(listed);
    std::string name;
    while (std::getline(names, name, ',')) {
        if (name == operation)
            return EIO;
    }
#else
    (void)path;
#endif
    return 0;
}

}  // namespace platform
