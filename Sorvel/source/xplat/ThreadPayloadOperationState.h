// ThreadPayloadOperationState: the install thread's status record as the interface polls it:
// percent complete, the last status message and the lines the operation logged as errors.
#pragma once

#include "Common/source/xplat/ContainerMessage.h"

#include <cstdint>
#include <string>
#include <vector>

class ThreadPayloadOperationState {
public:
    static const std::int32_t kSuccessStatusCode = 0;
    static const std::int32_t kUnknownStatusCode = -1;

    // Percent 0, a status message with the success code and no arguments, no error texts.
    ThreadPayloadOperationState();
    ThreadPayloadOperationState(const ThreadPayloadOperationState& other);
    ThreadPayloadOperationState& operator=(const ThreadPayloadOperationState& other);

    // Percent 0, a status message with the unknown code and no arguments, no error texts: what
    // the interface sees once a job has started and before its operation reports anything.
    void Reset();

    std::uint32_t percentComplete;  // 0 to 100
    ContainerMessage statusMessage;
    std::vector<std::string> errorTexts;  // logged at the error or fatal level during the run, oldest first

private:
    void CommonConstruct(const ThreadPayloadOperationState& other);
};
