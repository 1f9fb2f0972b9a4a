// The install thread: the status record the interface polls, the error lines it collects, and
// the operation it runs once.
#include "Sorvel/source/xplat/ThreadOperation.h"
#include "Sorvel/source/xplat/ThreadPayloadOperation.h"
#include "Sorvel/source/xplat/UIThreadOperationManager.h"

#include "FakeThreadOperation.h"
#include "tests/support/TempSystemRoot.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using tolktest::FakeThreadOperation;
using tolktest::Gate;
using tolktest::WaitUntilFinished;

namespace {

ContainerMessage Message(int code, const std::string& name = "", const std::string& value = "")
{
    ContainerMessage::NamedArguments arguments;
    if (!name.empty())
        arguments[name] = value;
    return ContainerMessage(code, arguments);
}

class ThreadPayloadOperationTest : public tolktest::SystemRootTest {
protected:
    // A thread over the operation, without a logger unless a log name is given.
    boost::shared_ptr<ThreadPayloadOperation> Thread(const boost::shared_ptr<ThreadOperation>& operation,
                                                     const std::string& logName = "")
    {
        boost::shared_ptr<ThreadOperation> handed(operation);
        return boost::shared_ptr<ThreadPayloadOperation>(new ThreadPayloadOperation(handed, manager_, prompts_, logName));
    }
    ThreadPayloadOperationState Status(ThreadPayloadOperation& thread)
    {
        ThreadPayloadOperationState state;
        EXPECT_TRUE(thread.GetStatus(state));
        return state;
    }

    UIThreadOperationManager manager_{nullptr};
    std::vector<UserInterfaceMessagePrompt> prompts_;
};

}  // namespace

TEST_F(ThreadPayloadOperationTest, StatusPolledWhileTheOperationRuns)
{
    Gate started, reported, release, finish;
    std::uint32_t capped = 0;
    boost::shared_ptr<FakeThreadOperation> operation(new FakeThreadOperation([&](FakeThreadOperation& op, UIThreadOperationManager&) {
        started.Open();
        release.Wait();
        // More than a hundred is a hundred.
        op.SetPercentComplete(150);
        ThreadPayloadOperationState seen;
        op.GetOwningThread()->GetStatus(seen);
        capped = seen.percentComplete;
        op.SetPercentCompleteAndStatusMessage(40, Message(7, "file", "a.txt"));
        reported.Open();
        finish.Wait();
        return 0;
    }));
    boost::shared_ptr<ThreadPayloadOperation> thread = Thread(operation);

    // Before the first run: the default record.
    ThreadPayloadOperationState state = Status(*thread);
    EXPECT_EQ(state.percentComplete, 0u);
    EXPECT_EQ(state.statusMessage.Code(), ThreadPayloadOperationState::kSuccessStatusCode);

    ASSERT_TRUE(thread->Run());
    started.Wait();
    // Started, nothing reported yet: percent 0 and the unknown code.
    state = Status(*thread);
    EXPECT_TRUE(thread->IsRunning());
    EXPECT_EQ(state.percentComplete, 0u);
    EXPECT_EQ(state.statusMessage.Code(), ThreadPayloadOperationState::kUnknownStatusCode);

    release.Open();
    reported.Wait();
    state = Status(*thread);
    EXPECT_EQ(capped, 100u);
    EXPECT_EQ(state.percentComplete, 40u);
    EXPECT_EQ(state.statusMessage.Code(), 7);
    finish.Open();
    WaitUntilFinished(*thread);
    state = Status(*thread);
    EXPECT_EQ(state.percentComplete, 100u);
    EXPECT_EQ(state.statusMessage.Code(), 7);
    EXPECT_EQ(state.statusMessage.Arguments().at("file"), "a.txt");
    EXPECT_EQ(thread->GetRunResult(), 1);
    EXPECT_EQ(operation->GetPercentComplete(), 40u);
    EXPECT_EQ(operation->GetStatusMessage().Code(), 7);
}

TEST_F(ThreadPayloadOperationTest, APercentPublishedWithoutTheLockIsWhatPollsSee)
{
    Gate published, release, updated, finish;
    boost::shared_ptr<FakeThreadOperation> operation(new FakeThreadOperation([&](FakeThreadOperation& op, UIThreadOperationManager&) {
        op.SetStatusMessage(Message(3));
        op.PublishPercentComplete(37);
        published.Open();
        release.Wait();
        // A locked update carries the published percent on; a later one replaces it.
        op.SetStatusMessage(Message(4));
        op.PublishPercentComplete(150);
        op.SetPercentComplete(12);
        updated.Open();
        finish.Wait();
        return 0;
    }));
    boost::shared_ptr<ThreadPayloadOperation> thread = Thread(operation);
    ASSERT_TRUE(thread->Run());
    published.Wait();
    ThreadPayloadOperationState state;
    ASSERT_TRUE(thread->GetCurrentStatus(state));
    EXPECT_EQ(state.percentComplete, 37u);
    EXPECT_EQ(state.statusMessage.Code(), 3);
    // The record itself has not taken it yet.
    EXPECT_EQ(Status(*thread).percentComplete, 0u);
    release.Open();
    updated.Wait();
    ASSERT_TRUE(thread->GetCurrentStatus(state));
    EXPECT_EQ(state.percentComplete, 12u);
    EXPECT_EQ(state.statusMessage.Code(), 4);
    finish.Open();
    WaitUntilFinished(*thread);
    ASSERT_TRUE(thread->GetCurrentStatus(state));
    EXPECT_EQ(state.percentComplete, 100u);
    EXPECT_EQ(Status(*thread).percentComplete, 100u);

    // Another run on a new thread starts from nothing.
    boost::shared_ptr<ThreadPayloadOperation> next = Thread(boost::shared_ptr<FakeThreadOperation>(new FakeThreadOperation));
    ASSERT_TRUE(next->GetCurrentStatus(state));
    EXPECT_EQ(state.percentComplete, 0u);
}

