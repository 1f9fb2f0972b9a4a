// SystemLog: the system-wide log, for lines that belong to no log file of the program's own (the
// administrator relaunch writes there). Lines go to standard error and to syslog.
#pragma once

#include <functional>
#include <string>

namespace platform {

void SystemLog(const std::string& line);

// Test hook: while set, lines go to the sink instead; an empty function restores the system log.
void SetSystemLogSinkForTesting(std::function<void(const std::string&)> sink);

}  // namespace platform
