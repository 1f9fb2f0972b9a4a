#include "QENSystemCommandTest.h"

#include "QEN/source/mac/QENServiceControlCommand.h"
#include "QEN/source/mac/QENServiceInstallCommand.h"
#include "QEN/source/mac/QENServiceMonitorCommand.h"

#include "tests/support/OtherUser.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

using platform::PropertyValue;
using platform::PropertyValuePtr;
using qentest::Exists;

namespace {

class QENServiceCommandsTest : public qentest::QENSystemCommandTest {
protected:
    std::string DaemonPlist(const std::string& name) const { return Sys("/Library/LaunchDaemons/" + name + ".plist"); }
    std::string MonitorPlist(const std::string& name) const
    {
        return Sys("/etc/mach_init_per_user.d/" + name + ".monitor.plist");
    }

    QENCommand* Install(const std::string& path, const std::vector<std::string>& arguments,
                        const std::string& startType = "auto", const std::string& runAsRoot = "1")
    {
        return new QENServiceInstallCommand(CommandLog(), "/usr/sbin/sampled", FileSystemPath(path), "com.orvex.sampled",
                                            "Sample daemon", arguments, startType, "spare", runAsRoot);
    }

    // A daemon property list that launchctl can load.
    void WriteDaemon(const std::string& name)
    {
        WritePlist(DaemonPlist(name), *Parse(PlistText("<dict><key>Label</key><string>" + name +
                                                       "</string><key>RunAtLoad</key><true/></dict>")));
    }

    PropertyValuePtr LaunchdState() { return ReadPlist(Sys("/.tolk/launchd.plist")); }

    std::vector<std::string> ControlCall(const std::string& action, const std::string& target) const
    {
        return {Sys("/usr/libexec/StartupItemContext"), Sys("/bin/launchctl"), action, target};
    }
};

}  // namespace

// ---- Service install ----

TEST_F(QENServiceCommandsTest, InstallWritesTheDaemonPlistAndRollbackDeletesIt)
{
    const std::string path = DaemonPlist("com.orvex.sampled");
    ASSERT_TRUE(Perform(Install(path, {"-d", "--port=80"})));
    EXPECT_EQ(log_.lines.front(), "5 1 Installing service plist at \"" + path + "\"");

    PropertyValuePtr daemon = ReadPlist(path);
    ASSERT_TRUE(daemon);
    EXPECT_EQ(*daemon, *Parse(PlistText("<dict>"
                                        "<key>Label</key><string>com.orvex.sampled</string>"
                                        "<key>ServiceDescription</key><string>Sample daemon</string>"
                                        "<key>OnDemand</key><true/>"
                                        "<key>RunAtLoad</key><true/>"
                                        "<key>UserName</key><string>root</string>"
                                        "<key>GroupName</key><string>wheel</string>"
                                        "<key>ProgramArguments</key><array><string>/usr/sbin/sampled</string>"
                                        "<string>-d</string><string>--port=80</string></array>"
                                        "</dict>")));
    EXPECT_NE(tolktest::ReadTextFile(path).find("<?xml"), std::string::npos);

    log_.lines.clear();
    EXPECT_TRUE(Rollback());
    EXPECT_FALSE(Exists(path));
    EXPECT_TRUE(log_.Has("5 1 Deleting service plist at \"" + path + "\""));
    EXPECT_TRUE(log_.Has("5 1 Deleted"));
}

TEST_F(QENServiceCommandsTest, OnlyExactAutoAndExactOneTurnOnRunAtLoadAndRoot)
{
    for (const char* startType : {"Auto", "", "automatic"}) {
        const std::string path = sysroot_.Scratch() + "/daemon.plist";
        ASSERT_TRUE(Perform(Install(path, {}, startType, "true")));
        PropertyValuePtr daemon = ReadPlist(path);
        ASSERT_TRUE(daemon);
        EXPECT_FALSE(daemon->Get("RunAtLoad")->BooleanValue()) << startType;
        EXPECT_EQ(daemon->Get("RunAtLoad")->GetType(), PropertyValue::kBoolean);
        std::string user, group;
        daemon->GetString("UserName", user);
        daemon->GetString("GroupName", group);
        EXPECT_EQ(user + "/" + group, "nobody/nobody");
        EXPECT_TRUE(Commit());
    }
}

