#include "QENCAPSCommandSteps.h"

#include "QENCAPSRunSession.h"
#include "caps/CAPSLoggingUtilities.h"

#include <boost/format.hpp>

namespace QENCAPSCommandSteps {

bool OpenSession(LogAppender& log, capsiSession*& session)
{
    session = nullptr;
    const capsStatus status = QENCAPSRunSession::Open(&session, true);
    if (status == kCapsOK && session != nullptr)
        return true;
    session = nullptr;
    log.AppendToLog(LogAppender::kLogError, (boost::format("Unable to open CAPS session due to error %1%") % status).str());
    return false;
}

bool PackageManagementStep(LogAppender& log, capsiSession* session,
                           const CAPSQueryUtilities::PackageManagementData& data,
                           CAPSQueryUtilities::PackageManagementOperationResult& result)
{
    const bool returned = CAPSQueryUtilities::DoCAPSPackageManagementOperations(session, data, result);
    CAPSLoggingUtilities::LogCAPSResult(log, result);
    return CAPSQueryUtilities::PackageManagementOperationSucceeded(returned, result);
}

void RollbackPartialTransaction(LogAppender& log, capsiSession* session)
{
    const capsStatus status = capsSessionRollback(session);
    if (status != kCapsOK)
        log.AppendToLog(LogAppender::kLogError,
                        (boost::format("Unable to roll back partial CAPS transaction due to error %1%") % status).str());
}

void DiscardUncommitted(LogAppender& log, capsiSession* session, const std::string& commandName)
{
    if (session == nullptr)
        return;
    const capsStatus status = capsSessionRollback(session);
    if (status != kCapsOK)
        log.AppendToLog(LogAppender::kLogError,
                        (boost::format("Unable to discard uncommitted CAPS changes of %1% due to error %2%") %
                         commandName % status)
                            .str());
}

capsStatus CloseSession(LogAppender& log, capsiSession*& session, bool commitRequested, const std::string& commandName)
{
    if (!commitRequested)
        DiscardUncommitted(log, session, commandName);
    const capsStatus status = capsCloseSession(session);
    session = nullptr;
    return status;
}

}  // namespace QENCAPSCommandSteps
