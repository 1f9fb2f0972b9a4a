// Runs a built program the way a user would and keeps what it printed and its exit code.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace tolktest {

struct ProgramResult {
    int exitCode = -1;  // -1 when it did not exit normally
    std::string output;       // standard output
    std::string errorOutput;  // standard error
};

// A program started in a child process, with its standard output and error going to files of
// its own (so neither can block it), in the folder cwd (the caller's own when empty), with argv[0]
// set to argv0 (the program itself when empty) and the caller's environment. inChild, when given,
// runs in the child just before the program starts (to change its user, its mounts...); when it
// answers false, the child ends with kChildSetUpFailed.
class RunningProgram {
public:
    static const int kChildSetUpFailed = 125;

    RunningProgram(const std::string& program, const std::vector<std::string>& arguments, const std::string& cwd = "",
                   const std::string& argv0 = "", const std::function<bool()>& inChild = nullptr);
    // Kills a program that was never waited for.
    ~RunningProgram();
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    // Whether it has ended; the result stays for Wait.
    bool HasEnded();
    // Waits until it ends and answers what it printed and its exit code.
    ProgramResult Wait();

private:
    pid_t pid_ = -1;
    int status_ = 0;
    bool ended_ = false;
    int outputFd_ = -1;
    int errorFd_ = -1;
};

ProgramResult RunCapturingOutput(const std::string& program, const std::vector<std::string>& arguments,
                                 const std::string& cwd = "", const std::string& argv0 = "",
                                 const std::function<bool()>& inChild = nullptr);

// Runs the program as RunCapturingOutput does and answers the shared objects the dynamic loader
// loaded into it, from start-up to exit (those opened with dlopen included), as the loader names
// them: "libsqlite3.so.0", "/path/Module.so".
std::vector<std::string> LoadedObjects(const std::string& program, const std::vector<std::string>& arguments);

// Whether one of the objects is a windowing library (GTK, WebKitGTK, JavaScriptCore) or the
// wizard's module; the first such name in found.
bool LoadsWindowing(const std::vector<std::string>& objects, std::string& found);

}  // namespace tolktest

// A test that starts a program with a test switch (TOLK_FAULTS, TOLK_KILL_AT) needs a build with
// the test hooks, which scripts/test makes; in another build it is skipped.
#ifdef TOLK_TEST_HOOKS
#define TOLK_SKIP_WITHOUT_TEST_HOOKS() static_cast<void>(0)
#else
#define TOLK_SKIP_WITHOUT_TEST_HOOKS() GTEST_SKIP() << "built without the test hooks (TOLK_TEST_HOOKS)"
#endif
