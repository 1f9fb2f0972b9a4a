#include "ExecUtils.h"

#include "platform/ChildSignals.h"
#include "platform/ProcessExit.h"
#include "platform/files/TrustedFiles.h"
#include "platform/files/TrustedPath.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

extern char** environ;

namespace ExecUtils {

namespace {

const std::size_t kReadBufferSize = 16384;

// Everything the child needs, made before the fork: between fork and exec the child may only
// make async-signal-safe calls, since another thread may have held the allocator's or the
// logger's lock at the moment of the fork.
struct ChildPlan {
    std::vector<char> argBuffer;
    std::vector<char*> argv;
    ChildEnvironment environment;
    const ExecId* id = nullptr;
    int errorsWrite = -1;  // the write end that becomes the child's standard error; -1 keeps ours
};

// Programs we start see only the two variables a login session's programs rely on; everything
// else (PATH, HOME, our own settings) would let the caller's environment steer them.
bool IsKeptVariable(const char* entry)
{
    static const char* const kKeptNames[] = {"__CF_USER_TEXT_ENCODING", "SECURITYSESSIONID"};
    const char* equals = std::strchr(entry, '=');
    const std::size_t nameLength = equals != nullptr ? static_cast<std::size_t>(equals - entry) : std::strlen(entry);
    for (const char* name : kKeptNames) {
        if (std::strlen(name) == nameLength && std::strncmp(entry, name, nameLength) == 0)
            return true;
    }
    return false;
}

void MakeChildPlan(const std::vector<std::string>& args, const ExecId* id, ChildPlan& plan)
{
    FormExecArgv(args, plan.argBuffer, plan.argv);
    plan.id = id;
}

void CloseBoth(int fds[2])
{
    close(fds[0]);
    close(fds[1]);
}

// Moves a descriptor above the standard three, so that the child's dup2 onto 0 and 1 never
// meets a pipe end sitting there already (a caller with closed standard descriptors).
bool MoveAboveStandard(int& fd)
{
    if (fd > STDERR_FILENO)
        return true;
    const int moved = fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    if (moved < 0)
        return false;
    close(fd);
    fd = moved;
    return true;
}

// A pipe whose ends are not inherited by programs that other threads start meanwhile: an
// inherited write end would keep our child from ever seeing the end of its input.
bool MakePipe(int fds[2])
{
    if (pipe2(fds, O_CLOEXEC) != 0)
        return false;
    if (!MoveAboveStandard(fds[0]) || !MoveAboveStandard(fds[1])) {
        CloseBoth(fds);
        return false;
    }
    return true;
}

// Runs in the child between fork and exec: async-signal-safe calls only.
bool TakeIdentity(const ExecId& id)
{
    if (geteuid() != 0)
        return true;
    if (id.flags & kExecSetGID) {
        const gid_t effective = getegid();
        if (setgid(id.gid) != 0 || setegid(effective) != 0)
            return false;
    }
    if ((id.flags & kExecSetEGID) && setegid(id.egid) != 0)
        return false;
    if ((id.flags & kExecSetUID) && setuid(id.uid) != 0)
        return false;
    if ((id.flags & kExecSetEUID) && geteuid() == 0 && seteuid(id.euid) != 0)
        return false;
    return true;
}

// The child's side: take the identity, put the pipes on 0 and 1 and run the program. A child
// that cannot do all of it must not run the program in a half-made state; it ends with 71.
[[noreturn]] void RunChild(const ChildPlan& plan, int input[2], int output[2])
{
    ResetChildSignals();
    if (plan.id != nullptr && !TakeIdentity(*plan.id))
        _exit(kExecFailed);
    close(input[1]);
    if (dup2(input[0], STDIN_FILENO) < 0)
        _exit(kExecFailed);
    close(input[0]);
    close(output[0]);
    if (dup2(output[1], STDOUT_FILENO) < 0)
        _exit(kExecFailed);
    close(output[1]);
    if (plan.errorsWrite >= 0 && dup2(plan.errorsWrite, STDERR_FILENO) < 0)
        _exit(kExecFailed);
    execve(plan.argv[0], plan.argv.data(), plan.environment.Entries());
    _exit(kExecFailed);
}

// A child that keeps our identities needs nothing between the fork and the exec that
// posix_spawn cannot do, and it shares our memory until the exec instead of copying the tables
// of all of it: several milliseconds less per program started by a process of our size. A
// program that cannot be executed is a spawn failure (-1), as a fork failure is.
pid_t Spawn(const ChildPlan& plan, int input[2], int output[2])
{
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    if (posix_spawn_file_actions_init(&actions) != 0)
        return -1;
    if (posix_spawnattr_init(&attributes) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return -1;
    }
    pid_t pid = -1;
    // The pipes' own ends are close-on-exec; the copies on 0 and 1 are not.
    if (posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO) == 0 &&
        posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO) == 0 &&
        (plan.errorsWrite < 0 || posix_spawn_file_actions_adddup2(&actions, plan.errorsWrite, STDERR_FILENO) == 0) &&
        platform::SetChildSignals(attributes) == 0 &&
        posix_spawn(&pid, plan.argv[0], &actions, &attributes, plan.argv.data(), plan.environment.Entries()) != 0)
        pid = -1;
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Feeds the input and drains the output (and the errors, when stderrRead is not -1) at the same
// time, so that a child that writes much before it has read all its input cannot leave both
// sides waiting on a full pipe.
void ExchangeWithChild(int stdinWrite, const char* input, unsigned long inputLength, int stdoutRead,
                       std::vector<char>* output, int stderrRead, std::vector<char>* errors, bool& ioError)
{
    bool writing = input != nullptr && inputLength > 0;
    if (writing && fcntl(stdinWrite, F_SETFL, fcntl(stdinWrite, F_GETFL) | O_NONBLOCK) != 0) {
        ioError = true;
        writing = false;
    }
    if (!writing)
        close(stdinWrite);

    struct Drain {
        int fd;
        std::vector<char>* into;
        bool open;
    };
    Drain drains[2] = {{stdoutRead, output, true}, {stderrRead, errors, stderrRead >= 0}};
    std::vector<char> buffer;
    try {
        buffer.resize(kReadBufferSize);
    } catch (const std::bad_alloc&) {
        ioError = true;
        drains[0].open = drains[1].open = false;
    }

    unsigned long written = 0;
    while (writing || drains[0].open || drains[1].open) {
        struct pollfd waits[3];
        int count = 0;
        int writeSlot = -1;
        int readSlots[2] = {-1, -1};
        if (writing) {
            writeSlot = count;
            waits[count++] = {stdinWrite, POLLOUT, 0};
        }
        for (int i = 0; i < 2; ++i) {
            if (drains[i].open) {
                readSlots[i] = count;
                waits[count++] = {drains[i].fd, POLLIN, 0};
            }
        }
        if (poll(waits, static_cast<nfds_t>(count), -1) < 0) {
            if (errno == EINTR)
                continue;
            ioError = true;
            break;
        }
        if (writeSlot >= 0 && waits[writeSlot].revents != 0) {
            const ssize_t sent = write(stdinWrite, input + written, inputLength - written);
            if (sent > 0) {
                written += static_cast<unsigned long>(sent);
            } else if (sent < 0 && (errno == EAGAIN || errno == EINTR)) {
                // Room will come; poll again.
            } else {
                ioError = true;  // the child closed its input before taking all of it
                written = inputLength;
            }
            if (written == inputLength) {
                close(stdinWrite);
                writing = false;
            }
        }
        for (int i = 0; i < 2; ++i) {
            if (readSlots[i] < 0 || waits[readSlots[i]].revents == 0)
                continue;
            Drain& drain = drains[i];
            const ssize_t received = read(drain.fd, buffer.data(), buffer.size());
            if (received > 0) {
                if (drain.into != nullptr) {
                    try {
                        drain.into->insert(drain.into->end(), buffer.data(), buffer.data() + received);
                    } catch (const std::bad_alloc&) {
                        ioError = true;
                        drain.open = false;
                    }
                }
            } else if (received == 0) {
                drain.open = false;
            } else if (errno != EINTR && errno != EAGAIN) {
                ioError = true;
                drain.open = false;
            }
        }
    }
    if (writing)
        close(stdinWrite);
    close(stdoutRead);
    if (stderrRead >= 0)
        close(stderrRead);
}

}  // namespace

