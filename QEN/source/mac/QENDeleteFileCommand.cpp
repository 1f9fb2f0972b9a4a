#include "QENDeleteFileCommand.h"

#include "Common/source/mac/FileSystemUtilsMac.h"
#include "Common/source/xplat/FileSystemUtils.h"

#include <stdexcept>

QENDeleteFileCommand::QENDeleteFileCommand(LogAppender& log, const FileSystemPath& path)
    : QENCommand(log), path_(path), backupPath_(std::string("/")), hasBackup_(false)
{
}

QENDeleteFileCommand::~QENDeleteFileCommand() {}

std::string QENDeleteFileCommand::GetName() const
{
    return "QENDeleteFileCommand";
}

bool QENDeleteFileCommand::DoPerform()
{
    const std::string path = path_.AsUTF8String();
    log_.AppendToLog(LogAppender::kLogDebug, "Saving file at \"" + path + "\" to temporary location");
    bool saved = false;
    // Not default-constructed: that would ask for the working folder for every file.
    FileSystemPath backup(std::string("/"));
    try {
        saved = FileSystemUtilsMac::MoveFileToTemp(path_, backup);
    } catch (const std::runtime_error&) {
        // No volume holds the path: nothing was moved, so this is an ordinary failure.
        saved = false;
    }
    if (!saved) {
        log_.AppendToLog(LogAppender::kLogError, "Unable to preserve original file at \"" + path + "\"");
        return false;
    }
    backupPath_ = backup;
    hasBackup_ = true;
    log_.AppendToLog(LogAppender::kLogDebug, "Saved to \"" + backupPath_.AsUTF8String() + "\"");
    return true;
}

bool QENDeleteFileCommand::DoRollback()
{
    const std::string path = path_.AsUTF8String();
    const std::string backup = backupPath_.AsUTF8String();
    log_.AppendToLog(LogAppender::kLogDebug,
                     "Restoring file at \"" + path + "\" from backup at \"" + backup + "\"");
    if (!hasBackup_ || !FileSystemUtils::MoveFile(backupPath_, path_)) {
        log_.AppendToLog(LogAppender::kLogError,
                         "Unable to restore file at \"" + path + "\" from backup at \"" + backup + "\"");
        return false;
    }
    hasBackup_ = false;
    log_.AppendToLog(LogAppender::kLogDebug, "Restored");
    return true;
}

bool QENDeleteFileCommand::DoCommit()
{
    const std::string backup = backupPath_.AsUTF8String();
    log_.AppendToLog(LogAppender::kLogDebug, "Deleting backup file at \"" + backup + "\"");
    if (!hasBackup_ || !FileSystemUtils::DeleteFile(backupPath_, false)) {
        log_.AppendToLog(LogAppender::kLogError, "Unable to delete backup file at \"" + backup + "\"");
        return false;
    }
    hasBackup_ = false;
    log_.AppendToLog(LogAppender::kLogDebug, "Deleted");
    return true;
}

bool QENDeleteFileCommand::UndoAfterPerform(QENUndoStep& step) const
{
    if (!hasBackup_)
        return false;
    step = QENUndoStep(QENUndoStep::kRestoreFile, path_.AsUTF8String(), backupPath_.AsUTF8String());
    return true;
}
