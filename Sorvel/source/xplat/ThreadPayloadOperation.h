// ThreadPayloadOperation: the install thread. It runs one ThreadOperation on a detached worker,
// keeps the status record that the interface polls, collects every line the operation logs at
// the error or fatal level, and carries the interface's messages to the operation.
//
// The engine keeps the object until IsRunning is false; the destructor does not wait.
#pragma once

#include "Common/source/xplat/LogAppender.h"
#include "Common/source/xplat/TolkThread.h"
#include "ThreadPayloadOperationState.h"
#include "TolkMessage.h"

#include <boost/shared_ptr.hpp>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

class Logger;
class ThreadOperation;
class UIThreadOperationManager;
class UserInterfaceMessagePrompt;

class ThreadPayloadOperation : public TolkThreadWithMessaging<ThreadPayloadOperationState, TolkMessage>,
                               public LogAppender {
public:
    // Binds the operation to this thread. The manager and the prompt list are handed to the
    // operation's call and must outlive the job. An empty log name means no logger. Throws
    // std::runtime_error "Thread operation is empty" for an empty operation.
    ThreadPayloadOperation(boost::shared_ptr<ThreadOperation>& operation, UIThreadOperationManager& manager,
                           std::vector<UserInterfaceMessagePrompt>& prompts, const std::string& logName);
    ~ThreadPayloadOperation() override;

    // Worker side: the oldest message from the interface; false when there is none.
    bool PopThreadMessage(TolkMessage& message);

    // Worker side: hands the line to the logger and keeps the text of an error-level or fatal
    // line for the status record; a text ending in a colon takes the next one in.
    using LogAppender::AppendToLog;
    void AppendToLog(LogLevel level, const std::string& text) override;
    // The same for a numbered line (a command's); its message alone is what the run's cause would
    // tell, or rather the reason that the file layer noted for the command's failure (the system's
    // error, a refusal), which says why.
    void AppendNumberedToLog(LogLevel level, unsigned long number, const std::string& text) override;

    // Worker side: publishes percent (at most 100) and message with the error texts collected so
    // far; false, changing nothing, when the status lock fails.
    virtual bool SetPercentCompleteAndStatusMessage(unsigned long percent, const ContainerMessage& message);
    // Worker side, without the status lock: the percent (at most 100) that status reads show
    // from now on, until the next percent published either way.
    void PublishPercentComplete(unsigned long percent);

    // Interface side: the status record with the latest percent the worker published.
    bool GetCurrentStatus(ThreadPayloadOperationState& state);

    // The job: runs the operation once and publishes its final status.
    void ThreadProc() override;

private:
    boost::shared_ptr<ThreadOperation> operation_;
    UIThreadOperationManager& manager_;
    std::vector<UserInterfaceMessagePrompt>& prompts_;
    // The worker's working copy of the status record; used on the worker thread only and copied
    // into the base's record, under its status lock, whenever it changes.
    ThreadPayloadOperationState ownState_;
    // The run's first error text (as errorTexts joins them), without a number that the command engine
    // gave the line; used on the worker thread only.
    std::string firstErrorMessage_;
    // The latest percent published, locked or not; written by the worker, read by status polls.
    std::atomic<std::uint32_t> publishedPercent_;
    Logger* logger_;  // owned by the log factory; null without a log name
    // The message alone while a numbered line passes through AppendToLog; worker thread only.
    const std::string* numberedMessage_;
};
