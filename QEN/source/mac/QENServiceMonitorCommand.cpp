#include "QENServiceMonitorCommand.h"

#include "Common/source/mac/ExecUtils.h"
#include "Common/source/xplat/FileSystemPath.h"
#include "Common/source/xplat/FileSystemUtils.h"
#include "QENChildStatusPipe.h"
#include "QENFileSnapshot.h"

#include "platform/FaultInjection.h"
#include "platform/SystemRoot.h"
#include "platform/files/Files.h"
#include "platform/formats/PropertyList.h"

#include <boost/format.hpp>

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <vector>

extern char** environ;

using platform::PropertyValue;

namespace {

const char* const kPerUserFolder = "/etc/mach_init_per_user.d";

// What the monitor's child reports of its way to the monitor program.
enum ChildStep { kChildStarted = 1, kChildDaemonized, kChildDaemonFailed, kChildAboutToExec, kChildExecFailed };

std::string EscapeBlanks(const std::string& text)
{
    std::string escaped;
    for (char c : text) {
        if (c == ' ')
            escaped += '\\';
        escaped += c;
    }
    return escaped;
}

// The child's side, async-signal-safe calls only; it never returns.
// daemonFault: an error that a test makes the detaching fail with (0: none).
[[noreturn]] void RunMonitorChild(const QENChildStatusPipe& status, char* const argv[], int daemonFault)
{
    ExecUtils::ResetChildSignals();
    status.Send(kChildStarted);
    // The working folder becomes "/"; standard input, output and error stay open. The monitor
    // goes on in a new process that nobody waits for; this one ends, and its parent collects
    // it. A monitor run undetached here would end as a child that nobody collects.
    if (daemonFault != 0 || daemon(0, 1) != 0) {
        const int error = daemonFault != 0 ? daemonFault : errno;
        status.Send(kChildDaemonFailed, error);
        _exit(error);
    }
    status.Send(kChildDaemonized);
    // The monitor belongs to the user who started the setup program, not to root; rather than
    // run it with root's rights when that cannot be arranged, the child gives up.
    if (geteuid() == 0 && (setegid(getgid()) != 0 || seteuid(getuid()) != 0)) {
        const int error = errno;
        status.Send(kChildExecFailed, error);
        _exit(error);
    }
    status.Send(kChildAboutToExec);
    execve(argv[0], argv, environ);
    const int error = errno;
    status.Send(kChildExecFailed, error);
    _exit(error);
}

// A name too long for a path cannot be written either; that is the step's failure, not an
// exception.
bool TakeSnapshot(const std::string& path, QENFileSnapshot::Snapshot& snapshot)
{
    try {
        return QENFileSnapshot::Take(FileSystemPath(path), snapshot);
    } catch (const std::runtime_error&) {
        return false;
    }
}

bool RestoreSnapshot(const std::string& path, const QENFileSnapshot::Snapshot& snapshot)
{
    try {
        return QENFileSnapshot::Restore(FileSystemPath(path), snapshot);
    } catch (const std::runtime_error&) {
        return false;
    }
}

}  // namespace

QENServiceMonitorCommand::QENServiceMonitorCommand(LogAppender& log, const std::string& name,
                                                   const std::string& command, const std::string& action)
    : QENCommand(log),
      monitorName_(name + ".monitor"),
      command_(command),
      action_(action),
      plistPath_(platform::SystemRoot::Resolve(kPerUserFolder) + "/" + monitorName_ + ".plist")
{
}

std::string QENServiceMonitorCommand::GetName() const
{
    return "QENServiceMonitorCommand";
}

