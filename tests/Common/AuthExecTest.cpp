#include "Common/source/mac/AuthExec.h"

#include "platform/SystemLog.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Answers the rights request as told and runs programs directly, recording what it ran.
class FakeAuthorization : public platform::Authorization {
public:
    FakeAuthorization(int rightsStatus, int executeStatus, std::vector<std::vector<std::string>>* runs)
        : rightsStatus_(rightsStatus), executeStatus_(executeStatus), runs_(runs)
    {
    }

    int CopyAdminRights() override { return rightsStatus_; }

    int ExecuteWithPrivileges(const char* path, char* const* arguments, pid_t& pid, int& pipe) override
    {
        std::vector<std::string> run{path};
        for (char* const* argument = arguments; *argument != nullptr; ++argument)
            run.push_back(*argument);
        runs_->push_back(run);
        if (executeStatus_ != 0)
            return executeStatus_;
        return Spawn(nullptr, path, arguments, pid, pipe);
    }

private:
    int rightsStatus_;
    int executeStatus_;
    std::vector<std::vector<std::string>>* runs_;
};

class AuthExecTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::SetSystemLogSinkForTesting([this](const std::string& line) { log_.push_back(line); });
        Authorize(0);
    }

    void TearDown() override
    {
        platform::Authorization::SetMakerForTesting(nullptr);
        platform::SetSystemLogSinkForTesting(nullptr);
    }

    void Authorize(int rightsStatus, int createStatus = 0, int executeStatus = 0)
    {
        platform::Authorization::SetMakerForTesting(
            [this, rightsStatus, createStatus, executeStatus](std::unique_ptr<platform::Authorization>& out) {
                if (createStatus != 0)
                    return createStatus;
                out.reset(new FakeAuthorization(rightsStatus, executeStatus, &runs_));
                return 0;
            });
    }

    bool Logged(const std::string& line) const
    {
        for (const std::string& entry : log_) {
            if (entry == line)
                return true;
        }
        return false;
    }

    std::vector<std::string> log_;
    std::vector<std::vector<std::string>> runs_;
};

}  // namespace

TEST_F(AuthExecTest, RunsTheCommandAndKeepsItsWaitStatus)
{
    AuthExec exec;
    EXPECT_EQ(exec.waitStatus(), -1);
    ASSERT_EQ(exec.preAuthorize(), 0);
    exec.setCommand("/bin/sh");
    exec.setArguments({"-c", "exit 3"});
    ASSERT_TRUE(exec.execute());
    ASSERT_TRUE(WIFEXITED(exec.waitStatus()));
    EXPECT_EQ(WEXITSTATUS(exec.waitStatus()), 3);
    ASSERT_EQ(runs_.size(), 1u);
    EXPECT_EQ(runs_[0], (std::vector<std::string>{"/bin/sh", "-c", "exit 3"}));
    EXPECT_TRUE(Logged("Calling AuthorizationExecuteWithPrivileges"));
}

TEST_F(AuthExecTest, NoArgumentsPassesOnlyTheTerminator)
{
    AuthExec exec;
    ASSERT_EQ(exec.preAuthorize(), 0);
    exec.setCommand("/bin/true");
    ASSERT_TRUE(exec.execute());
    ASSERT_EQ(runs_.size(), 1u);
    EXPECT_EQ(runs_[0], std::vector<std::string>{"/bin/true"});
    EXPECT_EQ(exec.waitStatus(), 0);
}

TEST_F(AuthExecTest, ArgumentsKeepTheirBytes)
{
    AuthExec exec;
    ASSERT_EQ(exec.preAuthorize(), 0);
    std::string output;
    exec.setStdoutDelegate([&output](const std::string* data) {
        if (data != nullptr)
            output += *data;
    });
    exec.setCommand("/usr/bin/printf");
    exec.setArguments({"%s|%s|%s", "", "two words", "-AppleLanguages (\xC3\xA9)"});
    ASSERT_TRUE(exec.execute());
    EXPECT_EQ(output, "|two words|-AppleLanguages (\xC3\xA9)");
}

TEST_F(AuthExecTest, DelegateReceivesTheOutputThenTheEnd)
{
    AuthExec exec;
    ASSERT_EQ(exec.preAuthorize(), 0);
    std::string output;
    int ends = 0;
    exec.setStdoutDelegate([&](const std::string* data) {
        if (data == nullptr)
            ++ends;
        else
            output += *data;
    });
    exec.setCommand("/bin/sh");
    exec.setArguments({"-c", "echo Begin; echo End"});
    ASSERT_TRUE(exec.execute());
    EXPECT_EQ(output, "Begin\nEnd\n");
    EXPECT_EQ(ends, 1);
}

