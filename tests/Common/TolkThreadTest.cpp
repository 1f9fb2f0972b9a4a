#include "Common/source/xplat/TolkThread.h"

#include "tests/support/Deadline.h"
#include "tests/support/Gate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <future>
#include <list>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

namespace {

struct TestState {
    int percent = 0;
    std::string message = "default";
};

using tolktest::Gate;

// A worker whose job the test supplies.
class TestThread : public TolkThreadWithMessaging<TestState, int> {
public:
    std::function<void(TestThread&)> job;
    std::atomic<int> runs{0};

    void ThreadProc() override
    {
        ++runs;
        if (job)
            job(*this);
    }

    using TolkThread<TestState>::WaitWhilePaused;
};

void WaitUntilIdle(TestThread& thread)
{
    EXPECT_TRUE(tolktest::WaitUntil([&thread]() { return !thread.IsRunning(); })) << "the job did not end";
}

// Whether a job has passed the point where it keeps its promise, within the patience.
bool Kept(const std::future<void>& promised)
{
    return tolktest::WaitUntil(
        [&promised]() { return promised.wait_for(std::chrono::seconds(0)) == std::future_status::ready; });
}

// A job's wait for the test to abort it.
void WaitUntilAborted(TestThread& self)
{
    EXPECT_TRUE(tolktest::WaitUntil([&self]() { return self.HasBeenAborted(); })) << "the job was not aborted";
}

// The request queue, reduced to what an abort needs: a worker blocks until its request is
// withdrawn.
class FakeRequestManager : public UIThreadOperationAborter {
public:
    bool CallFromUIThreadContext(UIThreadOperationRequest* request)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        queue_.push_back(request);
        changed_.notify_all();
        // A withdrawal that never comes fails the test rather than leave the job, and the abort
        // that waits for it, blocked for good.
        EXPECT_TRUE(changed_.wait_for(lock, std::chrono::duration<double>(tolktest::kPatience), [&]() {
            return std::find(queue_.begin(), queue_.end(), request) == queue_.end();
        })) << "the request was not withdrawn";
        return false;  // only a withdrawal ends the wait here
    }

    void AbortCallFromUIThreadContext(UIThreadOperationRequest* request) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++aborts_;
        queue_.remove(request);
        changed_.notify_all();
    }

    bool IsQueued(UIThreadOperationRequest* request)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return std::find(queue_.begin(), queue_.end(), request) != queue_.end();
    }

    int Aborts()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return aborts_;
    }

    std::size_t Queued()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return queue_.size();
    }

private:
    std::mutex mutex_;  // guards queue_, aborts_
    std::condition_variable changed_;
    std::list<UIThreadOperationRequest*> queue_;
    int aborts_ = 0;
};

}  // namespace

TEST(TolkThreadTest, FreshObjectIsIdle)
{
    TestThread thread;
    EXPECT_FALSE(thread.IsRunning());
    TestState state;
    state.percent = 5;
    EXPECT_TRUE(thread.GetStatus(state));
    EXPECT_EQ(state.percent, 0);
    EXPECT_EQ(state.message, "default");
    EXPECT_FALSE(thread.Pause());
    EXPECT_FALSE(thread.Continue());
    EXPECT_EQ(thread.GetRunResult(), -1);
    EXPECT_TRUE(thread.Abort());  // nothing to wait for
    EXPECT_TRUE(thread.HasBeenAborted());
}

TEST(TolkThreadTest, RunsTheJobAndKeepsItsLastStatus)
{
    TestThread thread;
    Gate gate;
    thread.job = [&gate](TestThread& self) {
        self.SetRunResult(0);
        gate.Wait();
        TestState state;
        state.percent = 100;
        state.message = "done";
        self.SetStatus(state);
        self.SetRunResult(1);
    };
    ASSERT_TRUE(thread.Run());
    EXPECT_TRUE(thread.IsRunning());  // even before the worker was scheduled
    gate.Open();
    WaitUntilIdle(thread);
    TestState state;
    ASSERT_TRUE(thread.GetStatus(state));
    EXPECT_EQ(state.percent, 100);
    EXPECT_EQ(state.message, "done");
    EXPECT_EQ(thread.GetRunResult(), 1);

    // A second run starts from a fresh record.
    thread.job = [](TestThread& self) {
        TestState seen;
        self.GetStatus(seen);
        self.SetRunResult(seen.percent == 0 ? 7 : 8);
    };
    ASSERT_TRUE(thread.Run());
    WaitUntilIdle(thread);
    EXPECT_EQ(thread.GetRunResult(), 7);
    EXPECT_EQ(thread.runs, 2);
}

TEST(TolkThreadTest, RunWhileRunningAbortsTheOldJobFirst)
{
    TestThread thread;
    std::atomic<int> finished{0};
    thread.job = [&finished](TestThread& self) {
        if (self.runs == 1)  // the first job runs until it is aborted
            WaitUntilAborted(self);
        ++finished;
    };
    ASSERT_TRUE(thread.Run());
    ASSERT_TRUE(thread.Run());
    EXPECT_GE(finished, 1);  // the old job had ended before Run returned
    WaitUntilIdle(thread);
    EXPECT_EQ(thread.runs, 2);
    EXPECT_EQ(finished, 2);
    EXPECT_FALSE(thread.HasBeenAborted());  // the new run was reset
}

