// The stand-in for the system's start-up item context tool: "StartupItemContext PROGRAM
// [ARGUMENT ...]" runs PROGRAM with the arguments in the context that start-up items run in.
// Here that context is the system root the tool is installed under: a program path outside the
// root ("/bin/launchctl") is taken as the one under it. The program keeps this tool's
// environment; its exit status becomes this tool's.
#include "ToolSupport.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char* const kToolPath = "/usr/libexec/StartupItemContext";

std::string ProgramUnderRoot(const std::string& root, const std::string& program)
{
    if (root == "/" || program.compare(0, root.size() + 1, root + "/") == 0)
        return program;
    return root + program;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string root;
    if (!tools::FindSystemRoot(kToolPath, root)) {
        std::fprintf(stderr, "StartupItemContext: not installed at %s under a system root\n", kToolPath);
        return 1;
    }
    tools::RecordToolCall(root, kToolPath, argc, argv);
    if (argc < 2 || argv[1][0] != '/') {
        std::fprintf(stderr, "usage: StartupItemContext /absolute/path/to/program [argument ...]\n");
        return 1;
    }
    const std::string program = ProgramUnderRoot(root, argv[1]);
    std::vector<char*> arguments(argv + 1, argv + argc);
    arguments.push_back(nullptr);
    execv(program.c_str(), arguments.data());
    std::fprintf(stderr, "StartupItemContext: %s: %s\n", program.c_str(), std::strerror(errno));
    return 1;
}
