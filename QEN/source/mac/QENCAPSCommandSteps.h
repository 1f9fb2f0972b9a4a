// QENCAPSCommandSteps: the steps that the installation-database commands share: opening their
// session (during an engine run, a part of the run's one transaction), one package-management step judged and logged, undoing a failed perform, and
// discarding what the engine never decided on before the session is closed.
#pragma once

#include "Common/source/xplat/LogAppender.h"
#include "caps/CAPSQueryUtilities.h"
#include "caps/caps.h"

namespace QENCAPSCommandSteps {

// Opens a session into session (QENCAPSRunSession::Open, with a part); on failure logs the status at error level and leaves it null.
bool OpenSession(LogAppender& log, capsiSession*& session);

// Runs the package-management operation in the session and logs its result. Done only when the
// operation answered true and its status is 0; result keeps what it reported either way.
bool PackageManagementStep(LogAppender& log, capsiSession* session,
                           const CAPSQueryUtilities::PackageManagementData& data,
                           CAPSQueryUtilities::PackageManagementOperationResult& result);

// Rolls back what a failed perform wrote so far; a failing rollback is logged at error level.
void RollbackPartialTransaction(LogAppender& log, capsiSession* session);

// Before a command closes its session: closing commits, so writes the engine never committed (a
// perform that failed or threw, a run abandoned before its commit) are rolled back first. A
// failure is logged with the command's name at error level.
void DiscardUncommitted(LogAppender& log, capsiSession* session, const std::string& commandName);

// Ends a command's session: discards what was not committed (unless the engine asked for the
// commit), closes it and empties the handle; answers the close's status for the command to log.
capsStatus CloseSession(LogAppender& log, capsiSession*& session, bool commitRequested, const std::string& commandName);

}  // namespace QENCAPSCommandSteps
