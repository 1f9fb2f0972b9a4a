// ThreadOperation: one payload operation (install, repair, uninstall, bootstrapper, third-party)
// that runs once on the install thread and reports percent complete, a status message and log
// lines through the thread object that runs it.
#pragma once

#include "Common/source/xplat/ContainerMessage.h"
#include "Common/source/xplat/LogAppender.h"

#include <boost/noncopyable.hpp>
#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <string>
#include <vector>

class CAPSSessionPtr;
class ThreadPayloadOperation;
class UIThreadOperationManager;
class UserInterfaceMessagePrompt;
namespace CAPSQueryUtilities {
struct PackageManagementOperationResult;
}

class ThreadOperation : public LogAppender, private boost::noncopyable {
public:
    ThreadOperation();
    ~ThreadOperation() override;

    // Forwards the line to the owning thread (its logger and its error texts); dropped while the
    // operation is not bound to a thread.
    using LogAppender::AppendToLog;
    void AppendToLog(LogLevel level, const std::string& text) override;
    void AppendNumberedToLog(LogLevel level, unsigned long number, const std::string& text) override;

    // Performs the operation on the install thread: 0 success, anything else failure.
    virtual int operator()(UIThreadOperationManager& manager, std::vector<UserInterfaceMessagePrompt>& prompts) = 0;
    // The operation's kind, as the install thread's log titles name it.
    virtual std::string GetOperationType() = 0;
    // The prompt that describes the operation to a caller that finds it was never called.
    virtual bool GetMessageIfNotCalled(boost::shared_ptr<UserInterfaceMessagePrompt>& prompt) = 0;
    // The operation's installation-database step, in the caller's session and without a commit.
    virtual bool DoCAPSPackageManagementOperations(CAPSSessionPtr& session,
                                                   CAPSQueryUtilities::PackageManagementOperationResult& result) = 0;

    ThreadPayloadOperation* GetOwningThread() const { return owningThread_; }

    // Each setter reports through the owning thread; the operation keeps the new values only when
    // the thread accepted them, and nothing happens without an owning thread.
    void SetPercentComplete(unsigned long percent);
    void SetStatusMessage(const ContainerMessage& message);
    void SetPercentCompleteAndStatusMessage(unsigned long percent, const ContainerMessage& message);
    // Progress that comes often (one report per few files of a payload): published without the
    // status lock, so that the next status poll shows it at once; the status record takes it
    // with its next locked update.
    void PublishPercentComplete(unsigned long percent);

    std::uint32_t GetPercentComplete() const { return percentComplete_; }
    const ContainerMessage& GetStatusMessage() const { return statusMessage_; }
    // Whether the install thread has called the operation, and what the call returned (1 before).
    bool HasBeenCalled() const { return called_; }
    std::int32_t GetOperationResult() const { return operationResult_; }

private:
    // The thread object binds itself on construction and records the call and its result.
    friend class ThreadPayloadOperation;

    ThreadPayloadOperation* owningThread_;
    bool called_;
    std::int32_t operationResult_;
    std::uint32_t percentComplete_;
    ContainerMessage statusMessage_;
};
