#include "platform/Authorization.h"

#include "platform/ChildSignals.h"

#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <vector>

extern char** environ;

namespace platform {

namespace {

const char* const kPkexec = "/usr/bin/pkexec";
// The variable in which pkexec names the user who ran it.
const char* const kPkexecUser = "PKEXEC_UID";

std::mutex gMakerMutex;          // guards gMaker
Authorization::Maker gMaker;     // the test's maker, when set

class SystemAuthorization : public Authorization {
public:
    int CopyAdminRights() override
    {
        if (geteuid() == 0)
            return kAuthorizationSuccess;
        // pkexec asks for the password itself, when the program starts.
        return access(kPkexec, X_OK) == 0 ? kAuthorizationSuccess : kAuthorizationDenied;
    }

    int ExecuteWithPrivileges(const char* path, char* const* arguments, pid_t& pid, int& pipe) override
    {
        return Spawn(geteuid() == 0 ? nullptr : kPkexec, path, arguments, pid, pipe);
    }
};

int OpenProcessHandle(pid_t pid)
{
#ifdef SYS_pidfd_open
    return static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
#else
    (void)pid;
    errno = ENOSYS;
    return -1;
#endif
}

}  // namespace

Authorization::~Authorization() = default;

int Authorization::Create(std::unique_ptr<Authorization>& out)
{
    Maker maker;
    {
        std::lock_guard<std::mutex> lock(gMakerMutex);
        maker = gMaker;
    }
    if (maker)
        return maker(out);
    out.reset(new SystemAuthorization);
    return kAuthorizationSuccess;
}

void Authorization::SetMakerForTesting(Maker maker)
{
    std::lock_guard<std::mutex> lock(gMakerMutex);
    gMaker = std::move(maker);
}

int Authorization::Spawn(const char* launcher, const char* path, char* const* arguments, pid_t& pid, int& pipe,
                         char* const* environment)
{
    if (path == nullptr)
        return kAuthorizationInternalError;
    std::vector<char*> argv;
    if (launcher != nullptr)
        argv.push_back(const_cast<char*>(launcher));
    argv.push_back(const_cast<char*>(path));
    for (char* const* argument = arguments; argument != nullptr && *argument != nullptr; ++argument)
        argv.push_back(*argument);
    argv.push_back(nullptr);

    int sockets[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets) != 0)
        return kAuthorizationInternalError;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // The duplicates on 0 and 1 lose close-on-exec; the originals close at exec.
    posix_spawn_file_actions_adddup2(&actions, sockets[1], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, sockets[1], STDOUT_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    pid_t child = -1;
    int result = SetChildSignals(attributes);
    if (result == 0)
        result = posix_spawn(&child, launcher != nullptr ? launcher : path, &actions, &attributes, argv.data(),
                             environment != nullptr ? environment : environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    close(sockets[1]);
    if (result != 0) {
        close(sockets[0]);
        return kAuthorizationToolExecuteFailure;
    }
    pid = child;
    pipe = sockets[0];
    return kAuthorizationSuccess;
}

uid_t InvokingUser()
{
    const char* text = std::getenv(kPkexecUser);
    if (text == nullptr || *text < '0' || *text > '9')
        return getuid();
    char* end = nullptr;
    errno = 0;
    const unsigned long long value = std::strtoull(text, &end, 10);
    if (errno != 0 || *end != '\0' || value >= static_cast<uid_t>(-1))
        return getuid();
    return static_cast<uid_t>(value);
}

void ReadChildOutput(pid_t pid, int fd, const std::function<void(const char*, std::size_t)>& sink)
{
    char buffer[16384];
    const int process = pid > 0 ? OpenProcessHandle(pid) : -1;
    bool exited = false;
    for (;;) {
        if (!exited && process >= 0) {
            pollfd watched[2] = {{fd, POLLIN, 0}, {process, POLLIN, 0}};
            if (poll(watched, 2, -1) < 0) {
                if (errno == EINTR)
                    continue;
                break;
            }
            if (watched[1].revents != 0)
                exited = true;  // take what is buffered, then stop
            if (watched[0].revents == 0)
                continue;
        }
        const ssize_t count = exited ? recv(fd, buffer, sizeof(buffer), MSG_DONTWAIT) : read(fd, buffer, sizeof(buffer));
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            break;
        if (sink)
            sink(buffer, static_cast<std::size_t>(count));
    }
    if (process >= 0)
        close(process);
}

}  // namespace platform
