#include "ThreadUtils.h"

#include "platform/RunLoop.h"

namespace ThreadUtils {

bool ThreadSleep(unsigned long seconds)
{
    return ThreadSleepSeconds(static_cast<double>(seconds));
}

bool ThreadSleepSeconds(double seconds)
{
    platform::RunLoop::Current().RunFor(seconds);
    return true;
}

bool ThreadSleepUntil(double seconds, const std::function<bool()>& done)
{
    return platform::RunLoop::Current().RunUntil(seconds, done);
}

void WakeMainThread()
{
    platform::RunLoop::Main().Wake();
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