bool QENServiceMonitorCommand::installServiceMonitor()
{
    platform::PropertyValuePtr monitor = PropertyValue::MakeDictionary();
    monitor->Set("ServiceName", PropertyValue::MakeString(monitorName_));
    monitor->Set("Command", PropertyValue::MakeString(EscapeBlanks(command_)));
    monitor->Set("OnDemand", PropertyValue::MakeBoolean(false));
    std::string bytes;
    if (!platform::SerializePropertyListXML(*monitor, bytes) || bytes.empty())
        return false;
    return platform::WriteFileAtomically(plistPath_, bytes, platform::LinkHandling::kWriteThrough);
}

bool QENServiceMonitorCommand::removeServiceMonitor()
{
    return FileSystemUtils::DeleteFile(FileSystemPath(plistPath_), false);
}

bool QENServiceMonitorCommand::launchServiceMonitor()
{
    log_.AppendToLog(LogAppender::kLogDebug,
                     (boost::format("QENServiceMonitorCommand: Launching \"%1%\"...") % command_).str());

    // Everything the child needs is made before the fork.
    std::vector<char> program(command_.begin(), command_.end());
    program.push_back('\0');
    char* const argv[] = {program.data(), nullptr};
    QENChildStatusPipe status;
    const bool reporting = status.Open();
    const int daemonFault = platform::InjectedFault("daemon", command_);

    const pid_t pid = fork();
    if (pid < 0) {
        log_.AppendToLog(LogAppender::kLogDebug,
                         (boost::format("QENServiceMonitorCommand: fork failed with errno of %1%") % errno).str());
        return false;
    }
    if (pid == 0)
        RunMonitorChild(status, argv, daemonFault);

    log_.AppendToLog(LogAppender::kLogDebug, (boost::format("QENServiceMonitorCommand: child pid is %1%") % pid).str());
    std::vector<QENChildStatusPipe::Report> reports;
    if (reporting)
        reports = status.ReceiveAll();
    for (const QENChildStatusPipe::Report& report : reports) {
        switch (report.step) {
        case kChildStarted:
            log_.AppendToLog(LogAppender::kLogDebug, "QENServiceMonitorCommand: Child started");
            break;
        case kChildDaemonized:
            log_.AppendToLog(LogAppender::kLogDebug, "QENServiceMonitorCommand: Child daemonized");
            break;
        case kChildDaemonFailed:
            log_.AppendToLog(
                LogAppender::kLogDebug,
                (boost::format("QENServiceMonitorCommand: Child could not daemonize, errno of %1%") % report.error)
                    .str());
            break;
        case kChildAboutToExec:
            log_.AppendToLog(LogAppender::kLogDebug, "QENServiceMonitorCommand: Child about to exec...");
            break;
        case kChildExecFailed:
            log_.AppendToLog(
                LogAppender::kLogDebug,
                (boost::format("QENServiceMonitorCommand: Child exec failed with errno of %1%") % report.error).str());
            break;
        default:
            break;
        }
    }
    // The direct child ends as soon as it has forked the detached one (or failed to), whether or
    // not it could report: collecting it keeps it from lingering as a zombie for the rest of the
    // setup program's life. The monitor itself is never waited for.
    while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
    return true;
}

bool QENServiceMonitorCommand::DoPerform()
{
    if (action_ == "install" || action_ == "remove") {
        QENFileSnapshot::Snapshot snapshot;
        if (!TakeSnapshot(plistPath_, snapshot))
            return false;
        if (!(action_ == "install" ? installServiceMonitor() : removeServiceMonitor()))
            return false;
        kept_ = snapshot;
        return true;
    }
    if (action_ == "start")
        return launchServiceMonitor();
    return action_ == "stop";
}

bool QENServiceMonitorCommand::DoRollback()
{
    if (action_ == "install")
        return kept_.Kept() ? RestoreSnapshot(plistPath_, kept_) : removeServiceMonitor();
    if (action_ == "remove")
        return kept_.Kept() ? RestoreSnapshot(plistPath_, kept_) : installServiceMonitor();
    // A started monitor is left running.
    return action_ == "start" || action_ == "stop";
}

bool QENServiceMonitorCommand::DoCommit()
{
    return true;
}
