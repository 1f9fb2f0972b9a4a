// TolkMessage: the message value that the interface side posts to the install thread's queue and
// the running operation reads; 0 asks the operation to cancel.
#pragma once

#include <cstdint>

typedef std::int32_t TolkMessage;

namespace TolkMessages {

const TolkMessage kCancelRequest = 0;

}  // namespace TolkMessages
