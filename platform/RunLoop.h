// RunLoop: the queue of tasks that a thread serves while it waits. The main thread's loop is
// where other threads send work that must run on the main thread; the GUI serves it from the
// GLib main context, ThreadSleep serves it while it sleeps.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace platform {

class RunLoop {
public:
    typedef std::function<void()> Task;

    // The loop of the process's main (first) thread.
    static RunLoop& Main();
    // The loop of the calling thread.
    static RunLoop& Current();
    static bool IsMainThread();

    // Queues a task for the loop's thread.
    void Post(Task task);
    // Runs the task on the loop's thread and waits until it has run; runs it at once when called
    // on that thread. An exception that leaves the task is thrown again to the caller.
    void PerformAndWait(const Task& task);

    // Serves queued tasks until the given time has passed (at least one pass over the queue).
    void RunFor(double seconds);
    // Serves queued tasks until done() holds or the given time has passed: true when done() held.
    // done() is asked at the start, after each task that wakes the loop (Wake), and at least
    // every few milliseconds besides, so that a change nobody woke the loop for is seen too.
    bool RunUntil(double seconds, const std::function<bool()>& done);
    // Has a RunUntil on the loop's thread ask its condition again at once.
    void Wake();
    // Runs the tasks queued now; answers how many ran.
    int RunPending();

    // Called (on the posting thread) whenever a task is queued, so that a loop driven by another
    // event source (the GUI's) knows to call RunPending.
    void SetWakeUpHandler(Task handler);

    // Lets another event source (the GUI's) do the waiting of RunFor on the loop's own thread, so
    // that its events are served too; the pump must serve this loop's tasks through the wake-up
    // handler. An empty pump restores the plain wait.
    typedef std::function<void(double seconds)> EventPump;
    void SetEventPump(EventPump pump);

private:
    RunLoop() = default;
    RunLoop(const RunLoop&) = delete;
    RunLoop& operator=(const RunLoop&) = delete;

    std::mutex mutex_;               // guards tasks_, wakeUp_, pump_
    std::condition_variable queued_;  // signalled when a task is queued
    std::deque<Task> tasks_;
    Task wakeUp_;
    EventPump pump_;
};

}  // namespace platform
