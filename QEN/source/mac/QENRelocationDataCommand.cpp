#include "QENRelocationDataCommand.h"

#include <boost/format.hpp>

QENRelocationDataCommand::QENRelocationDataCommand(LogAppender& log, const std::string& storageKey)
    : QENCommand(log), storageKey_(storageKey)
{
}

QENRelocationDataCommand::~QENRelocationDataCommand()
{
}

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
    const capsStatus status = accessor_ ? accessor_->Commit() : kCapsOK;
    if (status != kCapsOK)
        log_.AppendToLog(LogAppender::kLogError,
                         (boost::format("Commit of relocation data changes returned error %1%") % status).str());
    else
        log_.AppendToLog(LogAppender::kLogDebug, std::string("Committed"));
    return status == kCapsOK;
}

bool QENRelocationDataCommand::DoRollback()
{
    const capsStatus status = accessor_ ? accessor_->Rollback() : kCapsOK;
    if (status != kCapsOK)
        log_.AppendToLog(LogAppender::kLogError,
                         (boost::format("Rollback of relocation data changes returned error %1%") % status).str());
    else
        log_.AppendToLog(LogAppender::kLogDebug, std::string("Rolled back"));
    return status == kCapsOK;
}