TEST_F(QENServiceCommandsTest, RollbackOfAnInstallOverAnExistingPlistPutsTheOldOneBack)
{
    const std::string path = DaemonPlist("com.orvex.sampled");
    WriteDaemon("com.orvex.sampled");
    const std::string before = tolktest::ReadTextFile(path);

    ASSERT_TRUE(Perform(Install(path, {"-new"})));
    EXPECT_NE(tolktest::ReadTextFile(path), before);
    EXPECT_TRUE(Rollback());
    EXPECT_EQ(tolktest::ReadTextFile(path), before);
    EXPECT_TRUE(log_.Has("5 1 Restoring replaced service plist at \"" + path + "\""));
}

// ---- Service control ----

TEST_F(QENServiceCommandsTest, LoadStartAndUnloadRunTheToolAsRootInTheStartupContext)
{
    RecordToolCalls();
    WriteDaemon("com.orvex.sampled");
    ASSERT_TRUE(Perform(new QENServiceControlCommand(CommandLog(), "com.orvex.sampled", "load")));
    EXPECT_TRUE(log_.Has("5 1 QENServiceControl::DoPerform with load and com.orvex.sampled"));
    EXPECT_TRUE(log_.Has("5 1 QENServiceControl::launchctl load for com.orvex.sampled returned 0")) << log_.Dump();
    EXPECT_TRUE(LaunchdState()->Get("com.orvex.sampled")->Get("Started")->BooleanValue());
    // Nothing to undo: the daemon stays loaded.
    EXPECT_TRUE(Rollback());
    ASSERT_TRUE(LaunchdState()->Get("com.orvex.sampled"));

    ASSERT_TRUE(Perform(new QENServiceControlCommand(CommandLog(), "com.orvex.sampled", "start")));
    ASSERT_TRUE(Perform(new QENServiceControlCommand(CommandLog(), "com.orvex.sampled", "unload")));
    EXPECT_TRUE(Commit());
    const std::string plist = DaemonPlist("com.orvex.sampled");
    EXPECT_EQ(ToolCalls("/usr/libexec/StartupItemContext"),
              (std::vector<std::vector<std::string> >{ControlCall("load", plist),
                                                      ControlCall("start", "com.orvex.sampled"),
                                                      ControlCall("unload", plist)}));
    EXPECT_EQ(ToolCalls("/bin/launchctl").size(), 3u);
    EXPECT_FALSE(LaunchdState()->Get("com.orvex.sampled"));
}

TEST_F(QENServiceCommandsTest, AMissingPlistIsToleratedAndAnUnknownActionRefused)
{
    RecordToolCalls();
    ASSERT_TRUE(Perform(new QENServiceControlCommand(CommandLog(), "com.orvex.missing", "load")));
    EXPECT_TRUE(log_.Has("5 1 QENServiceControl untload but \"" + DaemonPlist("com.orvex.missing") +
                         "\" does not exist"));
    WriteDaemon("com.orvex.sampled");
    EXPECT_FALSE(Perform(new QENServiceControlCommand(CommandLog(), "com.orvex.sampled", "restart")));
    EXPECT_FALSE(Perform(new QENServiceControlCommand(CommandLog(), "com.orvex.sampled", "Load")));
    EXPECT_EQ(engine_->PerformedCommandCount(), 1u);
    EXPECT_TRUE(ToolCalls("/usr/libexec/StartupItemContext").empty());
}

