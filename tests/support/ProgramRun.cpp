#include "tests/support/ProgramRun.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>

namespace tolktest {

namespace {

// An unlinked temporary file: it goes away with its last descriptor.
int AnonymousFile()
{
    char name[] = "/tmp/tolk-output-XXXXXX";
    const int fd = mkostemp(name, O_CLOEXEC);
    if (fd < 0)
        throw std::runtime_error("mkstemp failed");
    unlink(name);
    return fd;
}

std::string ReadAll(int fd)
{
    lseek(fd, 0, SEEK_SET);
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t count = read(fd, buffer, sizeof(buffer));
        if (count > 0)
            text.append(buffer, static_cast<std::size_t>(count));
        else if (count == 0 || errno != EINTR)
            break;
    }
    return text;
}

}  // namespace

RunningProgram::RunningProgram(const std::string& program, const std::vector<std::string>& arguments,
                               const std::string& cwd, const std::string& argv0, const std::function<bool()>& inChild)
{
    std::vector<std::string> strings{argv0.empty() ? program : argv0};
    strings.insert(strings.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& s : strings)
        argv.push_back(&s[0]);
    argv.push_back(nullptr);

    outputFd_ = AnonymousFile();
    errorFd_ = AnonymousFile();
    pid_ = fork();
    if (pid_ < 0)
        throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        dup2(outputFd_, STDOUT_FILENO);
        dup2(errorFd_, STDERR_FILENO);
        if (!cwd.empty() && chdir(cwd.c_str()) != 0)
            _exit(126);
        if (inChild && !inChild())
            _exit(kChildSetUpFailed);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
}

RunningProgram::~RunningProgram()
{
    if (!ended_ && pid_ > 0) {
        kill(pid_, SIGKILL);
        while (waitpid(pid_, &status_, 0) < 0 && errno == EINTR) {
        }
    }
    close(outputFd_);
    close(errorFd_);
}

bool RunningProgram::HasEnded()
{
    if (!ended_ && waitpid(pid_, &status_, WNOHANG) == pid_)
        ended_ = true;
    return ended_;
}

ProgramResult RunningProgram::Wait()
{
    while (!ended_) {
        if (waitpid(pid_, &status_, 0) == pid_)
            ended_ = true;
        else if (errno != EINTR)
            break;
    }
    ProgramResult result;
    result.exitCode = ended_ && WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
    result.output = ReadAll(outputFd_);
    result.errorOutput = ReadAll(errorFd_);
    return result;
}

ProgramResult RunCapturingOutput(const std::string& program, const std::vector<std::string>& arguments,
                                 const std::string& cwd, const std::string& argv0,
                                 const std::function<bool()>& inChild)
{
    return RunningProgram(program, arguments, cwd, argv0, inChild).Wait();
}

std::vector<std::string> LoadedObjects(const std::string& program, const std::vector<std::string>& arguments)
{
    // The loader reports each object it loads as a line "<pid>: file=<name> [<namespace>]; ...".
    setenv("LD_DEBUG", "files", 1);
    const ProgramResult result = RunCapturingOutput(program, arguments);
    unsetenv("LD_DEBUG");
    std::vector<std::string> objects;
    const std::string marker = "file=";
    std::string::size_type at = 0;
    while ((at = result.errorOutput.find(marker, at)) != std::string::npos) {
        at += marker.size();
        const std::string::size_type end = result.errorOutput.find_first_of(" \t\n", at);
        objects.push_back(result.errorOutput.substr(at, end == std::string::npos ? std::string::npos : end - at));
    }
    return objects;
}

bool LoadsWindowing(const std::vector<std::string>& objects, std::string& found)
{
    for (const std::string& object : objects) {
        for (const char* part : {"gtk", "webkit", "javascriptcore", "SetupWizard"}) {
            if (object.find(part) != std::string::npos) {
                found = object;
                return true;
            }
        }
    }
    return false;
}

}  // namespace tolktest
