// RunReport: what a failed run tells its user on the standard error, gathered while it runs: the
// error that decided the outcome (as the log has it), what caused it, and why there is no log.
#pragma once

#include <string>

namespace RunReport {

// The latest error of the run. Loggers note every error-level line they take, with the file it
// was meant for (also when that file could not be written); other deciders note their reason
// with an empty log path. Lines that only frame a block or a section are not reasons.
void NoteError(const std::string& text, const std::string& logPath = std::string());

// A cause behind the run's failure, such as the first error of a payload operation that failed,
// which the script that started it then reports in its own words. The first one noted stays,
// however many errors follow it.
void NoteCause(const std::string& text);

// The user cancelled the run. What was noted before no longer decides its outcome; an error
// noted after it (in taking back what the run did) still does.
void NoteCancelled();

// Why the run could not have a session log (for example: its folder could not be made).
void NoteNoSessionLog(const std::string& why);

struct Facts {
    std::string reason;         // the latest error; empty when none was noted
    std::string reasonLogPath;  // the log file it went to; empty when it was not a log line
    std::string cause;          // the first cause noted, when it says more than the reason
    std::string noSessionLog;   // why there is no session log; empty when nothing was noted
    bool cancelled = false;     // the user cancelled the run
};

Facts Gathered();

// Forgets everything noted (tests run several engines in one process).
void Reset();

}  // namespace RunReport