TEST_F(QENServiceCommandsTest, StopUnloadsThePlistWhenThereIsOneElseStopsTheService)
{
    RecordToolCalls();
    WriteDaemon("com.orvex.withplist");
    ASSERT_TRUE(Perform(new QENServiceControlCommand(CommandLog(), "com.orvex.withplist", "load")));
    ASSERT_TRUE(Perform(new QENServiceControlCommand(CommandLog(), "com.orvex.withplist", "stop")));
    ASSERT_TRUE(Perform(new QENServiceControlCommand(CommandLog(), "com.orvex.noplist", "stop")));

    const std::vector<std::vector<std::string> > calls = ToolCalls("/usr/libexec/StartupItemContext");
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[1], ControlCall("unload", DaemonPlist("com.orvex.withplist")));
    EXPECT_EQ(calls[2], ControlCall("stop", "com.orvex.noplist"));
    // The tool's refusal (nothing of that name is loaded) does not fail the command.
    EXPECT_TRUE(log_.Has("5 3 QENServiceControl::launchctl stop for com.orvex.noplist returned 1")) << log_.Dump();
    EXPECT_TRUE(log_.Has("5 3 QENServiceControl checking for PID in \"" + Sys("/var/run/com.orvex.noplist.pid") +
                         "\""));
}

TEST_F(QENServiceCommandsTest, StopWaitsForTheProcessOfThePidFile)
{
    const pid_t daemon = fork();
    ASSERT_GE(daemon, 0);
    if (daemon == 0) {
        pause();
        _exit(0);
    }
    tolktest::WriteTextFile(Sys("/var/run/com.orvex.sampled.pid"), std::to_string(daemon) + "\n");
    const std::string waiting = "QENServiceControl waiting for process " + std::to_string(daemon) + " to not exist";
    // The daemon ends while the command is about to wait for it, as launchd would end it.
    log_.hook = [&](const std::string& line) {
        if (line.find(waiting) != std::string::npos)
            kill(daemon, SIGKILL);
    };

    EXPECT_TRUE(Perform(new QENServiceControlCommand(CommandLog(), "com.orvex.sampled", "stop")));
    log_.hook = nullptr;
    waitpid(daemon, nullptr, 0);
    EXPECT_TRUE(log_.Has("5 1 " + waiting)) << log_.Dump();
    EXPECT_TRUE(log_.Has("5 1 QENServiceControl process " + std::to_string(daemon) + " is gone, continuing on"));
}

TEST_F(QENServiceCommandsTest, StopGoesOnWhenTheProcessCannotBeWaitedFor)
{
    // Our own process can never be seen to end: the wait gives up at once.
    tolktest::WriteTextFile(Sys("/var/run/com.orvex.sampled.pid"), "  " + std::to_string(getpid()) + "junk");
    EXPECT_TRUE(Perform(new QENServiceControlCommand(CommandLog(), "com.orvex.sampled", "stop")));
    EXPECT_TRUE(log_.Has("2 1 QENServiceControl process " + std::to_string(getpid()) +
                         " may still be running, continuing anyway"))
        << log_.Dump();
}

TEST_F(QENServiceCommandsTest, WithoutRootTheToolCannotRunAndTheCommandStillSucceeds)
{
    // True when the command succeeded and logged the tool's code.
    const tolktest::AsUser result = tolktest::RunAsNobody([]() {
        qentest::RecordingLog log;
        QENServiceControlCommand command(log, "com.orvex.sampled", "start");
        const bool performed = command.Perform();
        return performed && log.Has("5 QENServiceControl::launchctl start for com.orvex.sampled returned 71");
    });
    if (result == tolktest::AsUser::kImpossible)
        GTEST_SKIP() << "needs root to drop to another user";
    EXPECT_EQ(result, tolktest::AsUser::kTrue);
}

// ---- Service monitor ----

TEST_F(QENServiceCommandsTest, MonitorInstallWritesAnEscapedCommandAndRollbackRemovesIt)
{
    ASSERT_TRUE(Perform(new QENServiceMonitorCommand(CommandLog(), "sample", "/Library/My Tools/a b/monitor", "install")));
    const std::string path = MonitorPlist("sample");
    PropertyValuePtr monitor = ReadPlist(path);
    ASSERT_TRUE(monitor);
    EXPECT_EQ(*monitor, *Parse(PlistText("<dict><key>ServiceName</key><string>sample.monitor</string>"
                                         "<key>Command</key><string>/Library/My\\ Tools/a\\ b/monitor</string>"
                                         "<key>OnDemand</key><false/></dict>")));
    EXPECT_TRUE(Rollback());
    EXPECT_FALSE(Exists(path));

    ASSERT_TRUE(Perform(new QENServiceMonitorCommand(CommandLog(), "sample", "/usr/bin/monitor", "install")));
    EXPECT_TRUE(Commit());
    EXPECT_TRUE(Exists(path));
}

