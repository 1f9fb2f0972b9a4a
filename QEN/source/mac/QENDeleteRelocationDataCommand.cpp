#include "QENDeleteRelocationDataCommand.h"

#include <boost/format.hpp>

QENDeleteRelocationDataCommand::QENDeleteRelocationDataCommand(LogAppender& log, const std::string& storageKey)
    : QENRelocationDataCommand(log, storageKey)
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
    capsStatus status = OpenDatabase();
    if (status != kCapsOK) {
        // OpenDatabase said why.
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
