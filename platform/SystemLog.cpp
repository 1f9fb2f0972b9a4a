#include "platform/SystemLog.h"

#include <syslog.h>
#include <unistd.h>

#include <cstdio>
#include <mutex>

namespace platform {

namespace {

std::mutex gSinkMutex;                           // guards gSink
std::function<void(const std::string&)> gSink;  // the test's sink, when set

}  // namespace

void SystemLog(const std::string& line)
{
    {
        std::lock_guard<std::mutex> lock(gSinkMutex);
        if (gSink) {
            gSink(line);
            return;
        }
    }
    std::fprintf(stderr, "Setup[%d] %s\n", static_cast<int>(getpid()), line.c_str());
    syslog(LOG_NOTICE, "%s", line.c_str());
}

void SetSystemLogSinkForTesting(std::function<void(const std::string&)> sink)
{
    std::lock_guard<std::mutex> lock(gSinkMutex);
    gSink = std::move(sink);
}

}  // namespace platform
