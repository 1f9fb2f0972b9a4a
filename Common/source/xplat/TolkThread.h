// TolkThread: the worker-thread object on which the install thread is built. One job (ThreadProc)
// runs on a detached thread while the interface thread watches it: whether it runs, its status
// record under a lock, advisory pause and abort flags, and an abort that frees the interface
// request the worker is blocked on and waits until the job has ended. TolkThreadWithMessaging adds
// a first-in, first-out queue of messages that the interface posts to the worker.
//
// The owner keeps the object alive until IsRunning is false: the destructor neither aborts nor
// waits for the worker.
#pragma once

#include "Common/source/mac/ThreadUtils.h"
#include "UIThreadOperationAborter.h"

#include <boost/noncopyable.hpp>
#include <boost/thread/condition.hpp>
#include <boost/thread/exceptions.hpp>
#include <boost/thread/locks.hpp>
#include <boost/thread/mutex.hpp>
#include <boost/thread/thread.hpp>

#include <atomic>
#include <cstdint>
#include <deque>
#include <exception>

class TolkThreadInterface : private boost::noncopyable {
public:
    virtual ~TolkThreadInterface() {}
    virtual bool Run() = 0;
    virtual bool Abort() = 0;
    virtual bool Pause() = 0;
    virtual bool Continue() = 0;
};

namespace TolkThreadTesting {
// Test hook: the next Run finds its thread refused, as when the system has no thread to give.
void FailNextThreadStart();
// Used by Run: whether a refusal was asked for (and clears the request).
bool TakeThreadStartFailure();
}  // namespace TolkThreadTesting

template <typename State>
class TolkThread : public TolkThreadInterface {
public:
    TolkThread() : uiOperationManager_(nullptr), pendingStart_(false), pendingUICall_(nullptr), runResult_(-1) {}
    ~TolkThread() override {}

    // Starts the job on a new thread, aborting (and waiting for) a job that still runs. False when
    // that abort failed or the system refused the thread; nothing is started then.
    bool Run() override;
    // Sets the abort flag, wakes a paused job, withdraws the interface request the worker waits on
    // (again once a second) and returns true once the job has ended; false on a lock error. It
    // does not stop the job: the job must end by itself.
    bool Abort() override;
    // Sets the paused flag of a running job that has not been aborted.
    bool Pause() override;
    // Clears the paused flag of a running, paused job and wakes it.
    bool Continue() override;

    // True from Run until ThreadProc has returned.
    bool IsRunning();
    void Reset();

    bool GetStatus(State& state);
    bool SetStatus(const State& state);

    bool HasBeenPaused();
    void SetPausedFlag(bool paused);
    bool HasBeenAborted();
    void SetAbortFlag(bool aborted);

    // The manager through which the worker asks the interface; the owner sets it before Run.
    void SetUIOperationManager(UIThreadOperationAborter* manager) { uiOperationManager_ = manager; }
    UIThreadOperationAborter* GetUIOperationManager() const { return uiOperationManager_; }
    // The worker records the request it is about to block on, so that Abort can withdraw it.
    void SetPendingUICall(UIThreadOperationRequest* request);

    // -1 until a job sets it (the install thread's job: 0 started, 1 succeeded, 2 failed).
    std::int32_t GetRunResult() const { return runResult_; }
    void SetRunResult(std::int32_t result) { runResult_ = result; }

    // The job; runs on the worker thread with the run lock held.
    virtual void ThreadProc() = 0;

protected:
    // For a job that honours Pause: returns once the job is no longer paused or was aborted.
    void WaitWhilePaused();

private:
    // Abort looks at the worker's request once a second, in slices of waiting.
    static constexpr int kAbortWaitSlices = 20;
    static constexpr double kAbortWaitSlice = 0.05;

    struct ThreadStatusInternal {
        State state;
        bool aborted = false;
        bool paused = false;
    };

    // The callable handed to the new thread.
    class TolkThreadFunctorDelegate {
    public:
        TolkThreadFunctorDelegate(TolkThread* owner, boost::timed_mutex* runLock) : owner_(owner), runLock_(runLock) {}
        void operator()();

    private:
        TolkThread* owner_;
        boost::timed_mutex* runLock_;
    };

    std::atomic<UIThreadOperationAborter*> uiOperationManager_;
    boost::timed_mutex runLock_;  // held by the worker for as long as ThreadProc runs; others only try it
    boost::mutex statusLock_;     // guards status_
    // From Run until the worker holds the run lock. Atomic: Run, Reset and the worker write it while
    // the interface thread reads it.
    std::atomic<bool> pendingStart_;
    ThreadStatusInternal status_;
    boost::condition pauseCondition_;  // notified by Continue after it cleared the paused flag
    boost::mutex pauseMutex_;          // goes with pauseCondition_
    UIThreadOperationRequest* pendingUICall_;  // identity only; never dereferenced here
    boost::mutex pendingCallMutex_;            // guards pendingUICall_; taken before the manager's mutex
    std::atomic<std::int32_t> runResult_;
};

template <typename State, typename Message>
class TolkThreadWithMessaging : public TolkThread<State> {
public:
    // Interface side: appends a copy of the message.
    void PostMessage(const Message& message);
    // Worker side: takes the oldest message; false (message unchanged) when there is none.
    bool PopMessage(Message& message);
    bool AreMessagesPending();

private:
    std::deque<Message> queue_;
    boost::mutex queueMutex_;  // guards queue_
};

// ---- TolkThread

