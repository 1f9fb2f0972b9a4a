#include "SorvelQENPayloadController.h"

#include "Common/source/xplat/RunReport.h"
#include "Sorvel/source/xplat/ThreadOperation.h"
#include "Sorvel/source/xplat/ThreadPayloadOperation.h"
#include "Sorvel/source/xplat/TolkMessage.h"
#include "Sorvel/source/xplat/UIThreadOperationManager.h"
#include "Sorvel/source/xplat/UserInterfaceMessagePrompt.h"

#include <exception>

namespace {

const unsigned long kPercentDone = 100;
const unsigned long kPercentBeforeDone = 99;

const unsigned long kResultSucceeded = 0;
const unsigned long kResultCancelled = 1;
const unsigned long kResultFailed = 2;

const char* const kAssumingCancel = "User response request not handled, assuming cancel is desired.";

}  // namespace

SorvelQENPayloadController::SorvelQENPayloadController(ThreadOperation& operation, UIThreadOperationManager& manager,
                                                       std::vector<UserInterfaceMessagePrompt>& prompts)
    : operation_(operation), manager_(manager), prompts_(prompts), cancelled_(false)
{
}

SorvelQENPayloadController::~SorvelQENPayloadController() {}

bool SorvelQENPayloadController::HandleControlMessages()
{
    ThreadPayloadOperation* thread = operation_.GetOwningThread();
    if (thread == nullptr)
        return true;
    bool answer = true;
    // Drained completely, so that each message is handled once even after an earlier one has
    // already decided to stop.
    while (thread->AreMessagesPending()) {
        operation_.AppendToLog(LogAppender::kLogDebug, "Message id: ");
        TolkMessage message = 0;
        if (!thread->PopThreadMessage(message)) {
            operation_.AppendToLog(LogAppender::kLogError, "Unable to pop message from thread message queue.");
            answer = false;
            continue;
        }
        if (message != TolkMessages::kCancelRequest) {
            operation_.AppendToLog(LogAppender::kLogDebug, "GetUserResponseOption() result was kResponseUnknown");
            answer = false;
            continue;
        }
        UserInterfaceMessagePrompt question(0, TolkUIRequest::kResponseYes | TolkUIRequest::kResponseNo,
                                            TolkUIRequest::kIndicatorDefault);
        UIThreadOperationManager* manager = dynamic_cast<UIThreadOperationManager*>(thread->GetUIOperationManager());
        if (manager == nullptr) {
            operation_.AppendToLog(LogAppender::kLogWarn, kAssumingCancel);
            answer = false;
            continue;
        }
        // Recorded first, so that an abort of the install thread can withdraw the question.
        thread->SetPendingUICall(&question);
        const bool answered = manager->CallFromUIThreadContext(&question);
        thread->SetPendingUICall(nullptr);
        if (!answered) {
            operation_.AppendToLog(LogAppender::kLogWarn, kAssumingCancel);
            answer = false;
            continue;
        }
        switch (question.GetUserResponseOption()) {
        case TolkUIRequest::kResponseYes:
            operation_.AppendToLog(LogAppender::kLogDebug, "GetUserResponseOption() result was kResponseYes");
            cancelled_ = true;
            RunReport::NoteCancelled();
            answer = false;
            break;
        case TolkUIRequest::kResponseNo:
            operation_.AppendToLog(LogAppender::kLogDebug, "GetUserResponseOption() result was kResponseNo");
            break;
        case TolkUIRequest::kResponseUnknown:
            operation_.AppendToLog(LogAppender::kLogError, "GetUserResponseOption() result was kResponseUnknown, cancelling.");
            cancelled_ = true;
            answer = false;
            break;
        default:
            operation_.AppendToLog(LogAppender::kLogError,
                                   "GetUserResponseOption() returned an unexpected result, cancelling.");
            cancelled_ = true;
            answer = false;
            break;
        }
    }
    return answer;
}

void SorvelQENPayloadController::InstallStarted()
{
    operation_.SetPercentComplete(0);
}

void SorvelQENPayloadController::InstallFractionComplete(double fraction)
{
    const double percent = 100.0 * fraction;
    unsigned long value = 0;
    if (percent >= static_cast<double>(kPercentBeforeDone))
        value = kPercentBeforeDone;
    else if (percent > 0)
        value = static_cast<unsigned long>(percent);
    // A payload may report once per file: no status lock for each report.
    operation_.PublishPercentComplete(value);
}

void SorvelQENPayloadController::InstallComplete(bool)
{
    operation_.SetPercentComplete(kPercentDone);
}

void SorvelQENPayloadController::InstallStatusArgument(const std::string& name, const std::string& value)
{
    statusArguments_[name] = value;
}

int SorvelQENPayloadController::RunEngine(const std::string& name, const std::function<bool()>& run,
                                          unsigned long& result)
{
    result = kResultFailed;
    bool succeeded = false;
    try {
        succeeded = run();
    } catch (const std::exception& error) {
        // The engine throws only when the scripting frameworks cannot start: a failed run.
        operation_.AppendToLog(LogAppender::kLogError, name + ": " + error.what());
    }
    if (succeeded) {
        operation_.AppendToLog(LogAppender::kLogDebug, name + " succeeded.");
        result = kResultSucceeded;
    } else if (cancelled_) {
        operation_.AppendToLog(LogAppender::kLogDebug, name + " was cancelled.");
        result = kResultCancelled;
    } else {
        operation_.AppendToLog(LogAppender::kLogDebug, name + " failed.");
    }
    operation_.SetStatusMessage(ContainerMessage(
        static_cast<int>(result), succeeded ? statusArguments_ : ContainerMessage::NamedArguments()));
    return succeeded ? 0 : 1;
}