TEST(TolkThreadTest, AbortFreesTheRequestTheWorkerIsBlockedOn)
{
    TestThread thread;
    FakeRequestManager manager;
    UIThreadOperationRequest request;
    std::atomic<bool> answered{true};
    thread.SetUIOperationManager(&manager);
    thread.job = [&](TestThread& self) {
        self.SetPendingUICall(&request);
        answered = static_cast<FakeRequestManager*>(self.GetUIOperationManager())->CallFromUIThreadContext(&request);
    };
    ASSERT_TRUE(thread.Run());
    ASSERT_TRUE(tolktest::WaitUntil([&]() { return manager.IsQueued(&request); }));
    EXPECT_TRUE(thread.Abort());
    EXPECT_FALSE(thread.IsRunning());
    EXPECT_FALSE(answered);
    EXPECT_GE(manager.Aborts(), 1);
    EXPECT_EQ(manager.Queued(), 0u);
}

TEST(TolkThreadTest, PauseAndContinue)
{
    TestThread thread;
    Gate paused;
    std::promise<void> resumed;
    thread.job = [&](TestThread& self) {
        paused.Wait();
        self.WaitWhilePaused();
        resumed.set_value();
        WaitUntilAborted(self);
    };
    ASSERT_TRUE(thread.Run());
    EXPECT_FALSE(thread.Continue());  // running, not paused
    EXPECT_TRUE(thread.Pause());
    EXPECT_TRUE(thread.HasBeenPaused());
    paused.Open();
    EXPECT_TRUE(thread.Continue());
    ASSERT_TRUE(Kept(resumed.get_future()));
    EXPECT_FALSE(thread.HasBeenPaused());
    EXPECT_TRUE(thread.Abort());
    EXPECT_FALSE(thread.Pause());  // aborted (and ended)
}

TEST(TolkThreadTest, AbortWakesAPausedJob)
{
    TestThread thread;
    std::promise<void> waiting;
    thread.job = [&](TestThread& self) {
        self.SetPausedFlag(true);
        waiting.set_value();
        self.WaitWhilePaused();
    };
    ASSERT_TRUE(thread.Run());
    ASSERT_TRUE(Kept(waiting.get_future()));
    EXPECT_TRUE(thread.Abort());
    EXPECT_FALSE(thread.IsRunning());
}

TEST(TolkThreadTest, MessagesComeOutInOrder)
{
    TestThread thread;
    int message = 99;
    EXPECT_FALSE(thread.AreMessagesPending());
    EXPECT_FALSE(thread.PopMessage(message));
    EXPECT_EQ(message, 99);
    thread.PostMessage(0);
    thread.PostMessage(2);
    thread.PostMessage(1);
    EXPECT_TRUE(thread.AreMessagesPending());
    ASSERT_TRUE(thread.PopMessage(message));
    EXPECT_EQ(message, 0);
    ASSERT_TRUE(thread.PopMessage(message));
    EXPECT_EQ(message, 2);
    ASSERT_TRUE(thread.PopMessage(message));
    EXPECT_EQ(message, 1);
    EXPECT_FALSE(thread.AreMessagesPending());
}

TEST(TolkThreadTest, WorkerDrainsMessagesPostedWhileItRuns)
{
    TestThread thread;
    Gate posted;
    std::vector<int> received;
    thread.job = [&](TestThread& self) {
        posted.Wait();
        int message;
        while (self.PopMessage(message))
            received.push_back(message);
    };
    ASSERT_TRUE(thread.Run());
    for (int i = 0; i < 100; ++i)
        thread.PostMessage(i);
    posted.Open();
    WaitUntilIdle(thread);
    ASSERT_EQ(received.size(), 100u);
    EXPECT_TRUE(std::is_sorted(received.begin(), received.end()));
}

TEST(TolkThreadFaultTest, RefusedThreadLeavesTheObjectIdle)
{
    TestThread thread;
    TolkThreadTesting::FailNextThreadStart();
    EXPECT_FALSE(thread.Run());
    EXPECT_FALSE(thread.IsRunning());
    EXPECT_TRUE(thread.Abort());  // returns at once instead of waiting for a job that never started
    EXPECT_EQ(thread.runs, 0);
    ASSERT_TRUE(thread.Run());
    WaitUntilIdle(thread);
    EXPECT_EQ(thread.runs, 1);
}

TEST(TolkThreadFaultTest, JobThatThrowsReturnsTheObjectToIdle)
{
    TestThread thread;
    thread.job = [](TestThread& self) {
        self.SetRunResult(0);
        throw std::runtime_error("job failed");
    };
    ASSERT_TRUE(thread.Run());
    WaitUntilIdle(thread);
    EXPECT_EQ(thread.GetRunResult(), 2);
    thread.job = nullptr;
    EXPECT_TRUE(thread.Run());
    WaitUntilIdle(thread);
    EXPECT_EQ(thread.runs, 2);
}
