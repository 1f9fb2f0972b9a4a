#include "ThreadUtils.h"

#include "platform/RunLoop.h"

namespace ThreadUtils {

bool ThreadSleep(unsigned long seconds)
{
    platform::RunLoop::Current().RunFor(static_cast<double>(seconds));
    return true;
}

void ServeRunLoop(double seconds)
{
    platform::RunLoop::Current().RunFor(seconds);
}

namespace ThreadPlatformStorage {

ThreadPlatformStorageImpl::ThreadPlatformStorageImpl() = default;

ThreadPlatformStorageImpl::~ThreadPlatformStorageImpl() = default;

ThreadPlatformStorageImpl* MakeThreadPlatformStorageImpl()
{
    return new ThreadPlatformStorageImpl;
}

void ReleaseThreadPlatformStorageImpl(ThreadPlatformStorageImpl* storage)
{
    delete storage;
}

}  // namespace ThreadPlatformStorage

}  // namespace ThreadUtils
