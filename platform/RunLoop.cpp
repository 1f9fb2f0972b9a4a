#include "platform/RunLoop.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <exception>
#include <memory>

namespace platform {

RunLoop& RunLoop::Main()
{
    static RunLoop* loop = new RunLoop;  // lives until exit: worker threads may still post to it
    return *loop;
}

RunLoop& RunLoop::Current()
{
    if (IsMainThread())
        return Main();
    thread_local RunLoop loop;
    return loop;
}

bool RunLoop::IsMainThread()
{
    return static_cast<pid_t>(syscall(SYS_gettid)) == getpid();
}

void RunLoop::Post(Task task)
{
    Task wakeUp;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        tasks_.push_back(std::move(task));
        wakeUp = wakeUp_;
    }
    queued_.notify_all();
    if (wakeUp)
        wakeUp();
}

void RunLoop::PerformAndWait(const Task& task)
{
    if (&Current() == this) {
        task();
        return;
    }
    struct Completion {
        std::mutex mutex;  // guards done, error
        std::condition_variable finished;
        bool done = false;
        std::exception_ptr error;
    };
    std::shared_ptr<Completion> completion = std::make_shared<Completion>();
    Post([task, completion]() {
        std::exception_ptr error;
        try {
            task();
        } catch (...) {
            error = std::current_exception();
        }
        std::lock_guard<std::mutex> lock(completion->mutex);
        completion->error = error;
        completion->done = true;
        completion->finished.notify_all();
    });
    std::unique_lock<std::mutex> lock(completion->mutex);
    completion->finished.wait(lock, [&completion]() { return completion->done; });
    if (completion->error)
        std::rethrow_exception(completion->error);
}

int RunLoop::RunPending()
{
    std::deque<Task> tasks;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        tasks.swap(tasks_);
    }
    for (Task& task : tasks)
        task();
    return static_cast<int>(tasks.size());
}

void RunLoop::RunFor(double seconds)
{
    EventPump pump;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        pump = pump_;
    }
    if (pump && &Current() == this) {
        RunPending();
        pump(seconds > 0 ? seconds : 0);
        return;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds > 0 ? seconds : 0);
    for (;;) {
        RunPending();
        std::unique_lock<std::mutex> lock(mutex_);
        if (!queued_.wait_until(lock, deadline, [this]() { return !tasks_.empty(); }))
            return;
    }
}

bool RunLoop::RunUntil(double seconds, const std::function<bool()>& done)
{
    // The longest a change that nobody woke the loop for goes unseen.
    const auto kLongestUnseen = std::chrono::milliseconds(10);
    typedef std::chrono::steady_clock Clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                          std::chrono::duration<double>(seconds > 0 ? seconds : 0));
    for (;;) {
        RunPending();
        if (done())
            return true;
        const Clock::time_point now = Clock::now();
        if (now >= deadline)
            return false;
        const Clock::time_point until = std::min<Clock::time_point>(deadline, now + kLongestUnseen);
        EventPump pump;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            pump = pump_;
        }
        if (pump && &Current() == this) {
            pump(std::chrono::duration<double>(until - now).count());
            continue;
        }
        std::unique_lock<std::mutex> lock(mutex_);
        queued_.wait_until(lock, until, [this]() { return !tasks_.empty(); });
    }
}

void RunLoop::Wake()
{
    Post([]() {});
}

void RunLoop::SetWakeUpHandler(Task handler)
{
    std::lock_guard<std::mutex> lock(mutex_);
    wakeUp_ = std::move(handler);
}

void RunLoop::SetEventPump(EventPump pump)
{
    std::lock_guard<std::mutex> lock(mutex_);
    pump_ = std::move(pump);
}

}  // namespace platform

