// A payload operation for the install-thread tests: its call runs whatever the test gives it,
// and gates let a test hold the operation while it looks at the thread's status; and the waits of
// those tests for the thread's question and end.
#pragma once

#include "Sorvel/source/xplat/InstallerEngine.h"
#include "Sorvel/source/xplat/ThreadOperation.h"
#include "Sorvel/source/xplat/ThreadPayloadOperation.h"
#include "Sorvel/source/xplat/ThreadPayloadOperationState.h"
#include "Sorvel/source/xplat/UIThreadOperationManager.h"
#include "Sorvel/source/xplat/UserInterfaceMessagePrompt.h"

#include "tests/support/Deadline.h"
#include "tests/support/Gate.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace tolktest {

class FakeThreadOperation : public ThreadOperation {
public:
    typedef std::function<int(FakeThreadOperation&, UIThreadOperationManager&)> Body;

    explicit FakeThreadOperation(const Body& body = Body()) : body_(body) {}

    int operator()(UIThreadOperationManager& manager, std::vector<UserInterfaceMessagePrompt>&) override
    {
        ++calls;
        return body_ ? body_(*this, manager) : 0;
    }
    std::string GetOperationType() override { return "FakeThreadOperation"; }
    bool GetMessageIfNotCalled(boost::shared_ptr<UserInterfaceMessagePrompt>& prompt) override
    {
        prompt.reset(new UserInterfaceMessagePrompt(12, 0, TolkUIRequest::kIndicatorOperationNotCalled));
        return true;
    }
    bool DoCAPSPackageManagementOperations(CAPSSessionPtr&, CAPSQueryUtilities::PackageManagementOperationResult&) override
    {
        return false;
    }

    std::atomic<int> calls{0};

private:
    Body body_;
};

// Returns once the thread's job has ended.
template <class Thread>
void WaitUntilFinished(Thread& thread)
{
    EXPECT_TRUE(WaitUntil([&thread]() { return !thread.IsRunning(); })) << "the install thread did not end";
}

// Returns once the engine's install thread has ended; its last status.
inline ThreadPayloadOperationState WaitUntilFinished(InstallerEngine& engine)
{
    bool running = true;
    ThreadPayloadOperationState state;
    EXPECT_TRUE(WaitUntil([&]() { return !engine.GetInstallThreadStatus(running, state) || !running; }))
        << "the install thread did not end";
    return state;
}

// Waits until peek (a PeekThreadMessage) answers a question that the install thread waits on;
// false when a peek fails or no question comes.
template <class Peek>
bool WaitForQuestionThrough(const Peek& peek, std::string& id, std::string& json)
{
    bool peeked = true;
    bool waiting = false;
    return WaitUntil([&]() { return !(peeked = peek(waiting, id, json)) || waiting; }) && peeked;
}

inline bool WaitForQuestion(UIThreadOperationManager& manager, std::string& id, std::string& json)
{
    return WaitForQuestionThrough(
        [&manager](bool& waiting, std::string& i, std::string& j) { return manager.PeekThreadMessage(waiting, i, j); },
        id, json);
}

inline bool WaitForQuestion(InstallerEngine& engine, std::string& id, std::string& json)
{
    return WaitForQuestionThrough([&engine](bool& waiting, std::string& i,
                                            std::string& j) { return engine.PeekInstallThreadMessage(waiting, i, j); },
                                  id, json);
}

}  // namespace tolktest
