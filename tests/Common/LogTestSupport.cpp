#include "LogTestSupport.h"

#include "Common/source/xplat/Logger.h"

#include <sys/stat.h>

#include <atomic>
#include <cstdlib>
#include <random>
#include <sstream>

namespace logtest {

namespace {

const std::time_t kStart = 1796717464;  // Tue Dec  8 08:11:04 2026 UTC
std::atomic<std::time_t> gNow(kStart);

std::time_t Now()
{
    return gNow.load();
}

}  // namespace

void LogTest::SetUp()
{
    const char* tz = std::getenv("TZ");
    hadTZ_ = tz != nullptr;
    savedTZ_ = hadTZ_ ? tz : "";
    setenv("TZ", "UTC", 1);
    tzset();
    gNow.store(kStart);
    Logger::SetClockForTesting(&Now);
}

void LogTest::TearDown()
{
    Logger::SetClockForTesting(nullptr);
    if (hadTZ_)
        setenv("TZ", savedTZ_.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

void LogTest::AdvanceSeconds(int seconds)
{
    gNow.fetch_add(seconds);
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

bool FileExists(const std::string& path)
{
    struct stat info;
    return lstat(path.c_str(), &info) == 0;
}

std::string LargeLogText()
{
    std::string text;
    for (int line = 0; text.size() < (2u << 20); ++line)
        text += std::to_string(line) + " Copying file \"/Assets/f" + std::to_string(line) + ".bin\"\n";
    std::mt19937 random(20);
    for (int i = 0; i < (1 << 20); ++i)
        text += static_cast<char>(random());
    text += "Copied\n";
    return text;
}

}  // namespace logtest
