// CAPSLoggingUtilities: writes the result of a package-management operation to a log.
#pragma once

#include "CAPSQueryUtilities.h"

class LogAppender;

namespace CAPSLoggingUtilities {

// Status, session code, then the conflicting, upgraded and corrupted codes, each list after its
// count; every line at the debug level.
void LogCAPSResult(LogAppender& log, const CAPSQueryUtilities::PackageManagementOperationResult& result);

}  // namespace CAPSLoggingUtilities