template <typename State>
void TolkThread<State>::TolkThreadFunctorDelegate::operator()()
{
    {
        boost::unique_lock<boost::timed_mutex> lock(*runLock_);
        owner_->pendingStart_ = false;
        try {
            owner_->ThreadProc();
        } catch (...) {
            // Reporting is the job's business; an exception that gets this far must not end the
            // process, and the object has to return to idle.
            owner_->runResult_ = 2;
        }
        // The lock is released last: from then on the owner may destroy the object.
    }
    // A wait on the main thread for the job's end (ThreadSleepUntil) looks again now.
    ThreadUtils::WakeMainThread();
}

template <typename State>
bool TolkThread<State>::Run()
{
    if (IsRunning() && !this->Abort())
        return false;
    Reset();
    pendingStart_ = true;
    try {
        if (TolkThreadTesting::TakeThreadStartFailure())
            throw boost::thread_resource_error();
        boost::thread worker(TolkThreadFunctorDelegate(this, &runLock_));
        worker.detach();
    } catch (const std::exception&) {
        // Left set, the flag would make IsRunning report a job that never started, and Abort (or
        // the next Run) wait for it for ever.
        pendingStart_ = false;
        return false;
    }
    return true;
}

template <typename State>
bool TolkThread<State>::IsRunning()
{
    // Read before trying the lock: a worker that takes the lock and clears the flag in between is
    // then seen through one or the other.
    const bool pending = pendingStart_;
    if (!runLock_.try_lock())
        return true;
    runLock_.unlock();
    return pending;
}

template <typename State>
bool TolkThread<State>::Abort()
{
    try {
        SetAbortFlag(true);
        if (HasBeenPaused())
            this->Continue();
        while (IsRunning()) {
            {
                boost::lock_guard<boost::mutex> lock(pendingCallMutex_);
                UIThreadOperationAborter* manager = uiOperationManager_;
                if (pendingUICall_ != nullptr && manager != nullptr)
                    manager->AbortCallFromUIThreadContext(pendingUICall_);
            }
            // Up to a second for the job to end before the request is looked at again. The
            // caller's run loop is served meanwhile: the job may be waiting for work it sent to
            // this thread (the Finder refresh of an alias or an application registration), and
            // would never end otherwise.
            for (int slice = 0; slice < kAbortWaitSlices && IsRunning(); ++slice)
                ThreadUtils::ThreadSleepSeconds(kAbortWaitSlice);
        }
        return true;
    } catch (const boost::lock_error&) {
        return false;
    }
}

template <typename State>
bool TolkThread<State>::Pause()
{
    if (IsRunning() && !HasBeenAborted()) {
        SetPausedFlag(true);
        return true;
    }
    return false;
}

template <typename State>
bool TolkThread<State>::Continue()
{
    if (IsRunning() && HasBeenPaused()) {
        SetPausedFlag(false);
        boost::lock_guard<boost::mutex> lock(pauseMutex_);
        pauseCondition_.notify_all();
        return true;
    }
    return false;
}

template <typename State>
void TolkThread<State>::Reset()
{
    {
        boost::lock_guard<boost::mutex> lock(statusLock_);
        status_ = ThreadStatusInternal();
    }
    runResult_ = -1;
    pendingStart_ = false;
}

template <typename State>
bool TolkThread<State>::GetStatus(State& state)
{
    try {
        boost::lock_guard<boost::mutex> lock(statusLock_);
        state = status_.state;
        return true;
    } catch (const boost::lock_error&) {
        return false;
    }
}

template <typename State>
bool TolkThread<State>::SetStatus(const State& state)
{
    try {
        boost::lock_guard<boost::mutex> lock(statusLock_);
        status_.state = state;
        return true;
    } catch (const boost::lock_error&) {
        return false;
    }
}

template <typename State>
bool TolkThread<State>::HasBeenPaused()
{
    boost::lock_guard<boost::mutex> lock(statusLock_);
    return status_.paused;
}

template <typename State>
void TolkThread<State>::SetPausedFlag(bool paused)
{
    boost::lock_guard<boost::mutex> lock(statusLock_);
    status_.paused = paused;
}

template <typename State>
bool TolkThread<State>::HasBeenAborted()
{
    boost::lock_guard<boost::mutex> lock(statusLock_);
    return status_.aborted;
}

template <typename State>
void TolkThread<State>::SetAbortFlag(bool aborted)
{
    boost::lock_guard<boost::mutex> lock(statusLock_);
    status_.aborted = aborted;
}

template <typename State>
void TolkThread<State>::SetPendingUICall(UIThreadOperationRequest* request)
{
    boost::lock_guard<boost::mutex> lock(pendingCallMutex_);
    pendingUICall_ = request;
}

template <typename State>
void TolkThread<State>::WaitWhilePaused()
{
    boost::unique_lock<boost::mutex> lock(pauseMutex_);
    while (HasBeenPaused() && !HasBeenAborted())
        pauseCondition_.wait(lock);
}

// ---- TolkThreadWithMessaging

template <typename State, typename Message>
void TolkThreadWithMessaging<State, Message>::PostMessage(const Message& message)
{
    boost::lock_guard<boost::mutex> lock(queueMutex_);
    queue_.push_back(message);
}

template <typename State, typename Message>
bool TolkThreadWithMessaging<State, Message>::PopMessage(Message& message)
{
    boost::lock_guard<boost::mutex> lock(queueMutex_);
    if (queue_.empty())
        return false;
    message = queue_.front();
    queue_.pop_front();
    return true;
}

template <typename State, typename Message>
bool TolkThreadWithMessaging<State, Message>::AreMessagesPending()
{
    boost::lock_guard<boost::mutex> lock(queueMutex_);
    return !queue_.empty();
}
