#include "QENRelocationDataCommand.h"

#include "Common/source/xplat/FileSystemUtils.h"

#include <boost/format.hpp>

#include <unistd.h>

#include <cerrno>

QENRelocationDataCommand::QENRelocationDataCommand(LogAppender& log, const std::string& storageKey)
    : QENCommand(log), storageKey_(storageKey), databaseExisted_(false), keptCopy_(false), committed_(false)
{
    // The names are chosen now, so that the run's journal can note them before the perform.
    if (!UninstallDBAccess::DatabaseFile(storageKey_, databaseFile_))
        return;
    const FileSystemPath file(databaseFile_);
    databaseExisted_ = FileSystemUtils::Exists(file);
    FileSystemPath copy(std::string("/"));
    if (databaseExisted_ && FileSystemUtils::TempFilenameInDirectory(file.Parent(), copy))
        earlierCopy_ = copy.AsUTF8String();
}

QENRelocationDataCommand::~QENRelocationDataCommand()
{
    // Gone with the run: its records were kept, or the earlier database was put back.
    accessor_.reset();
    if (keptCopy_)
        unlink(earlierCopy_.c_str());
}

bool QENRelocationDataCommand::UndoBeforePerform(QENUndoStep& step) const
{
    if (databaseFile_.empty() || (databaseExisted_ && earlierCopy_.empty()))
        return false;
    step = databaseExisted_ ? QENUndoStep(QENUndoStep::kReplaceFile, databaseFile_, earlierCopy_)
                            : QENUndoStep(QENUndoStep::kRemoveFile, databaseFile_);
    return true;
}

bool QENRelocationDataCommand::KeepEarlierDatabase()
{
    if (!databaseExisted_ || keptCopy_)
        return true;
    keptCopy_ =
        !earlierCopy_.empty() && FileSystemUtils::CopyFile(FileSystemPath(databaseFile_), FileSystemPath(earlierCopy_));
    if (!keptCopy_)
        log_.AppendToLog(LogAppender::kLogError,
                         (boost::format("Unable to keep a copy of the uninstall database for storage key %1% at %2%") %
                          storageKey_ % earlierCopy_)
                             .str());
    return keptCopy_;
}

bool QENRelocationDataCommand::PutBackEarlierDatabase()
{
    accessor_.reset();
    const bool putBack = keptCopy_ ? rename(earlierCopy_.c_str(), databaseFile_.c_str()) == 0
                                   : databaseExisted_ || unlink(databaseFile_.c_str()) == 0 || errno == ENOENT;
    if (keptCopy_ && putBack)
        keptCopy_ = false;
    if (!putBack)
        log_.AppendToLog(LogAppender::kLogError,
                         (boost::format("Unable to put back the uninstall database for storage key %1% as it was "
                                        "before the run") %
                          storageKey_)
                             .str());
    else
        log_.AppendToLog(LogAppender::kLogDebug, std::string("Put back the relocation data as they were"));
    return putBack;
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
    } else if (!KeepEarlierDatabase()) {
        // Copied once the open has judged the file (a plain file of root's, in a folder nobody
        // else can change), and before anything is written to it.
        accessor_.reset();
        status = kCapsFailure;
    }
    return status;
}

bool QENRelocationDataCommand::DoCommit()
{
    committed_ = EndTransaction(true);
    return committed_;
}

bool QENRelocationDataCommand::DoRollback()
{
    // Committed, while the run's records could not be: the database goes back to what it was.
    if (committed_) {
        committed_ = false;
        return PutBackEarlierDatabase();
    }
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
