#include "platform/files/FileNotifications.h"

#include <atomic>

namespace platform {

namespace {

std::atomic<unsigned long> gNotifyAllCount(0);

}  // namespace

int NotifyAll(std::uint32_t, std::uint32_t)
{
    ++gNotifyAllCount;
    return 0;
}

unsigned long NotifyAllCountForTesting()
{
    return gNotifyAllCount.load();
}

}  // namespace platform
