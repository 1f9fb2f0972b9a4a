#include "Common/source/mac/ExecUtils.h"

#include "tests/support/OtherUser.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

// Runs a shell command line through /bin/sh, giving its exit code and standard output.
int RunShell(const std::string& command, std::string& output, const std::string& input = std::string())
{
    std::vector<std::string> args = {"/bin/sh", "-c", command};
    std::vector<char> bytes;
    bool ioError = false;
    const int code = ExecUtils::RunExecutable(args, input.empty() ? nullptr : input.data(), input.size(), &bytes,
                                              ioError, true);
    output.assign(bytes.begin(), bytes.end());
    return code;
}

// A child of the test that stays until the test closes its end of a pipe.
class Sleeper {
public:
    Sleeper()
    {
        int fds[2];
        if (pipe(fds) != 0)
            std::abort();
        pid_ = fork();
        if (pid_ == 0) {
            close(fds[1]);
            char byte;
            while (read(fds[0], &byte, 1) > 0) {
            }
            _exit(0);
        }
        close(fds[0]);
        release_ = fds[1];
    }
    ~Sleeper()
    {
        Release();
        Reap();
    }
    int Pid() const { return pid_; }
    void Release()
    {
        if (release_ >= 0)
            close(release_);
        release_ = -1;
    }
    void Reap()
    {
        if (pid_ > 0)
            waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    int pid_ = -1;
    int release_ = -1;
};

}  // namespace

TEST(ExecUtilsTest, ExitCodesOfAChild)
{
    std::string output;
    EXPECT_EQ(RunShell("exit 0", output), 0);
    EXPECT_EQ(RunShell("exit 7", output), 7);
    EXPECT_EQ(RunShell("exit 255", output), 255);
    EXPECT_EQ(RunShell("kill -9 $$", output), ExecUtils::kExecSignalled);
    EXPECT_EQ(RunShell("kill -TERM $$", output), ExecUtils::kExecSignalled);
}

TEST(ExecUtilsTest, ProgramsThatCannotStartGive71)
{
    bool ioError = true;
    std::vector<char> output;
    EXPECT_EQ(ExecUtils::RunExecutable({}, nullptr, 0, &output, ioError, false), ExecUtils::kExecFailed);
    EXPECT_FALSE(ioError);
    // PATH is never searched: a bare name is a path relative to the working folder.
    EXPECT_EQ(ExecUtils::RunExecutable({"sh", "-c", "exit 0"}, nullptr, 0, &output, ioError, false),
              ExecUtils::kExecFailed);
    EXPECT_EQ(ExecUtils::RunExecutable({"/nonexistent/program"}, nullptr, 0, &output, ioError, false),
              ExecUtils::kExecFailed);
    EXPECT_EQ(ExecUtils::RunExecutable({"/tmp"}, nullptr, 0, &output, ioError, false), ExecUtils::kExecFailed);
    EXPECT_TRUE(output.empty());

    int in = -1;
    int out = -1;
    EXPECT_EQ(ExecUtils::OpenExecutable({}, in, out), -1);
}

TEST(ExecUtilsTest, ChildSeesOnlyTheTwoKeptVariables)
{
    setenv("__CF_USER_TEXT_ENCODING", "0x1F5:0:0", 1);
    setenv("SECURITYSESSIONID", "186a5", 1);
    setenv("TOLK_EXEC_TEST", "leaked", 1);
    std::vector<char> output;
    bool ioError = false;
    const int code = ExecUtils::RunExecutable({"/usr/bin/env"}, nullptr, 0, &output, ioError, false);
    unsetenv("__CF_USER_TEXT_ENCODING");
    unsetenv("SECURITYSESSIONID");
    unsetenv("TOLK_EXEC_TEST");
    ASSERT_EQ(code, 0);
    const std::string text(output.begin(), output.end());
    EXPECT_EQ(text.find("PATH="), std::string::npos);
    EXPECT_EQ(text.find("HOME="), std::string::npos);
    EXPECT_EQ(text.find("TOLK_"), std::string::npos);
    EXPECT_NE(text.find("__CF_USER_TEXT_ENCODING=0x1F5:0:0\n"), std::string::npos);
    EXPECT_NE(text.find("SECURITYSESSIONID=186a5\n"), std::string::npos);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2);
}

TEST(ExecUtilsTest, LargeOutputArrivesWholeAndInOrder)
{
    std::string output;
    ASSERT_EQ(RunShell("i=0; while [ $i -lt 6000 ]; do echo \"line $i\"; i=$((i+1)); done", output), 0);
    std::string expected;
    for (int i = 0; i < 6000; ++i)
        expected += "line " + std::to_string(i) + "\n";
    ASSERT_GT(expected.size(), 16384u * 3);
    EXPECT_EQ(output, expected);
}

