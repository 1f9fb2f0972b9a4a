#include "QENRelocationDataSteps.h"

#include <boost/format.hpp>

namespace QENRelocationDataSteps {

bool CommitChanges(LogAppender& log, const boost::shared_ptr<UninstallDBAccess>& accessor)
{
    const capsStatus status = accessor ? accessor->Commit() : kCapsOK;
    if (status != kCapsOK)
        log.AppendToLog(LogAppender::kLogError,
                        (boost::format("Commit of relocation data changes returned error %1%") % status).str());
    else
        log.AppendToLog(LogAppender::kLogDebug, std::string("Committed"));
    return status == kCapsOK;
}

bool RollbackChanges(LogAppender& log, const boost::shared_ptr<UninstallDBAccess>& accessor)
{
    const capsStatus status = accessor ? accessor->Rollback() : kCapsOK;
    if (status != kCapsOK)
        log.AppendToLog(LogAppender::kLogError,
                        (boost::format("Rollback of relocation data changes returned error %1%") % status).str());
    else
        log.AppendToLog(LogAppender::kLogDebug, std::string("Rolled back"));
    return status == kCapsOK;
}

}  // namespace QENRelocationDataSteps
