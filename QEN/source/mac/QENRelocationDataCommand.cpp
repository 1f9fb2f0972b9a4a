#include "QENRelocationDataCommand.h"

#include <boost/format.hpp>

QENRelocationDataCommand::QENRelocationDataCommand(LogAppender& log, const std::string& storageKey)
    : QENCommand(log), storageKey_(storageKey)
{
}

QENRelocationDataCommand::~QENRelocationDataCommand() {}

capsStatus QENRelocationDataCommand::OpenDatabase()
{
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
    }
    return status;
}

bool QENRelocationDataCommand::DoCommit()
{
    return EndTransaction(true);
}

bool QENRelocationDataCommand::DoRollback()
{
    return EndTransaction(false);
}

bool QENRelocationDataCommand::EndTransaction(bool commit)
{
    const capsStatus status = !accessor_ ? kCapsOK : commit ? accessor_->Commit() : accessor_->Rollback();
    if (status != kCapsOK)
        log_.AppendToLog(LogAppender::kLogError, (boost::format("%1% of relocation data changes returned error %2%") %
                                                  (commit ? "Commit" : "Rollback") % status)
                                                     .str());
    else
        log_.AppendToLog(LogAppender::kLogDebug, std::string(commit ? "Committed" : "Rolled back"));
    return status == kCapsOK;
}