TEST(ExecUtilsTest, InputLargerThanAPipeIsFedWhileOutputIsRead)
{
    // cat writes back while it reads: with the whole input written before any output is read,
    // both sides would wait on full pipes for ever.
    std::string input;
    for (int i = 0; input.size() < 1024 * 1024; ++i)
        input += "record " + std::to_string(i) + "\n";
    std::vector<char> output;
    bool ioError = true;
    ASSERT_EQ(ExecUtils::RunExecutable({"/bin/cat"}, input.data(), input.size(), &output, ioError, true), 0);
    EXPECT_FALSE(ioError);
    EXPECT_EQ(std::string(output.begin(), output.end()), input);
}

TEST(ExecUtilsTest, InputRefusedByTheChildIsAnIOError)
{
    std::string input(1024 * 1024, 'x');
    std::vector<char> output;
    bool ioError = false;
    EXPECT_EQ(ExecUtils::RunExecutable({"/bin/sh", "-c", "exec 0<&-; echo closed"}, input.data(), input.size(),
                                       &output, ioError, true),
              0);
    EXPECT_TRUE(ioError);
    EXPECT_EQ(std::string(output.begin(), output.end()), "closed\n");
}

TEST(ExecUtilsTest, PipesOfOtherChildrenAreNotInherited)
{
    int stdinWrite = -1;
    int stdoutRead = -1;
    const int cat = ExecUtils::OpenExecutable({"/bin/cat"}, stdinWrite, stdoutRead);
    ASSERT_GT(cat, 0);
    // A second child that held the first one's input open would keep cat waiting for ever.
    std::string output;
    const std::string check = "for fd in " + std::to_string(stdinWrite) + " " + std::to_string(stdoutRead) +
                              "; do [ -e /proc/self/fd/$fd ] && echo inherited $fd; done; exit 0";
    EXPECT_EQ(RunShell(check, output), 0);
    EXPECT_EQ(output, "");
    EXPECT_EQ(write(stdinWrite, "ok", 2), 2);
    close(stdinWrite);
    char buffer[8] = {};
    EXPECT_EQ(read(stdoutRead, buffer, sizeof(buffer)), 2);
    EXPECT_EQ(read(stdoutRead, buffer, sizeof(buffer)), 0);
    close(stdoutRead);
    int status = 0;
    ASSERT_EQ(waitpid(cat, &status, 0), cat);
    EXPECT_TRUE(WIFEXITED(status));
}

// The blocked and the ignored signals (bit N-1 for signal N) of /proc/self/status as a child
// of the given identities (spawned without them, forked with them) reads them.
bool ChildSignalMasks(ExecUtils::ExecId* id, unsigned long long& blocked, unsigned long long& ignored)
{
    std::vector<char> bytes;
    bool ioError = false;
    if (ExecUtils::RunExecutable({"/bin/sed", "-n", "s/^\\(SigBlk\\|SigIgn\\):[[:space:]]*//p", "/proc/self/status"},
                                 id, nullptr, 0, &bytes, ioError, false) != 0)
        return false;
    const std::string output(bytes.begin(), bytes.end());
    return std::sscanf(output.c_str(), "%llx %llx", &blocked, &ignored) == 2;
}

TEST(ExecUtilsTest, ChildStartsWithDefaultBrokenPipeAndNoBlockedSignals)
{
    // The setup program ignores the broken-pipe signal and its threads may block others; a
    // program it starts must see neither, or a pipeline in a maker's script would run on into
    // a closed pipe. Nor may it find ignored what its own start left ignored: the C library's
    // spawn ignores its internal signals 32 and 33 unless told otherwise.
    std::ifstream status("/proc/self/status");
    std::string line;
    unsigned long long inherited = ~0ull;
    while (std::getline(status, line)) {
        if (line.compare(0, 7, "SigIgn:") == 0)
            inherited = std::stoull(line.substr(7), nullptr, 16);
    }
    ASSERT_NE(inherited, ~0ull);
    if ((inherited & (1ull << (SIGUSR2 - 1))) != 0)
        GTEST_SKIP() << "the test started with SIGUSR2 ignored";
    sigset_t blocked;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGUSR1);
    sigset_t before;
    ASSERT_EQ(pthread_sigmask(SIG_BLOCK, &blocked, &before), 0);
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction previousPipe;
    struct sigaction previousUser;
    ASSERT_EQ(sigaction(SIGPIPE, &ignore, &previousPipe), 0);
    ASSERT_EQ(sigaction(SIGUSR2, &ignore, &previousUser), 0);

    unsigned long long spawnedBlocked = 1;
    unsigned long long spawnedIgnored = 1;
    const bool spawned = ChildSignalMasks(nullptr, spawnedBlocked, spawnedIgnored);
    // With identities the child is forked; these are the ones it has already.
    ExecUtils::ExecId same = {0, 0, 0, 0, 0};
    unsigned long long forkedBlocked = 1;
    unsigned long long forkedIgnored = 1;
    const bool forked = geteuid() == 0 && ChildSignalMasks(&same, forkedBlocked, forkedIgnored);
    sigaction(SIGPIPE, &previousPipe, nullptr);
    sigaction(SIGUSR2, &previousUser, nullptr);
    pthread_sigmask(SIG_SETMASK, &before, nullptr);

    ASSERT_TRUE(spawned);
    const unsigned long long pipe = 1ull << (SIGPIPE - 1);
    EXPECT_EQ(spawnedBlocked, 0u);
    EXPECT_EQ(spawnedIgnored, inherited & ~pipe);
    if (geteuid() == 0) {
        ASSERT_TRUE(forked);
        EXPECT_EQ(forkedBlocked, 0u);
        EXPECT_EQ(forkedIgnored, inherited & ~pipe);
    }
}

