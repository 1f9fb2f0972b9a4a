#include "QENServiceControlCommand.h"

#include "Common/source/mac/ExecUtils.h"
#include "Common/source/xplat/FileSystemUtils.h"

#include "platform/SystemRoot.h"

#include <boost/format.hpp>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

const char* const kLaunchDaemonsFolder = "/Library/LaunchDaemons";
const char* const kPidFileFolder = "/var/run";
const char* const kStartupItemContext = "/usr/libexec/StartupItemContext";
const char* const kLaunchctl = "/bin/launchctl";

FileSystemPath SystemFilePath(const char* folder, const std::string& name)
{
    FileSystemPath path(platform::SystemRoot::Resolve(folder));
    path.AppendUTF8Segment(name);
    return path;
}

// The PID file's text as atol reads it: blanks skipped, a sign, decimal digits up to the first
// other character; no digits give 0. A number beyond a process id's range names no process.
int PidFromText(const std::string& text)
{
    errno = 0;
    const long value = std::strtol(text.c_str(), nullptr, 10);
    if (errno == ERANGE || value > INT_MAX || value < INT_MIN)
        return 0;
    return static_cast<int>(value);
}

}  // namespace

QENServiceControlCommand::QENServiceControlCommand(LogAppender& log, const std::string& serviceName,
                                                   const std::string& action)
    : QENCommand(log),
      serviceName_(serviceName),
      action_(action),
      plistPath_(SystemFilePath(kLaunchDaemonsFolder, serviceName + ".plist")),
      pidFilePath_(SystemFilePath(kPidFileFolder, serviceName + ".pid"))
{
}

std::string QENServiceControlCommand::GetName() const
{
    return "QENServiceControlCommand";
}

unsigned int QENServiceControlCommand::launchctl(const std::string& action)
{
    const bool namesService = action == "start" || action == "stop";
    std::vector<std::string> arguments;
    arguments.push_back(platform::SystemRoot::Resolve(kStartupItemContext));
    arguments.push_back(platform::SystemRoot::Resolve(kLaunchctl));
    arguments.push_back(action);
    arguments.push_back(namesService ? serviceName_ : plistPath_.AsUTF8String());

    // The context tool runs the control tool as root: both must be root's to run.
    std::string refusal;
    if (!ExecUtils::MayRunProgram(arguments[0], refusal) || !ExecUtils::MayRunProgram(arguments[1], refusal)) {
        log_.AppendToLog(LogAppender::kLogError,
                         (boost::format("QENServiceControl::launchctl %1% for %2% was not run: %3%") % action %
                          serviceName_ % refusal)
                             .str());
        return kRefused;
    }

    // launchd only takes system daemons from root.
    ExecUtils::ExecId root = {ExecUtils::kExecSetUID | ExecUtils::kExecSetGID | ExecUtils::kExecSetEGID, 0, 0, 0, 0};
    bool ioError = false;
    const unsigned int code =
        static_cast<unsigned int>(ExecUtils::RunExecutable(arguments, &root, nullptr, 0, nullptr, ioError, false));
    log_.AppendToLog(LogAppender::kLogDebug, (boost::format("QENServiceControl::launchctl %1% for %2% returned %3%") %
                                              action % serviceName_ % code)
                                                 .str());
    return code;
}

bool QENServiceControlCommand::DoPerform()
{
    log_.AppendToLog(LogAppender::kLogDebug,
                     (boost::format("QENServiceControl::DoPerform with %1% and %2%") % action_ % serviceName_).str());

    if (action_ == "load" || action_ == "unload") {
        if (FileSystemUtils::Exists(plistPath_)) {
            if (launchctl(action_) == kRefused)
                return false;
        } else {
            log_.AppendToLog(LogAppender::kLogDebug, (boost::format("QENServiceControl untload but \"%1%\" does not exist") %
                                                      plistPath_.AsUTF8String())
                                                         .str());
        }
        return true;
    }
    if (action_ == "start")
        return launchctl(action_) != kRefused;
    if (action_ != "stop")
        return false;

    // Unloading by the property list also keeps launchd from starting the daemon again on
    // demand; only a daemon without one is stopped by its name.
    if (launchctl(FileSystemUtils::Exists(plistPath_) ? "unload" : "stop") == kRefused)
        return false;
    WaitForStoppedProcess();
    return true;
}

void QENServiceControlCommand::WaitForStoppedProcess()
{
    const std::string pidFile = pidFilePath_.AsUTF8String();
    log_.AppendToLog(LogAppender::kLogDebug,
                     (boost::format("QENServiceControl checking for PID in \"%1%\"") % pidFile).str());
    if (!FileSystemUtils::Exists(pidFilePath_))
        return;

    std::vector<std::uint8_t> contents;
    if (!FileSystemUtils::LoadFileContents(pidFilePath_, contents)) {
        log_.AppendToLog(LogAppender::kLogDebug,
                         (boost::format("QENServiceControl found PID file \"%1%\" but could not read it") % pidFile).str());
        return;
    }
    const int pid = PidFromText(std::string(contents.begin(), contents.end()));

    log_.AppendToLog(LogAppender::kLogDebug,
                     (boost::format("QENServiceControl waiting for process %1% to not exist") % pid).str());
    if (ExecUtils::WaitWhileProcessExists(pid, kStopWaitSeconds)) {
        log_.AppendToLog(LogAppender::kLogDebug,
                         (boost::format("QENServiceControl process %1% is gone, continuing on") % pid).str());
    } else {
        log_.AppendToLog(LogAppender::kLogError,
                         (boost::format("QENServiceControl process %1% may still be running, continuing anyway") % pid)
                             .str());
    }
}

bool QENServiceControlCommand::DoRollback()
{
    return true;
}

bool QENServiceControlCommand::DoCommit()
{
    return true;
}
