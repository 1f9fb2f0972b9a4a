// SorvelQENPayloadController: the command engine's controller for a payload run on the install
// thread. It turns the engine's progress into the operation's percent complete, a cancel request
// posted to the install thread into a yes/no question to the user, and what the scripts want
// the user told into the arguments of the operation's final status message.
#pragma once

#include "Common/source/xplat/ContainerMessage.h"
#include "QEN/source/mac/QENController.h"

#include <functional>
#include <string>
#include <vector>

class ThreadOperation;
class UIThreadOperationManager;
class UserInterfaceMessagePrompt;

class SorvelQENPayloadController : public QENController {
public:
    // The operation, manager and prompt list are not owned and must outlive the controller.
    SorvelQENPayloadController(ThreadOperation& operation, UIThreadOperationManager& manager,
                               std::vector<UserInterfaceMessagePrompt>& prompts);
    ~SorvelQENPayloadController() override;

    // Drains the install thread's message queue. A cancel request (message 0) becomes a question
    // to the user: yes cancels, no lets the run go on; no answer, a withdrawn question or any other
    // message stops the run without counting as a cancel. False stops the engine.
    bool HandleControlMessages() override;
    void InstallStarted() override;
    // 100 times the fraction, truncated, at most 99: only the end of the run shows 100.
    void InstallFractionComplete(double fraction) override;
    // 100, whether the run succeeded or not.
    void InstallComplete(bool success) override;
    // Kept for the final status message of a run that succeeds.
    void InstallStatusArgument(const std::string& name, const std::string& value) override;

    bool WasCancelled() const { return cancelled_; }

protected:
    // Shared by the three runs: calls the engine entry, logs "<name> succeeded.", "<name> was
    // cancelled." or "<name> failed.", and sets the operation's status message to the result
    // code (0, 1 or 2), which also goes to result, with the scripts' status arguments when the
    // run succeeded (what a failed run did is undone). Answers 0 when the run succeeded, else 1.
    int RunEngine(const std::string& name, const std::function<bool()>& run, unsigned long& result);

    ThreadOperation& operation_;
    UIThreadOperationManager& manager_;             // kept; questions go through the owning thread's manager
    std::vector<UserInterfaceMessagePrompt>& prompts_;  // kept for the operations that collect prompts

private:
    bool cancelled_;  // only ever goes from false to true
    ContainerMessage::NamedArguments statusArguments_;
};
