#include "QENSystemCommandTest.h"

#include "QEN/source/mac/QENSpawnCommand.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

using qentest::Exists;

namespace {

class QENSpawnCommandTest : public qentest::QENSystemCommandTest {
protected:
    void SetUp() override
    {
        QENSystemCommandTest::SetUp();
        out_ = sysroot_.Scratch() + "/out";
        program_ = sysroot_.Scratch() + "/program";
        // Writes what it was given and what it sees, then ends with the status of its argument
        // "--exit=N" (0 without).
        WriteExecutable(program_, "#!/bin/sh\n"
                                  "status=0\n"
                                  "for argument in \"$@\"; do case \"$argument\" in --exit=*) status=${argument#--exit=};; "
                                  "esac; done\n"
                                  "{ echo \"0=$0\"; echo \"n=$#\"; for a in \"$@\"; do echo \"arg=$a\"; done\n"
                                  // The shell gives itself a PATH; the environment it was given is the
                                  // process's own.
                                  "  /usr/bin/tr '\\000' '\\n' < /proc/$$/environ | LC_ALL=C /usr/bin/sort\n"
                                  "} > '" + out_ + "'\n"
                                  "exit $status\n");
    }

    QENCommand* Spawn(const std::string& path, bool noWait, const std::vector<std::string>& arguments)
    {
        return new QENSpawnCommand(CommandLog(), FileSystemPath(path), noWait, arguments);
    }

    std::string out_;
    std::string program_;
};

}  // namespace

TEST_F(QENSpawnCommandTest, RunsTheProgramWithItsArgumentsAndWaits)
{
    ASSERT_TRUE(Perform(Spawn(program_, false, {"first arg", "--exit=3"})));
    EXPECT_EQ(tolktest::ReadTextFile(out_), "0=" + program_ + "\nn=2\narg=first arg\narg=--exit=3\n");
    EXPECT_EQ(log_.lines, (std::vector<std::string>{
                              "5 1 Preparing to spawn executable at \"" + program_ + "\"",
                              "5 1 Preparing argument value \"first arg\"",
                              "5 1 Preparing argument value \"--exit=3\"",
                              "5 1 Spawning executable at \"" + program_ + "\" with arguments",
                              "3 1 Spawned process \"" + program_ + "\" exited with status \"3\"",
                          }));

    log_.lines.clear();
    EXPECT_TRUE(Rollback());
    EXPECT_EQ(log_.lines, (std::vector<std::string>{"5 Rolling back prior actions...",
                                                    "5 1 Spawn of \"" + program_ + "\" ignored"}));
    ASSERT_TRUE(Perform(Spawn(program_, false, {})));
    EXPECT_TRUE(Commit());
}

TEST_F(QENSpawnCommandTest, OnlyTheSessionVariablesArePassedOn)
{
    setenv("__CF_USER_TEXT_ENCODING", "0x1F5:0:0", 1);
    setenv("SECURITYSESSIONID", "186a5", 1);
    setenv("SECURITYSESSIONID_X", "not this", 1);
    const bool performed = Perform(Spawn(program_, false, {}));
    unsetenv("__CF_USER_TEXT_ENCODING");
    unsetenv("SECURITYSESSIONID");
    unsetenv("SECURITYSESSIONID_X");
    ASSERT_TRUE(performed);
    const std::string out = tolktest::ReadTextFile(out_);
    EXPECT_EQ(out, "0=" + program_ + "\nn=0\nSECURITYSESSIONID=186a5\n__CF_USER_TEXT_ENCODING=0x1F5:0:0\n");
}

TEST_F(QENSpawnCommandTest, AProgramThatCannotRunEndsTheChildWith71AndTheCommandSucceeds)
{
    const std::string missing = sysroot_.Scratch() + "/missing";
    ASSERT_TRUE(Perform(Spawn(missing, false, {"a"})));
    EXPECT_TRUE(log_.Has("2 1 Unable to exec \"" + missing + "\" from forked process")) << log_.Dump();
    EXPECT_EQ(log_.lines.back(), "3 1 Spawned process \"" + missing + "\" exited with status \"71\"");

    // Not executable: the same.
    tolktest::WriteTextFile(sysroot_.Scratch() + "/plain", "text");
    log_.lines.clear();
    ASSERT_TRUE(Perform(Spawn(sysroot_.Scratch() + "/plain", false, {})));
    EXPECT_EQ(log_.lines.back(), "3 2 Spawned process \"" + sysroot_.Scratch() + "/plain\" exited with status \"71\"");
}

TEST_F(QENSpawnCommandTest, AProgramEndedByASignalLogsNoStatus)
{
    WriteExecutable(program_, "#!/bin/sh\nkill -9 $$\n");
    ASSERT_TRUE(Perform(Spawn(program_, false, {})));
    EXPECT_EQ(log_.lines.back(), "5 1 Spawning executable at \"" + program_ + "\" with arguments");
}

TEST_F(QENSpawnCommandTest, WithoutWaitingTheCommandReturnsBeforeTheProgramHasRun)
{
    const std::string fifo = sysroot_.Scratch() + "/go";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    WriteExecutable(program_, "#!/bin/sh\nread line < '" + fifo + "'\necho \"$line\" > '" + out_ + "'\nexit 4\n");

    ASSERT_TRUE(Perform(Spawn(program_, true, {})));
    EXPECT_FALSE(Exists(out_));

    // Let the program go on, and collect it ourselves: the command never does.
    const int writer = open(fifo.c_str(), O_WRONLY);
    ASSERT_GE(writer, 0);
    ASSERT_EQ(write(writer, "go\n", 3), 3);
    close(writer);
    int status = 0;
    ASSERT_GT(waitpid(-1, &status, 0), 0);
    EXPECT_EQ(WEXITSTATUS(status), 4);
    EXPECT_EQ(tolktest::ReadTextFile(out_), "go\n");
    for (const std::string& line : log_.lines)
        EXPECT_EQ(line.find("exited with status"), std::string::npos) << line;
}
