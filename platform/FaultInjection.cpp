#include "platform/FaultInjection.h"

#include <mutex>

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
    return hook ? hook(operation, path) : 0;
}

}  // namespace platform
