// A payload operation for the install-thread tests: its call runs whatever the test gives it,
// and gates let a test hold the operation while it looks at the thread's status.
#pragma once

#include "ThreadOperation.h"
#include "ThreadPayloadOperation.h"
#include "UserInterfaceMessagePrompt.h"

#include <atomic>
#include <functional>
#include <future>
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

// One signal from one thread to another.
class Gate {
public:
    Gate() : future_(promise_.get_future().share()) {}
    void Open() { promise_.set_value(); }
    void Wait() const { future_.wait(); }

private:
    std::promise<void> promise_;
    std::shared_future<void> future_;
};

// Returns once the thread's job has ended.
template <class Thread>
void WaitUntilFinished(Thread& thread)
{
    while (thread.IsRunning())
        std::this_thread::yield();
}

}  // namespace tolktest
