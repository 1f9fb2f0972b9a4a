#include "platform/ProgramArguments.h"

#include "platform/files/Files.h"

#include <mutex>

namespace platform {

namespace {

std::mutex gMutex;  // guards gArguments
std::vector<std::string> gArguments;

std::vector<std::string> ArgumentsOfThisProcess()
{
    std::vector<std::string> arguments;
    std::string bytes;
    if (!ReadWholeFile("/proc/self/cmdline", bytes))
        return arguments;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\0', start);
        if (end == std::string::npos)
            end = bytes.size();
        arguments.push_back(bytes.substr(start, end - start));
        start = end + 1;
    }
    return arguments;
}

}  // namespace

void SetProgramArguments(int argc, const char* const argv[])
{
    std::vector<std::string> arguments;
    for (int i = 0; i < argc && argv[i]; ++i)
        arguments.push_back(argv[i]);
    SetProgramArguments(arguments);
}

void SetProgramArguments(const std::vector<std::string>& arguments)
{
    std::lock_guard<std::mutex> lock(gMutex);
    gArguments = arguments;
}

std::vector<std::string> ProgramArguments()
{
    {
        std::lock_guard<std::mutex> lock(gMutex);
        if (!gArguments.empty())
            return gArguments;
    }
    return ArgumentsOfThisProcess();
}

}  // namespace platform
