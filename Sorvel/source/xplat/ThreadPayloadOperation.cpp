#include "ThreadPayloadOperation.h"

#include "Common/source/mac/ThreadUtils.h"
#include "Common/source/xplat/FileSystemUtils.h"
#include "Common/source/xplat/LogFactory.h"
#include "Common/source/xplat/RunReport.h"
#include "ThreadOperation.h"

#include <algorithm>
#include <stdexcept>

namespace {

const std::int32_t kRunStarted = 0;
const std::int32_t kRunSucceeded = 1;
const std::int32_t kRunFailed = 2;

const unsigned long kMaxPercent = 100;

bool EndsInColon(const std::string& text)
{
    return !text.empty() && text.back() == ':';
}

// Releases the worker's platform object however the job ends.
class ThreadPlatformStorageScope {
public:
    ThreadPlatformStorageScope() : storage_(ThreadUtils::ThreadPlatformStorage::MakeThreadPlatformStorageImpl()) {}
    ~ThreadPlatformStorageScope() { ThreadUtils::ThreadPlatformStorage::ReleaseThreadPlatformStorageImpl(storage_); }
    ThreadPlatformStorageScope(const ThreadPlatformStorageScope&) = delete;
    ThreadPlatformStorageScope& operator=(const ThreadPlatformStorageScope&) = delete;

private:
    ThreadUtils::ThreadPlatformStorage::ThreadPlatformStorageImpl* storage_;
};

}  // namespace

ThreadPayloadOperation::ThreadPayloadOperation(boost::shared_ptr<ThreadOperation>& operation,
                                               UIThreadOperationManager& manager,
                                               std::vector<UserInterfaceMessagePrompt>& prompts,
                                               const std::string& logName)
    : operation_(operation),
      manager_(manager),
      prompts_(prompts),
      publishedPercent_(0),
      logger_(nullptr),
      numberedMessage_(nullptr)
{
    if (!operation_)
        throw std::runtime_error("Thread operation is empty");
    operation_->owningThread_ = this;
    if (!logName.empty())
        logger_ = LogFactory::Instance().GetLogger(logName);
}

ThreadPayloadOperation::~ThreadPayloadOperation()
{
    // The operation may outlive this object through another holder; it must not report to it.
    if (operation_ && operation_->owningThread_ == this)
        operation_->owningThread_ = nullptr;
}

bool ThreadPayloadOperation::PopThreadMessage(TolkMessage& message)
{
    return PopMessage(message);
}

void ThreadPayloadOperation::AppendToLog(LogLevel level, const std::string& text)
{
    if (logger_ != nullptr)
        logger_->AppendToLog(level, text);
    if (level != kLogError && level != kLogFatal)
        return;
    // A script that fails is logged at the fatal level as words ending in a colon and then its
    // error: the two are one text, which is why the run failed.
    std::vector<std::string>& texts = ownState_.errorTexts;
    if (!texts.empty() && EndsInColon(texts.back()))
        texts.back() += " " + text;
    else
        texts.push_back(text);
    // The cause is the first of those texts, of a numbered line the message alone, or the reason
    // that the file layer noted for the command's failure.
    const std::string& message = numberedMessage_ != nullptr ? *numberedMessage_ : text;
    if (firstErrorMessage_.empty()) {
        const std::string reason = numberedMessage_ != nullptr ? FileSystemUtils::LastFailureReason() : std::string();
        firstErrorMessage_ = reason.empty() ? message : reason;
    } else if (texts.size() == 1 && EndsInColon(firstErrorMessage_))
        firstErrorMessage_ += " " + message;
}

void ThreadPayloadOperation::AppendNumberedToLog(LogLevel level, unsigned long number, const std::string& text)
{
    numberedMessage_ = &text;
    LogAppender::AppendNumberedToLog(level, number, text);
    numberedMessage_ = nullptr;
}

bool ThreadPayloadOperation::SetPercentCompleteAndStatusMessage(unsigned long percent, const ContainerMessage& message)
{
    ThreadPayloadOperationState copy(ownState_);
    copy.percentComplete = static_cast<std::uint32_t>(std::min(percent, kMaxPercent));
    copy.statusMessage = message;
    if (!SetStatus(copy))
        return false;
    publishedPercent_.store(copy.percentComplete, std::memory_order_relaxed);
    ownState_ = copy;
    return true;
}

void ThreadPayloadOperation::PublishPercentComplete(unsigned long percent)
{
    publishedPercent_.store(static_cast<std::uint32_t>(std::min(percent, kMaxPercent)), std::memory_order_relaxed);
}

bool ThreadPayloadOperation::GetCurrentStatus(ThreadPayloadOperationState& state)
{
    if (!GetStatus(state))
        return false;
    state.percentComplete = publishedPercent_.load(std::memory_order_relaxed);
    return true;
}

void ThreadPayloadOperation::ThreadProc()
{
    ThreadPlatformStorageScope storage;
    SetRunResult(kRunStarted);
    std::int32_t runResult = kRunStarted;

    std::string title = "Installer Operation";
    if (operation_)
        title += ": " + operation_->GetOperationType();
    InfoLogHeader header(logger_, title);

    ownState_.Reset();
    firstErrorMessage_.clear();
    publishedPercent_.store(ownState_.percentComplete, std::memory_order_relaxed);
    if (operation_) {
        // Everything the operation logged is in its files before the interface sees the end.
        LogWriteBatch batch;
        try {
            SetStatus(ownState_);
            if (!operation_->called_) {
                operation_->called_ = true;
                operation_->operationResult_ = (*operation_)(manager_, prompts_);
            }
            runResult = operation_->operationResult_ != 0 ? kRunFailed : kRunSucceeded;
        } catch (...) {
            // Whatever the operation throws, the interface must still see the run end.
            runResult = kRunFailed;
        }
    } else {
        runResult = kRunSucceeded;
    }

    // The caller reports a failed operation in its own words; its first error says why.
    if (runResult == kRunFailed && !firstErrorMessage_.empty())
        RunReport::NoteCause(firstErrorMessage_);

    ownState_.percentComplete = kMaxPercent;
    publishedPercent_.store(kMaxPercent, std::memory_order_relaxed);
    SetStatus(ownState_);
    SetRunResult(runResult);
}