TEST_F(AuthExecTest, ChattyChildWithoutDelegateDoesNotBlock)
{
    AuthExec exec;
    ASSERT_EQ(exec.preAuthorize(), 0);
    exec.setCommand("/bin/sh");
    // Far more than a pipe holds: the child would block for ever if nobody read.
    exec.setArguments({"-c", "head -c 4000000 /dev/zero; exit 0"});
    ASSERT_TRUE(exec.execute());
    EXPECT_EQ(exec.waitStatus(), 0);
}

TEST_F(AuthExecTest, ChildLeavingAGrandchildWithItsOutputDoesNotHang)
{
    AuthExec exec;
    ASSERT_EQ(exec.preAuthorize(), 0);
    exec.setCommand("/bin/sh");
    // The grandchild keeps the output open until the test closes the gate; only the child is
    // awaited. Only the gate's read end reaches the children.
    int gate[2];
    ASSERT_EQ(pipe2(gate, O_CLOEXEC), 0);
    ASSERT_EQ(fcntl(gate[0], F_SETFD, 0), 0);
    const std::string script = "cat <&" + std::to_string(gate[0]) + " & exit 5";
    exec.setArguments({"-c", script});
    ASSERT_TRUE(exec.execute());
    EXPECT_EQ(WEXITSTATUS(exec.waitStatus()), 5);
    close(gate[1]);  // lets the grandchild end
    close(gate[0]);
}

TEST_F(AuthExecTest, WaitsForItsOwnChildOnly)
{
    const pid_t other = fork();
    ASSERT_GE(other, 0);
    if (other == 0)
        _exit(7);
    AuthExec exec;
    ASSERT_EQ(exec.preAuthorize(), 0);
    exec.setCommand("/bin/sh");
    exec.setArguments({"-c", "exit 1"});
    ASSERT_TRUE(exec.execute());
    EXPECT_EQ(WEXITSTATUS(exec.waitStatus()), 1);
    int status = 0;
    ASSERT_EQ(waitpid(other, &status, 0), other);  // still ours to reap
    EXPECT_EQ(WEXITSTATUS(status), 7);
}

TEST_F(AuthExecTest, CancelledAuthorizationIsOne)
{
    Authorize(platform::kAuthorizationCanceled);
    AuthExec exec;
    EXPECT_EQ(exec.preAuthorize(), 1);
    EXPECT_TRUE(Logged("Authorization cancelled by user"));
    exec.setCommand("/bin/true");
    EXPECT_FALSE(exec.execute());  // not authorised
    EXPECT_TRUE(Logged("Must authorize before execution"));
    EXPECT_TRUE(runs_.empty());
}

TEST_F(AuthExecTest, RefusedOrImpossibleAuthorizationIsTwo)
{
    Authorize(platform::kAuthorizationDenied);
    AuthExec refused;
    EXPECT_EQ(refused.preAuthorize(), 2);
    EXPECT_TRUE(Logged("Unable to copy authorization rights (-60005)"));

    Authorize(0, platform::kAuthorizationInternalError);
    AuthExec impossible;
    EXPECT_EQ(impossible.preAuthorize(), 2);
    EXPECT_TRUE(Logged("Unable to create authorization (-60008)"));
}

TEST_F(AuthExecTest, ExecuteRefusesWithoutCommandOrRights)
{
    AuthExec unauthorized;
    unauthorized.setCommand("/bin/true");
    EXPECT_FALSE(unauthorized.execute());
    EXPECT_TRUE(Logged("Must authorize before execution"));

    AuthExec noCommand;
    ASSERT_EQ(noCommand.preAuthorize(), 0);
    EXPECT_FALSE(noCommand.execute());
    EXPECT_TRUE(Logged("No command specified"));
    EXPECT_TRUE(runs_.empty());
    EXPECT_EQ(noCommand.waitStatus(), -1);
}

TEST_F(AuthExecTest, FailedExecutionIsReported)
{
    Authorize(0, 0, platform::kAuthorizationToolExecuteFailure);
    AuthExec exec;
    ASSERT_EQ(exec.preAuthorize(), 0);
    exec.setCommand("/bin/true");
    EXPECT_FALSE(exec.execute());
    EXPECT_TRUE(Logged("AuthorizationExecuteWithPrivileges failed with status: -60031"));
    EXPECT_EQ(exec.waitStatus(), -1);
}

TEST_F(AuthExecTest, MissingProgramCannotBeStarted)
{
    AuthExec exec;
    ASSERT_EQ(exec.preAuthorize(), 0);
    exec.setCommand("/nonexistent/program");
    EXPECT_FALSE(exec.execute());
    EXPECT_TRUE(Logged("AuthorizationExecuteWithPrivileges failed with status: -60031"));
}

TEST(AuthExecSystemTest, RootRunsTheCommandDirectly)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root; otherwise the system authorisation would ask for a password";
    AuthExec exec;
    ASSERT_EQ(exec.preAuthorize(), 0);
    exec.setCommand("/bin/sh");
    exec.setArguments({"-c", "test \"$(id -u)\" = 0"});
    ASSERT_TRUE(exec.execute());
    EXPECT_EQ(exec.waitStatus(), 0);
}
