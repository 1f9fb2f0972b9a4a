#include "support/ProgramRun.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>

namespace tolktest {

namespace {

std::string ReadAll(int fd)
{
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

ProgramResult RunCapturingOutput(const std::string& program, const std::vector<std::string>& arguments,
                                 const std::string& cwd, const std::string& argv0)
{
    std::vector<std::string> strings{argv0.empty() ? program : argv0};
    strings.insert(strings.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& s : strings)
        argv.push_back(&s[0]);
    argv.push_back(nullptr);

    // Standard error goes to an unlinked file, so that neither stream can block the other.
    char errorName[] = "/tmp/tolk-stderr-XXXXXX";
    const int errorFd = mkstemp(errorName);
    if (errorFd < 0)
        throw std::runtime_error("mkstemp failed");
    unlink(errorName);
    int fds[2];
    if (pipe(fds) != 0)
        throw std::runtime_error("pipe failed");
    const pid_t pid = fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid == 0) {
        dup2(fds[1], STDOUT_FILENO);
        dup2(errorFd, STDERR_FILENO);
        close(fds[0]);
        close(fds[1]);
        close(errorFd);
        if (!cwd.empty() && chdir(cwd.c_str()) != 0)
            _exit(126);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(fds[1]);
    ProgramResult result;
    result.output = ReadAll(fds[0]);
    close(fds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    lseek(errorFd, 0, SEEK_SET);
    result.errorOutput = ReadAll(errorFd);
    close(errorFd);
    return result;
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
