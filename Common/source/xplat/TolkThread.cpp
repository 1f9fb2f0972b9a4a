#include "TolkThread.h"

#include <atomic>

namespace TolkThreadTesting {

namespace {
std::atomic<bool> gFailNextStart{false};
}

void FailNextThreadStart()
{
    gFailNextStart = true;
}

bool TakeThreadStartFailure()
{
    return gFailNextStart.exchange(false);
}

}  // namespace TolkThreadTesting
