// RunReport: what a failed run tells its user on the standard error, gathered while it runs: the
// error that decided the outcome (as the log has it), what caused it, and why there is no log.
#pragma once

#include <string>

namespace RunReport {

// The latest error of the run. Loggers note every error-level line they take, with the file it
// was meant for (also when that file could not be written); other deciders note their reason
// with an empty log path. Lines that only frame a block or a section are not reasons.
void NoteError(const std::string& text, const std::string& logPath = std::string());

// A cause behind the next error, such as the first error of a payload operation that failed,
// which the script that started it then reports in its own words.
void NoteCause(const std::string& text);

// Why the run could not have a session log (for example: its folder could not be made).
void NoteNoSessionLog(const std::string& why);

struct Facts {
    std::string reason;         // the latest error; empty when none was noted
    std::string reasonLogPath;  // the log file it went to; empty when it was not a log line
    std::string cause;          // a cause noted just before the reason, when it says more than it
    std::string noSessionLog;   // why there is no session log; empty when nothing was noted
};

Facts Gathered();

// Forgets everything noted (tests run several engines in one process).
void Reset();

}  // namespace RunReport
