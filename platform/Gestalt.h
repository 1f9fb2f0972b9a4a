// Gestalt: the system's answers about itself by four-character selector, read from the system
// root's SystemVersion.plist and from the machine this runs on.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

const int kGestaltUndefSelectorErr = -5551;
const std::int32_t kGestaltIntel = 10;  // the 'sysa' answer for an Intel processor

// 0 with the answer, or kGestaltUndefSelectorErr when the selector has none here:
//   'sysv' the system version in binary-coded decimal (0x1046 for 10.4.6; minor and bug-fix parts
//          above 9 answer 9, so 10.4.11 is 0x1049);
//   'sys1', 'sys2', 'sys3' the major, minor and bug-fix parts (each only when the version has it);
//   'sysa' the processor architecture (kGestaltIntel on x86);
//   'ppcf' the PowerPC processor features (none on other processors).
int Gestalt(std::uint32_t selector, std::int32_t& response);

// The system root's SystemVersion.plist, and why the system version cannot be read from it (empty
// when it can): the file cannot be read, is no property list, or holds no version.
std::string SystemVersionFilePath();
std::string SystemVersionProblem();

}  // namespace platform