TEST(ExecUtilsTest, ChildTakesTheGivenIdentities)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root";
    std::vector<char> output;
    bool ioError = false;
    ExecUtils::ExecId user = {ExecUtils::kExecSetUID | ExecUtils::kExecSetGID | ExecUtils::kExecSetEGID, 65534, 0,
                              65534, 65534};
    ASSERT_EQ(ExecUtils::RunExecutable({"/bin/sh", "-c", "echo $(/usr/bin/id -u) $(/usr/bin/id -g) $(/usr/bin/id -rg)"},
                                       &user, nullptr, 0, &output, ioError, false),
              0);
    EXPECT_EQ(std::string(output.begin(), output.end()), "65534 65534 65534\n");

    // The real group alone changes; the effective group stays. (Asked of id itself: a shell
    // would drop the difference between real and effective group.)
    ExecUtils::ExecId group = {ExecUtils::kExecSetGID, 0, 0, 65534, 0};
    output.clear();
    ASSERT_EQ(ExecUtils::RunExecutable({"/usr/bin/id", "-rg"}, &group, nullptr, 0, &output, ioError, false), 0);
    EXPECT_EQ(std::string(output.begin(), output.end()), "65534\n");
    output.clear();
    ASSERT_EQ(ExecUtils::RunExecutable({"/usr/bin/id", "-g"}, &group, nullptr, 0, &output, ioError, false), 0);
    EXPECT_EQ(std::string(output.begin(), output.end()), "0\n");

    // The effective user alone: the real user stays root.
    output.clear();
    ExecUtils::ExecId effective = {ExecUtils::kExecSetEUID, 0, 65534, 0, 0};
    ASSERT_EQ(ExecUtils::RunExecutable({"/usr/bin/id", "-ru"}, &effective, nullptr, 0, &output, ioError, false), 0);
    EXPECT_EQ(std::string(output.begin(), output.end()), "0\n");
}

TEST(ExecUtilsTest, IdentityAsNonRootStartsNothing)
{
    // Only a caller that is not root is refused: run as one.
    const tolktest::AsUser refused = tolktest::RunUnprivileged([]() {
        ExecUtils::ExecId id = {ExecUtils::kExecSetUID, 0, 0, 0, 0};
        bool ioError = false;
        return ExecUtils::RunExecutable({"/bin/sh", "-c", "exit 0"}, &id, nullptr, 0, nullptr, ioError, false) ==
               ExecUtils::kExecFailed;
    });
    if (refused == tolktest::AsUser::kImpossible)
        GTEST_SKIP() << "cannot run as a user who is not root";
    EXPECT_EQ(refused, tolktest::AsUser::kTrue);
}

TEST(ExecUtilsTest, WaitWhileProcessExists)
{
    EXPECT_FALSE(ExecUtils::WaitWhileProcessExists(getpid(), 0));
    EXPECT_FALSE(ExecUtils::WaitWhileProcessExists(-5, 1));

    Sleeper sleeper;
    // The process cannot end before it is released, so the time-out must come first.
    EXPECT_FALSE(ExecUtils::WaitWhileProcessExists(sleeper.Pid(), 1));
    sleeper.Release();
    EXPECT_TRUE(ExecUtils::WaitWhileProcessExists(sleeper.Pid(), 0));
    // Ended but not yet reaped, and then gone altogether: both count as seen.
    EXPECT_TRUE(ExecUtils::WaitWhileProcessExists(sleeper.Pid(), 5));
    const int pid = sleeper.Pid();
    sleeper.Reap();
    EXPECT_TRUE(ExecUtils::WaitWhileProcessExists(pid, 0));
}