ChildEnvironment::ChildEnvironment()
{
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        if (IsKeptVariable(*entry))
            entries_.push_back(*entry);
    }
    pointers_.reserve(entries_.size() + 1);
    for (std::string& entry : entries_)
        pointers_.push_back(&entry[0]);
    pointers_.push_back(nullptr);
}

void ResetChildSignals()
{
    platform::ResetChildSignals();
}

void FormExecArgv(const std::vector<std::string>& args, std::vector<char>& buffer, std::vector<char*>& argv)
{
    buffer.clear();
    argv.clear();
    std::size_t size = 0;
    for (const std::string& arg : args)
        size += arg.size() + 1;
    buffer.resize(size, '\0');
    argv.reserve(args.size() + 1);
    std::size_t offset = 0;
    for (const std::string& arg : args) {
        std::copy(arg.begin(), arg.end(), buffer.begin() + static_cast<std::ptrdiff_t>(offset));
        argv.push_back(buffer.data() + offset);
        offset += arg.size() + 1;
    }
    argv.push_back(nullptr);
}

bool MayRunProgram(const std::string& path, std::string& refusal)
{
    refusal.clear();
    if (platform::CheckProgramFile(path, refusal) != EPERM)
        return true;
    platform::ReportRefusal(refusal);
    return false;
}

