// The system version as Gestalt's 'sysv' selector answers it, read from the system root's
// System/Library/CoreServices/SystemVersion.plist ("ProductVersion").
#pragma once

#include <cstdint>

namespace platform {

// Binary-coded decimal: 0x1046 for 10.4.6. Minor and bug-fix parts above 9 answer 9, as the
// selector does (10.4.11 is 0x1049). False when the file or its version cannot be read.
bool GetSystemVersionBCD(std::int32_t& version);

}  // namespace platform
