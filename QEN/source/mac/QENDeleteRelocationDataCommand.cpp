#include "QENDeleteRelocationDataCommand.h"

#include "QENRelocationDataSteps.h"

#include <boost/format.hpp>

QENDeleteRelocationDataCommand::QENDeleteRelocationDataCommand(LogAppender& log, const std::string& storageKey)
    : QENCommand(log), storageKey_(storageKey)
{
}

QENDeleteRelocationDataCommand::~QENDeleteRelocationDataCommand()
{
}

std::string QENDeleteRelocationDataCommand::GetName() const
{
    return "QENDeleteRelocationDataCommand";
}

bool QENDeleteRelocationDataCommand::DoPerform()
{
    log_.AppendToLog(LogAppender::kLogDebug,
                     (boost::format("Deleting all relocation data from uninstall database for storage key %1%") %
                      storageKey_)
                         .str());
    capsStatus status = UninstallDBAccess::Create(storageKey_, accessor_);
    if (status != kCapsOK) {
        accessor_.reset();
        log_.AppendToLog(LogAppender::kLogError,
                         (boost::format("Unable to access uninstall database for storage key %1% due to error %2%") %
                          storageKey_ % status)
                             .str());
    } else if ((status = accessor_->Open()) != kCapsOK) {
        log_.AppendToLog(LogAppender::kLogError,
                         (boost::format("Unable to open uninstall database for storage key %1% due to error %2%") %
                          storageKey_ % status)
                             .str());
    } else if ((status = accessor_->DeleteAliasDataForAllPaths()) != kCapsOK) {
        log_.AppendToLog(LogAppender::kLogError,
                         (boost::format("Unable to delete relocation data for all paths due to error %1%") % status)
                             .str());
    } else if ((status = accessor_->DeleteTokenVolumeDataForAllTokens()) != kCapsOK) {
        log_.AppendToLog(
            LogAppender::kLogError,
            (boost::format("Unable to delete token volume relocation data for all tokens due to error %1%") % status)
                .str());
    }
    log_.AppendToLog(LogAppender::kLogDebug, std::string("Deleted"));
    return status == kCapsOK;
}

bool QENDeleteRelocationDataCommand::DoCommit()
{
    return QENRelocationDataSteps::CommitChanges(log_, accessor_);
}

bool QENDeleteRelocationDataCommand::DoRollback()
{
    return QENRelocationDataSteps::RollbackChanges(log_, accessor_);
}
