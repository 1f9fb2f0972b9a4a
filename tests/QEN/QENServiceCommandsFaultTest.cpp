// The launchd service commands when the world is not as expected: property lists that are
// links or belong to someone else, and the monitor's child that cannot report or cannot detach.
#include "QENSystemCommandTest.h"

#include "QEN/source/mac/QENServiceInstallCommand.h"
#include "QEN/source/mac/QENServiceMonitorCommand.h"

#include "platform/FaultInjection.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <utility>
#include <vector>
#include <string>

namespace {

class QENServiceCommandsFaultTest : public qentest::QENSystemCommandTest {
protected:
    // "<owner> <mode>" of the file a path leads to.
    static std::string OwnerAndMode(const std::string& path)
    {
        struct stat info;
        if (stat(path.c_str(), &info) != 0)
            return "<missing>";
        char mode[8];
        std::snprintf(mode, sizeof(mode), "%04o", static_cast<unsigned>(info.st_mode & 07777));
        return std::to_string(info.st_uid) + " " + mode;
    }
    static std::string LinkText(const std::string& path)
    {
        char buffer[4096];
        const ssize_t length = readlink(path.c_str(), buffer, sizeof(buffer));
        return length < 0 ? "<no link>" : std::string(buffer, static_cast<std::size_t>(length));
    }
};

// The process id that the monitor command logged for its child; -1 when it logged none.
pid_t LoggedChild(const qentest::RecordingLog& log)
{
    const std::string marker = "QENServiceMonitorCommand: child pid is ";
    for (const std::string& line : log.lines) {
        const std::string::size_type at = line.find(marker);
        if (at != std::string::npos)
            return static_cast<pid_t>(std::stol(line.substr(at + marker.size())));
    }
    return -1;
}

}  // namespace

TEST_F(QENServiceCommandsFaultTest, PropertyListsThatAreLinksStayLinksAndKeepTheirOwnerAndMode)
{
    // The daemon's and the monitor's property lists are links to files kept elsewhere, owned by
    // another user (when the test may give files away) with a mode of their own.
    const uid_t owner = geteuid() == 0 ? 4321 : geteuid();
    const std::string daemon = Sys("/Library/LaunchDaemons/com.orvex.sampled.plist");
    const std::string monitor = Sys("/etc/mach_init_per_user.d/sample.monitor.plist");
    std::vector<std::pair<std::string, std::string> > links;
    for (const std::string& link : {daemon, monitor}) {
        const std::string kept = sysroot_.Scratch() + "/" + std::to_string(links.size()) + ".plist";
        tolktest::WriteTextFile(kept, "old " + kept);
        ASSERT_EQ(chown(kept.c_str(), owner, owner), 0);
        ASSERT_EQ(chmod(kept.c_str(), 0640), 0);
        ASSERT_EQ(symlink(kept.c_str(), link.c_str()), 0);
        links.push_back(std::make_pair(link, kept));
    }
    const std::string ownerAndMode = std::to_string(owner) + " 0640";

    // Installing writes through the links and keeps owner and mode; the rollbacks put the old
    // contents back through the same links.
    ASSERT_TRUE(Perform(new QENServiceInstallCommand(CommandLog(), "/usr/sbin/sampled", FileSystemPath(daemon),
                                                     "com.orvex.sampled", "Sample", {}, "auto", "", "1")));
    ASSERT_TRUE(Perform(new QENServiceMonitorCommand(CommandLog(), "sample", "/usr/bin/monitor", "install")));
    for (const auto& link : links) {
        EXPECT_EQ(LinkText(link.first), link.second);
        EXPECT_NE(tolktest::ReadTextFile(link.second).find("<plist"), std::string::npos) << link.first;
        EXPECT_EQ(OwnerAndMode(link.second), ownerAndMode) << link.first;
    }
    EXPECT_TRUE(Rollback());
    for (const auto& link : links) {
        EXPECT_EQ(LinkText(link.first), link.second);
        EXPECT_EQ(tolktest::ReadTextFile(link.second), "old " + link.second);
        EXPECT_EQ(OwnerAndMode(link.second), ownerAndMode) << link.first;
    }

    // Removing the monitor takes the link away; its rollback brings the link back.
    ASSERT_TRUE(Perform(new QENServiceMonitorCommand(CommandLog(), "sample", "/usr/bin/monitor", "remove")));
    EXPECT_EQ(LinkText(monitor), "<no link>");
    EXPECT_TRUE(Rollback());
    EXPECT_EQ(LinkText(monitor), links[1].second);
    EXPECT_EQ(tolktest::ReadTextFile(monitor), "old " + links[1].second);

    // A link that leads nowhere is not followed: the install fails and makes nothing there.
    ASSERT_EQ(unlink(daemon.c_str()), 0);
    ASSERT_EQ(symlink((sysroot_.Scratch() + "/nowhere.plist").c_str(), daemon.c_str()), 0);
    EXPECT_FALSE(Perform(new QENServiceInstallCommand(CommandLog(), "/usr/sbin/sampled", FileSystemPath(daemon),
                                                      "com.orvex.sampled", "Sample", {}, "auto", "", "1")));
    EXPECT_FALSE(qentest::Exists(sysroot_.Scratch() + "/nowhere.plist"));
}

TEST_F(QENServiceCommandsFaultTest, AMonitorsIntermediateChildIsCollectedWhateverBecameOfIt)
{
    // Without its status pipe the command cannot hear from the child; a child that cannot
    // detach ends at once. Either way the command collects it: nothing is left to wait for.
    for (const std::string fault : {"status-pipe", "daemon"}) {
        log_.lines.clear();
        platform::SetFaultHookForTesting([fault](const std::string& operation, const std::string&) {
            return operation == fault ? EAGAIN : 0;
        });
        const bool performed =
            Perform(new QENServiceMonitorCommand(CommandLog(), "sample", sysroot_.Scratch() + "/none", "start"));
        platform::SetFaultHookForTesting(platform::FaultHook());
        EXPECT_TRUE(performed) << fault;
        const pid_t child = LoggedChild(log_);
        ASSERT_GT(child, 0) << log_.Dump();
        errno = 0;
        EXPECT_EQ(waitpid(child, nullptr, 0), -1) << fault;
        EXPECT_EQ(errno, ECHILD) << fault;
    }
    EXPECT_TRUE(log_.Has("5 2 QENServiceMonitorCommand: Child could not daemonize, errno of " + std::to_string(EAGAIN)))
        << log_.Dump();
}
