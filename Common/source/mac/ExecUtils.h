// ExecUtils: running other programs as child processes with a reduced environment, optionally
// under other identities, with standard input fed and standard output captured, and waiting
// for any process to end. Every failure to start a program is the exit code 71.
#pragma once

#include <boost/noncopyable.hpp>

#include <cstdint>
#include <string>
#include <vector>

namespace ExecUtils {

// The identities a child takes before it runs its program; applied only when the caller runs
// as root (a caller that is not root and passes one gets no child at all).
struct ExecId {
    std::uint32_t flags;
    std::uint32_t uid;
    std::uint32_t euid;
    std::uint32_t gid;
    std::uint32_t egid;
};

// Bits of ExecId::flags; the child applies them in the order group, effective group, user,
// effective user.
const std::uint32_t kExecSetUID = 1;   // real and effective user to uid
const std::uint32_t kExecSetGID = 2;   // real group to gid, keeping the effective group
const std::uint32_t kExecSetEUID = 4;  // effective user to euid, while still root
const std::uint32_t kExecSetEGID = 8;  // effective group to egid

// The exit code of a run that could not start or be waited for, and of a child that could not
// take its identities or execute its program.
const int kExecFailed = 71;
// The exit code of a child ended by a signal.
const int kExecSignalled = 129;

// The environment of the programs the setup program starts: of its own environment, only the
// variables "__CF_USER_TEXT_ENCODING" and "SECURITYSESSIONID", in their order there. Made before
// a fork, since the child may then make only async-signal-safe calls.
class ChildEnvironment : private boost::noncopyable {
public:
    ChildEnvironment();
    // The entries as execve takes them, ended by a null pointer.
    char* const* Entries() const { return pointers_.data(); }

private:
    std::vector<std::string> entries_;
    std::vector<char*> pointers_;
};

// In a child between fork and exec (async-signal-safe): what a spawned child gets too (see
// platform/ChildSignals.h): the broken-pipe signal, which the setup program ignores, gets its
// default action again, no signal stays blocked, and only what the setup program inherited as
// ignored stays ignored.
void ResetChildSignals();

// Lays the strings out one after another, each with its terminating zero, in buffer, and
// points argv at each copy in order, followed by a null pointer. Both outputs are cleared first.
void FormExecArgv(const std::vector<std::string>& args, std::vector<char>& buffer, std::vector<char*>& argv);

// Whether the program may be run: a program is run only where nobody but the super-user and
// this process's user can have put it, nor change it until it runs (platform::CheckProgramFile),
// so that a program that another user left in a system root's tool folders never runs with our
// rights. A refusal, which names the program and the folder, link or file in the way, goes to
// refusal and is reported (the session log has it as the failure's reason); a program that is
// not there is no refusal (running it fails as it would).
bool MayRunProgram(const std::string& path, std::string& refusal);
bool MayRunProgram(const std::string& path);

// Starts args[0] (a path; PATH is not searched) with args as its argument vector. Returns the
// child's process id, with the write end of its standard input and the read end of its standard
// output; -1 when args is empty, when MayRunProgram refuses args[0], when an ExecId is given and
// the caller is not root, or when the pipes or the child cannot be made, or (without an ExecId, where the child is
// spawned) its program cannot be executed. Both returned descriptors are close-on-exec.
int OpenExecutable(const std::vector<std::string>& args, ExecId* id, int& stdinWrite, int& stdoutRead);
int OpenExecutable(const std::vector<std::string>& args, int& stdinWrite, int& stdoutRead);

// Runs args[0] to its end: writes input (when not null) to its standard input, appends its
// standard output to output (read and dropped when output is null) and returns its exit code:
// the exit status, 128 + the signal for a stopped child, 129 for one ended by a signal, 71 when
// it could not be started or waited for. ioError reports input not written whole, a failed
// read or a failed allocation. With ignoreBrokenPipe and input given, the broken-pipe signal is
// ignored from then on, for the whole process.
int RunExecutable(const std::vector<std::string>& args, ExecId* id, const char* input, unsigned long inputLength,
                  std::vector<char>* output, bool& ioError, bool ignoreBrokenPipe);
int RunExecutable(const std::vector<std::string>& args, const char* input, unsigned long inputLength,
                  std::vector<char>* output, bool& ioError, bool ignoreBrokenPipe);
// The same, with the child's standard error appended to errors, not passed to ours.
int RunExecutable(const std::vector<std::string>& args, const char* input, unsigned long inputLength,
                  std::vector<char>* output, std::vector<char>* errors, bool& ioError, bool ignoreBrokenPipe);

// Waits for the process (any process) to end, at most timeoutSeconds when that is greater than
// 0. True when the end was seen, or the process was gone already; false on time-out, for the
// caller's own id, or when the wait cannot be set up.
bool WaitWhileProcessExists(int pid, long timeoutSeconds);

}  // namespace ExecUtils
