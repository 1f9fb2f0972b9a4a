// The launchd service commands when the world is not as expected: the monitor's child that
// cannot report or cannot detach.
#include "QENSystemCommandTest.h"

#include "QENServiceMonitorCommand.h"

#include "platform/FaultInjection.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace {

class QENServiceCommandsFaultTest : public qentest::QENSystemCommandTest {};

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
