// FailureReport: the lines that a failed run of Setup writes on the standard error after its end
// banner: why it failed (the error that decided the exit code, as the log has it, and what caused
// it; or that the user cancelled or quit it) and where the session log lies, or why no session
// log was written.
#pragma once

#include <ostream>
#include <string>

namespace FailureReport {

// Why the main routine ended a run with one of the codes it decides itself before any payload
// work (a rejected mode, the start-up checks, the scripting engine): for the user.
std::string StartUpReason(int exitCode);
// The reason of code 1, with the value that was not accepted.
std::string BadModeReason(const std::string& mode);

// Writes the report of a run that ended with exitCode (nothing for 0). terminalMode: the run
// opened no payload session, so it has no session log of its own.
void Write(std::ostream& out, int exitCode, bool terminalMode);

}  // namespace FailureReport
