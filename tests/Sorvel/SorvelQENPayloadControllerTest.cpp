// The command engine's controller on the install thread: progress as percent, and a cancel
// request turned into a question whose answer decides whether the engine goes on.
#include "Sorvel/source/mac/SorvelQENPayloadController.h"
#include "Sorvel/source/xplat/ThreadPayloadOperation.h"
#include "Sorvel/source/xplat/UIThreadOperationManager.h"

#include "FakeThreadOperation.h"
#include "tests/support/TempSystemRoot.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::HasSubstr;
using tolktest::FakeThreadOperation;
using tolktest::WaitUntilFinished;

namespace {

typedef std::function<void(FakeThreadOperation&, SorvelQENPayloadController&)> Body;

class SorvelQENPayloadControllerTest : public tolktest::SystemRootTest {
protected:
    // Runs the body on an install thread, with the messages queued first and the request manager
    // given to the thread unless withManager is false.
    boost::shared_ptr<ThreadPayloadOperation> Start(const std::vector<TolkMessage>& messages, const Body& body,
                                                    bool withManager = true)
    {
        boost::shared_ptr<ThreadOperation> operation(
            new FakeThreadOperation([this, messages, body](FakeThreadOperation& op, UIThreadOperationManager& manager) {
                for (TolkMessage message : messages)
                    op.GetOwningThread()->PostMessage(message);
                SorvelQENPayloadController controller(op, manager, prompts_);
                body(op, controller);
                return 0;
            }));
        boost::shared_ptr<ThreadPayloadOperation> thread(
            new ThreadPayloadOperation(operation, manager_, prompts_, std::string()));
        if (withManager)
            thread->SetUIOperationManager(&manager_);
        EXPECT_TRUE(thread->Run());
        return thread;
    }
    // Waits for the thread's question; its JSON.
    std::string Question(std::string& id)
    {
        std::string json;
        EXPECT_TRUE(tolktest::WaitForQuestion(manager_, id, json));
        return json;
    }

    UIThreadOperationManager manager_{nullptr};
    std::vector<UserInterfaceMessagePrompt> prompts_;
};

// What one HandleControlMessages call decided.
struct Decision {
    bool goOn = true;
    bool cancelled = false;
};

Body Decide(Decision& decision)
{
    return [&decision](FakeThreadOperation&, SorvelQENPayloadController& controller) {
        decision.goOn = controller.HandleControlMessages();
        decision.cancelled = controller.WasCancelled();
    };
}

}  // namespace

TEST_F(SorvelQENPayloadControllerTest, ProgressShowsOneHundredOnlyAtTheEnd)
{
    std::vector<std::uint32_t> seen;
    bool goOn = false;
    auto thread = Start({}, [&](FakeThreadOperation& op, SorvelQENPayloadController& controller) {
        controller.InstallStarted();
        seen.push_back(op.GetPercentComplete());
        for (double fraction : {0.5, 0.999, 1.0, 2.0, -0.5}) {
            controller.InstallFractionComplete(fraction);
            seen.push_back(op.GetPercentComplete());
        }
        goOn = controller.HandleControlMessages();  // nothing pending
        controller.InstallComplete(false);
        seen.push_back(op.GetPercentComplete());
    });
    WaitUntilFinished(*thread);
    EXPECT_EQ(seen, (std::vector<std::uint32_t>{0, 50, 99, 99, 99, 0, 100}));
    EXPECT_TRUE(goOn);
}

// The shared run of the three engine entries, for a run of the test's own.
class RunningController : public SorvelQENPayloadController {
public:
    using SorvelQENPayloadController::SorvelQENPayloadController;
    using SorvelQENPayloadController::RunEngine;
};

TEST_F(SorvelQENPayloadControllerTest, WhatTheScriptsTellTheUserGoesWithASucceededRunOnly)
{
    for (const bool succeeds : {true, false}) {
        ContainerMessage status(7, ContainerMessage::NamedArguments());
        auto thread = Start({}, [&](FakeThreadOperation& op, SorvelQENPayloadController&) {
            RunningController controller(op, manager_, prompts_);
            unsigned long result = 9;
            controller.RunEngine(
                "RepairPayload",
                [&]() {
                    controller.InstallStatusArgument("putBack", "[\"old\"]");
                    controller.InstallStatusArgument("putBack", "[\"/a\"]");
                    return succeeds;
                },
                result);
            status = op.GetStatusMessage();
        });
        WaitUntilFinished(*thread);
        EXPECT_EQ(status.Code(), succeeds ? 0 : 2);
        if (succeeds)
            EXPECT_EQ(status.Arguments(), (ContainerMessage::NamedArguments{{"putBack", "[\"/a\"]"}}));
        else
            EXPECT_TRUE(status.Arguments().empty());
    }
}

TEST_F(SorvelQENPayloadControllerTest, CancelRequestAsksTheUser)
{
    struct Case {
        unsigned long answer;
        bool goOn;
        bool cancelled;
    };
    for (const Case& c : {Case{TolkUIRequest::kResponseNo, true, false}, Case{TolkUIRequest::kResponseYes, false, true},
                          Case{TolkUIRequest::kResponseUnknown, false, true}, Case{16, false, true}}) {
        Decision decision;
        auto thread = Start({TolkMessages::kCancelRequest}, Decide(decision));
        std::string id;
        const std::string json = Question(id);
        EXPECT_THAT(json, HasSubstr("\"statusCode\":\"0\""));
        EXPECT_THAT(json, HasSubstr("\"userIndicator\":\"0\""));
        EXPECT_TRUE(manager_.PopThreadMessage(id, c.answer));
        WaitUntilFinished(*thread);
        EXPECT_EQ(decision.goOn, c.goOn) << c.answer;
        EXPECT_EQ(decision.cancelled, c.cancelled) << c.answer;
    }
}

TEST_F(SorvelQENPayloadControllerTest, StopsWithoutCancellingWhenNobodyCanAnswer)
{
    // The question withdrawn by an abort of the install thread.
    Decision withdrawn;
    auto thread = Start({TolkMessages::kCancelRequest}, Decide(withdrawn));
    std::string id;
    Question(id);
    EXPECT_TRUE(thread->Abort());
    EXPECT_FALSE(withdrawn.goOn);
    EXPECT_FALSE(withdrawn.cancelled);

    // No request manager to ask through; a message other than a cancel request.
    Decision unasked;
    thread = Start({TolkMessages::kCancelRequest}, Decide(unasked), false);
    WaitUntilFinished(*thread);
    EXPECT_FALSE(unasked.goOn);
    EXPECT_FALSE(unasked.cancelled);
    Decision other;
    thread = Start({1}, Decide(other));
    WaitUntilFinished(*thread);
    EXPECT_FALSE(other.goOn);
    EXPECT_FALSE(other.cancelled);

    // Two requests: both asked, and one yes is enough.
    Decision twice;
    thread = Start({TolkMessages::kCancelRequest, TolkMessages::kCancelRequest}, Decide(twice));
    for (unsigned long answer : {TolkUIRequest::kResponseYes, TolkUIRequest::kResponseNo}) {
        Question(id);
        EXPECT_TRUE(manager_.PopThreadMessage(id, answer));
    }
    WaitUntilFinished(*thread);
    EXPECT_FALSE(twice.goOn);
    EXPECT_TRUE(twice.cancelled);
}
