#include "ThreadOperation.h"

#include "ThreadPayloadOperation.h"

ThreadOperation::ThreadOperation()
    : owningThread_(nullptr),
      called_(false),
      operationResult_(1),
      percentComplete_(0),
      statusMessage_(0, ContainerMessage::NamedArguments())
{
}

ThreadOperation::~ThreadOperation() {}

void ThreadOperation::AppendToLog(LogLevel level, const std::string& text)
{
    if (owningThread_ != nullptr)
        owningThread_->AppendToLog(level, text);
}

void ThreadOperation::AppendNumberedToLog(LogLevel level, unsigned long number, const std::string& text)
{
    if (owningThread_ != nullptr)
        owningThread_->AppendNumberedToLog(level, number, text);
}

void ThreadOperation::SetPercentComplete(unsigned long percent)
{
    if (owningThread_ != nullptr && owningThread_->SetPercentCompleteAndStatusMessage(percent, statusMessage_))
        percentComplete_ = static_cast<std::uint32_t>(percent);
}

void ThreadOperation::SetStatusMessage(const ContainerMessage& message)
{
    if (owningThread_ != nullptr && owningThread_->SetPercentCompleteAndStatusMessage(percentComplete_, message))
        statusMessage_ = message;
}

void ThreadOperation::SetPercentCompleteAndStatusMessage(unsigned long percent, const ContainerMessage& message)
{
    if (owningThread_ != nullptr && owningThread_->SetPercentCompleteAndStatusMessage(percent, message)) {
        percentComplete_ = static_cast<std::uint32_t>(percent);
        statusMessage_ = message;
    }
}

void ThreadOperation::PublishPercentComplete(unsigned long percent)
{
    if (owningThread_ == nullptr)
        return;
    owningThread_->PublishPercentComplete(percent);
    percentComplete_ = static_cast<std::uint32_t>(percent);
}
