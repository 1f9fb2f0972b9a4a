#include "ThreadPayloadOperationState.h"

const std::int32_t ThreadPayloadOperationState::kSuccessStatusCode;
const std::int32_t ThreadPayloadOperationState::kUnknownStatusCode;

ThreadPayloadOperationState::ThreadPayloadOperationState()
    : percentComplete(0), statusMessage(kSuccessStatusCode, ContainerMessage::NamedArguments())
{
}

ThreadPayloadOperationState::ThreadPayloadOperationState(const ThreadPayloadOperationState& other)
    : percentComplete(0), statusMessage(kSuccessStatusCode, ContainerMessage::NamedArguments())
{
    CommonConstruct(other);
}

ThreadPayloadOperationState& ThreadPayloadOperationState::operator=(const ThreadPayloadOperationState& other)
{
    if (this != &other)
        CommonConstruct(other);
    return *this;
}

void ThreadPayloadOperationState::CommonConstruct(const ThreadPayloadOperationState& other)
{
    percentComplete = other.percentComplete;
    statusMessage = other.statusMessage;
    errorTexts = other.errorTexts;
}

void ThreadPayloadOperationState::Reset()
{
    percentComplete = 0;
    statusMessage = ContainerMessage(kUnknownStatusCode, ContainerMessage::NamedArguments());
    errorTexts.clear();
}
