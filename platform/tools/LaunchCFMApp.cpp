// The stand-in for the system's launcher of CFM applications: "LaunchCFMApp APPLICATION
// [ARGUMENT ...]" runs the application (a program, or an application bundle's executable) with
// the arguments, and its exit status becomes this tool's. An application that cannot be run
// ends the tool with 71, the status of a program that could not be started.
#include "ToolSupport.h"

#include "platform/Bundle.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char* const kToolPath = "/System/Library/Frameworks/Carbon.framework/Versions/A/Support/LaunchCFMApp";
const int kCannotStart = 71;

// The program of an application: itself, or the executable of a bundle folder.
bool ProgramOf(const std::string& application, std::string& program)
{
    struct stat info;
    if (stat(application.c_str(), &info) != 0)
        return false;
    if (!S_ISDIR(info.st_mode)) {
        program = application;
        return true;
    }
    platform::BundlePtr bundle = platform::Bundle::Create(application);
    return bundle && bundle->ExecutablePath(program);
}

}  // namespace

int main(int argc, char** argv)
{
    std::string root;
    if (!tools::FindSystemRoot(kToolPath, root)) {
        std::fprintf(stderr, "LaunchCFMApp: not installed at %s under a system root\n", kToolPath);
        return kCannotStart;
    }
    tools::RecordToolCall(root, kToolPath, argc, argv);
    if (argc < 2 || argv[1][0] != '/') {
        std::fprintf(stderr, "usage: LaunchCFMApp /absolute/path/to/application [argument ...]\n");
        return kCannotStart;
    }
    std::string program;
    if (!ProgramOf(argv[1], program)) {
        std::fprintf(stderr, "LaunchCFMApp: %s: no application to run\n", argv[1]);
        return kCannotStart;
    }
    std::vector<char*> arguments;
    arguments.push_back(const_cast<char*>(program.c_str()));
    arguments.insert(arguments.end(), argv + 2, argv + argc);
    arguments.push_back(nullptr);
    execv(program.c_str(), arguments.data());
    std::fprintf(stderr, "LaunchCFMApp: %s: %s\n", program.c_str(), std::strerror(errno));
    return kCannotStart;
}