bool MayRunProgram(const std::string& path)
{
    std::string refusal;
    return MayRunProgram(path, refusal);
}

namespace {

// OpenExecutable, and with stderrRead also a pipe from the child's standard error.
int Open(const std::vector<std::string>& args, ExecId* id, int& stdinWrite, int& stdoutRead, int* stderrRead)
{
    if (args.empty() || !MayRunProgram(args[0]))
        return -1;
    if (id != nullptr && geteuid() != 0)
        return -1;
    ChildPlan plan;
    try {
        MakeChildPlan(args, id, plan);
    } catch (const std::bad_alloc&) {
        return -1;
    }

    int input[2];
    int output[2];
    int errors[2] = {-1, -1};
    if (!MakePipe(input))
        return -1;
    if (!MakePipe(output)) {
        CloseBoth(input);
        return -1;
    }
    if (stderrRead != nullptr && !MakePipe(errors)) {
        CloseBoth(input);
        CloseBoth(output);
        return -1;
    }
    plan.errorsWrite = errors[1];
    const pid_t pid = plan.id == nullptr ? Spawn(plan, input, output) : fork();
    if (pid < 0) {
        CloseBoth(input);
        CloseBoth(output);
        if (stderrRead != nullptr)
            CloseBoth(errors);
        return -1;
    }
    if (pid == 0)
        RunChild(plan, input, output);

    close(input[0]);
    close(output[1]);
    stdinWrite = input[1];
    stdoutRead = output[0];
    if (stderrRead != nullptr) {
        close(errors[1]);
        *stderrRead = errors[0];
    }
    return pid;
}

int Run(const std::vector<std::string>& args, ExecId* id, const char* input, unsigned long inputLength,
        std::vector<char>* output, std::vector<char>* errors, bool& ioError, bool ignoreBrokenPipe)
{
    ioError = false;
    int stdinWrite = -1;
    int stdoutRead = -1;
    int stderrRead = -1;
    const int pid = Open(args, id, stdinWrite, stdoutRead, errors != nullptr ? &stderrRead : nullptr);
    if (pid < 0)
        return kExecFailed;
    if (input != nullptr && ignoreBrokenPipe)
        signal(SIGPIPE, SIG_IGN);

    ExchangeWithChild(stdinWrite, input, inputLength, stdoutRead, output, stderrRead, errors, ioError);

    int status = 0;
    pid_t waited;
    do {
        waited = waitpid(pid, &status, 0);
    } while (waited < 0 && errno == EINTR);
    if (waited < 1)
        return kExecFailed;
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSTOPPED(status))
        return WSTOPSIG(status) + 128;
    return kExecSignalled;
}

}  // namespace

int OpenExecutable(const std::vector<std::string>& args, ExecId* id, int& stdinWrite, int& stdoutRead)
{
    return Open(args, id, stdinWrite, stdoutRead, nullptr);
}

int OpenExecutable(const std::vector<std::string>& args, int& stdinWrite, int& stdoutRead)
{
    return OpenExecutable(args, nullptr, stdinWrite, stdoutRead);
}

int RunExecutable(const std::vector<std::string>& args, ExecId* id, const char* input, unsigned long inputLength,
                  std::vector<char>* output, bool& ioError, bool ignoreBrokenPipe)
{
    return Run(args, id, input, inputLength, output, nullptr, ioError, ignoreBrokenPipe);
}

int RunExecutable(const std::vector<std::string>& args, const char* input, unsigned long inputLength,
                  std::vector<char>* output, std::vector<char>* errors, bool& ioError, bool ignoreBrokenPipe)
{
    return Run(args, nullptr, input, inputLength, output, errors, ioError, ignoreBrokenPipe);
}

int RunExecutable(const std::vector<std::string>& args, const char* input, unsigned long inputLength,
                  std::vector<char>* output, bool& ioError, bool ignoreBrokenPipe)
{
    return RunExecutable(args, nullptr, input, inputLength, output, ioError, ignoreBrokenPipe);
}

bool WaitWhileProcessExists(int pid, long timeoutSeconds)
{
    if (pid == getpid())
        return false;
    return platform::WaitForProcessExit(pid, timeoutSeconds) == platform::kProcessExited;
}

}  // namespace ExecUtils