TEST_F(ThreadPayloadOperationTest, ErrorLinesAreCollectedInOrder)
{
    Gate logged, release;
    boost::shared_ptr<ThreadPayloadOperation> thread;
    boost::shared_ptr<FakeThreadOperation> operation(new FakeThreadOperation([&](FakeThreadOperation& op, UIThreadOperationManager&) {
        op.AppendToLog(LogAppender::kLogError, "first");
        op.AppendToLog(LogAppender::kLogWarn, "a warning");
        op.AppendToLog(LogAppender::kLogError, "second");
        logged.Open();
        release.Wait();
        // They reach the interface with the next status.
        op.SetPercentComplete(10);
        op.AppendToLog(LogAppender::kLogError, "third");
        return 2;
    }));
    thread = Thread(operation);
    ASSERT_TRUE(thread->Run());
    logged.Wait();
    EXPECT_TRUE(Status(*thread).errorTexts.empty());
    release.Open();
    WaitUntilFinished(*thread);
    const ThreadPayloadOperationState state = Status(*thread);
    EXPECT_THAT(state.errorTexts, ElementsAre("first", "second", "third"));
    EXPECT_EQ(thread->GetRunResult(), 2);

    // Another run starts with none of them.
    boost::shared_ptr<FakeThreadOperation> quiet(new FakeThreadOperation);
    boost::shared_ptr<ThreadPayloadOperation> next = Thread(quiet);
    ASSERT_TRUE(next->Run());
    WaitUntilFinished(*next);
    EXPECT_TRUE(Status(*next).errorTexts.empty());
}

TEST_F(ThreadPayloadOperationTest, AnOperationRunsOnlyOnce)
{
    boost::shared_ptr<FakeThreadOperation> operation(
        new FakeThreadOperation([](FakeThreadOperation&, UIThreadOperationManager&) { return 5; }));
    boost::shared_ptr<ThreadPayloadOperation> thread = Thread(operation);
    for (int run = 0; run < 2; ++run) {
        ASSERT_TRUE(thread->Run());
        WaitUntilFinished(*thread);
        // The stored result still decides the run.
        EXPECT_EQ(thread->GetRunResult(), 2) << run;
        EXPECT_EQ(Status(*thread).percentComplete, 100u) << run;
    }
    EXPECT_EQ(operation->calls, 1);
    EXPECT_TRUE(operation->HasBeenCalled());
    EXPECT_EQ(operation->GetOperationResult(), 5);
}

TEST_F(ThreadPayloadOperationTest, AnOperationThatThrowsStillEnds)
{
    boost::shared_ptr<FakeThreadOperation> operation(new FakeThreadOperation([](FakeThreadOperation& op, UIThreadOperationManager&) -> int {
        op.SetStatusMessage(Message(4));
        throw std::runtime_error("broken");
    }));
    boost::shared_ptr<ThreadPayloadOperation> thread = Thread(operation);
    ASSERT_TRUE(thread->Run());
    WaitUntilFinished(*thread);
    EXPECT_EQ(thread->GetRunResult(), 2);
    const ThreadPayloadOperationState state = Status(*thread);
    EXPECT_EQ(state.percentComplete, 100u);
    EXPECT_EQ(state.statusMessage.Code(), 4);
}

TEST_F(ThreadPayloadOperationTest, UnboundOperationIgnoresReports)
{
    FakeThreadOperation operation;
    operation.SetPercentComplete(50);
    operation.SetStatusMessage(Message(9));
    operation.SetPercentCompleteAndStatusMessage(60, Message(8));
    operation.AppendToLog(LogAppender::kLogError, "nowhere");
    EXPECT_EQ(operation.GetOwningThread(), nullptr);
    EXPECT_EQ(operation.GetPercentComplete(), 0u);
    EXPECT_EQ(operation.GetStatusMessage().Code(), 0);
    EXPECT_FALSE(operation.HasBeenCalled());
    EXPECT_EQ(operation.GetOperationResult(), 1);
}
