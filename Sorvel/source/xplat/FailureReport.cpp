#include "FailureReport.h"

#include "Common/source/xplat/FileSystemUtils.h"
#include "Common/source/xplat/LogFactory.h"
#include "Common/source/xplat/LogFile.h"
#include "Common/source/xplat/RunReport.h"
#include "SorvelConstants.h"

#include "platform/Gestalt.h"
#include "platform/SystemRoot.h"

namespace FailureReport {

namespace {

const char kPrefix[] = "Setup: ";

bool IsAbsolutePath(const std::string& path)
{
    return FileSystemUtils::ValidateUTF8FullPathString(path) == FileSystemUtils::kPathValid;
}

bool Exists(const std::string& path)
{
    return FileSystemUtils::Exists(FileSystemPath(path));
}

// Where the log of the reason lies, or why there is none.
void WriteLogLine(std::ostream& out, const RunReport::Facts& facts, bool terminalMode)
{
    Logger* logger = LogFactory::Instance().GetLogger(SorvelConstants::kSorvelLog);
    const std::string sessionLog = logger != nullptr ? logger->GetLogfilePath() : std::string();
    const std::string path = IsAbsolutePath(facts.reasonLogPath) ? facts.reasonLogPath : sessionLog;
    if (!IsAbsolutePath(path)) {
        std::string why = facts.noSessionLog;
        if (why.empty())
            why = terminalMode ? "terminal mode writes none" : "Setup ended before it opened the payload session";
        out << kPrefix << "no session log was written: " << why << std::endl;
        return;
    }
    const std::string problem = path == sessionLog ? logger->GetLogfileProblem() : std::string();
    if (!problem.empty()) {
        out << kPrefix << "no session log was written: \"" << path << "\" could not be opened: " << problem
            << std::endl;
        return;
    }
    // A log this process still writes is compressed when it ends (or, when another Setup
    // writes it too, when the last of them ends); one it let go of stays as it is.
    const std::string shown = LogFile::IsInUse(path) || !Exists(path) ? path + ".gz" : path;
    out << kPrefix << "session log: " << shown << " (read it with zcat)" << std::endl;
}

}  // namespace

std::string StartUpReason(int exitCode)
{
    const std::string root = platform::SystemRoot::Path();
    switch (exitCode) {
    case 1:
        return BadModeReason(std::string());
    case 3:
        return "the scripting engine could not be started";
    case 4:
        return "the user-interface driver failed";
    case 9: {
        const std::string versionFile = platform::SystemVersionFilePath();
        // Most often a run on a machine that is no Mac, without a system root.
        if (!Exists(versionFile))
            return "the system version cannot be read: \"" + versionFile + "\" is missing, so the system root \"" +
                   root + "\" is no Mac OS X system; set TOLK_SYSTEM_ROOT to a system root made by scripts/make-sysroot";
        // A version that cannot be read fails the check as an old one does; it is not one.
        const std::string problem = platform::SystemVersionProblem();
        if (!problem.empty())
            return "the system version cannot be read: \"" + versionFile + "\" is unreadable (" + problem + ")";
        return "the system is older than Mac OS X 10.4.6, as \"" + versionFile + "\" says";
    }
    case 10:
        return "the start-up volume (the system root \"" + root +
               "\") is not local, not writable or case-sensitive, as its settings \"" +
               platform::SystemRoot::SettingsFilePath() + "\" say";
    case 12:
        return "the installation database in \"" +
               platform::SystemRoot::Resolve("/Library/Application Support/Orvex") + "\" is damaged";
    case 13:
        return "the media optimisation failed";
    default:
        return "an error reached the main routine";
    }
}

std::string BadModeReason(const std::string& mode)
{
    return "the value \"" + mode + "\" of --mode is not accepted: it must be gui, terminal or silent";
}

void Write(std::ostream& out, int exitCode, bool terminalMode)
{
    if (exitCode == 0)
        return;
    const RunReport::Facts facts = RunReport::Gathered();
    // A cancel or a quit is the user's choice, not a failure: only an error noted (after a
    // cancel) is one.
    const bool userEnded = facts.cancelled || exitCode == SorvelConstants::kExitUserQuit;
    if (facts.cancelled)
        out << kPrefix << "the user cancelled the run" << std::endl;
    else if (userEnded)
        out << kPrefix << "the user quit before the end" << std::endl;
    if (!userEnded || !facts.reason.empty()) {
        out << kPrefix
            << (facts.reason.empty()
                    ? "the run ended with exit code " + std::to_string(exitCode) + " and logged no error"
                    : facts.reason)
            << std::endl;
        if (!facts.cause.empty())
            out << kPrefix << "cause: " << facts.cause << std::endl;
    }
    WriteLogLine(out, facts, terminalMode);
}

}  // namespace FailureReport
