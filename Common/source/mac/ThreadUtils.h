// ThreadUtils: a sleep that keeps the calling thread's run loop served, and the per-thread
// platform object that a worker thread's job holds while it runs.
#pragma once

#include <functional>

namespace ThreadUtils {

// Waits the given number of seconds while running the calling thread's run loop, so that tasks
// queued for that thread (on the main thread: work that other threads send it) are run meanwhile.
// Always true.
bool ThreadSleep(unsigned long seconds);
// The same for a part of a second.
bool ThreadSleepSeconds(double seconds);
// The same, ending as soon as done() holds: true then, false when the time passed first. A
// thread that changes what done() reads calls WakeMainThread, so that a wait on the main thread
// ends at once.
bool ThreadSleepUntil(double seconds, const std::function<bool()>& done);
void WakeMainThread();

namespace ThreadPlatformStorage {

// What a worker thread holds for the platform while its job runs. On the Mac it was the thread's
// autorelease pool; the platform layer here keeps no per-thread objects, so it holds nothing, but
// jobs still make it first and release it last so that the pairing stays in one place.
class ThreadPlatformStorageImpl {
public:
    ThreadPlatformStorageImpl();
    virtual ~ThreadPlatformStorageImpl();

private:
    ThreadPlatformStorageImpl(const ThreadPlatformStorageImpl&) = delete;
    ThreadPlatformStorageImpl& operator=(const ThreadPlatformStorageImpl&) = delete;
};

// A new object for the calling thread; the caller owns it.
ThreadPlatformStorageImpl* MakeThreadPlatformStorageImpl();
// Destroys the object; null is ignored.
void ReleaseThreadPlatformStorageImpl(ThreadPlatformStorageImpl* storage);

}  // namespace ThreadPlatformStorage

}  // namespace ThreadUtils