TEST_F(QENServiceCommandsTest, MonitorRemoveAndItsRollbackPutTheSameFileBack)
{
    const std::string path = MonitorPlist("sample");
    tolktest::WriteTextFile(path, PlistText("<dict><key>ServiceName</key><string>sample.monitor</string>"
                                            "<key>Command</key><string>/old/monitor</string>"
                                            "<key>Extra</key><string>kept</string></dict>"));
    const std::string before = tolktest::ReadTextFile(path);

    ASSERT_TRUE(Perform(new QENServiceMonitorCommand(CommandLog(), "sample", "/new/monitor", "remove")));
    EXPECT_FALSE(Exists(path));
    EXPECT_TRUE(Rollback());
    EXPECT_EQ(tolktest::ReadTextFile(path), before);

    ASSERT_TRUE(Perform(new QENServiceMonitorCommand(CommandLog(), "sample", "/new/monitor", "remove")));
    EXPECT_TRUE(Commit());
    EXPECT_FALSE(Exists(path));
    // Nothing left to remove: the step fails.
    EXPECT_FALSE(Perform(new QENServiceMonitorCommand(CommandLog(), "sample", "/new/monitor", "remove")));
}

TEST_F(QENServiceCommandsTest, MonitorStartRunsTheUnescapedCommandDetachedAndRollbackLeavesIt)
{
    const std::string folder = sysroot_.Scratch() + "/My Monitor";
    tolktest::MakeFolders(folder);
    const std::string fifo = sysroot_.Scratch() + "/monitor.fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    WriteExecutable(folder + "/mon itor", "#!/bin/sh\necho \"$0 $# $PWD\" > '" + fifo + "'\n");

    ASSERT_TRUE(Perform(new QENServiceMonitorCommand(CommandLog(), "sample", folder + "/mon itor", "start")));
    EXPECT_TRUE(log_.Has("5 1 QENServiceMonitorCommand: Launching \"" + folder + "/mon itor\"..."));
    EXPECT_TRUE(log_.Has("5 1 QENServiceMonitorCommand: Child started"));
    EXPECT_TRUE(log_.Has("5 1 QENServiceMonitorCommand: Child daemonized"));
    ASSERT_TRUE(log_.Has("5 1 QENServiceMonitorCommand: Child about to exec...")) << log_.Dump();
    for (const std::string& line : log_.lines)
        ASSERT_EQ(line.find("exec failed"), std::string::npos) << line;

    // The monitor runs on its own: it is known to have started its program, so its line comes.
    const int reader = open(fifo.c_str(), O_RDONLY);
    ASSERT_GE(reader, 0);
    char buffer[512] = {};
    const ssize_t count = read(reader, buffer, sizeof(buffer) - 1);
    close(reader);
    ASSERT_GT(count, 0);
    EXPECT_EQ(std::string(buffer), folder + "/mon itor 0 /\n");

    EXPECT_TRUE(Rollback());
    EXPECT_FALSE(Exists(MonitorPlist("sample")));
}

TEST_F(QENServiceCommandsTest, MonitorStartOfAMissingProgramFailsOnlyInTheChild)
{
    ASSERT_TRUE(Perform(new QENServiceMonitorCommand(CommandLog(), "sample", sysroot_.Scratch() + "/none", "start")));
    EXPECT_TRUE(log_.Has("5 1 QENServiceMonitorCommand: Child exec failed with errno of 2")) << log_.Dump();
    EXPECT_EQ(engine_->PerformedCommandCount(), 1u);
}
