#include "QENDeleteFileCommand.h"

#include "FileSystemUtils.h"
#include "FileSystemUtilsMac.h"

#include <boost/format.hpp>

#include <stdexcept>

using boost::format;
using boost::str;

QENDeleteFileCommand::QENDeleteFileCommand(LogAppender& log, const FileSystemPath& path)
    : QENCommand(log), path_(path), backupPath_(), hasBackup_(false)
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
    log_.AppendToLog(LogAppender::kLogDebug, str(format("Saving file at \"%1%\" to temporary location") % path));
    bool saved = false;
    FileSystemPath backup;
    try {
        saved = FileSystemUtilsMac::MoveFileToTemp(path_, backup);
    } catch (const std::runtime_error&) {
        // No volume holds the path: nothing was moved, so this is an ordinary failure.
        saved = false;
    }
    if (!saved) {
        log_.AppendToLog(LogAppender::kLogError, str(format("Unable to preserve original file at \"%1%\"") % path));
        return false;
    }
    backupPath_ = backup;
    hasBackup_ = true;
    log_.AppendToLog(LogAppender::kLogDebug, str(format("Saved to \"%1%\"") % backupPath_.AsUTF8String()));
    return true;
}

bool QENDeleteFileCommand::DoRollback()
{
    const std::string path = path_.AsUTF8String();
    const std::string backup = backupPath_.AsUTF8String();
    log_.AppendToLog(LogAppender::kLogDebug,
                     str(format("Restoring file at \"%1%\" from backup at \"%2%\"") % path % backup));
    if (!hasBackup_ || !FileSystemUtils::MoveFile(backupPath_, path_)) {
        log_.AppendToLog(LogAppender::kLogError,
                         str(format("Unable to restore file at \"%1%\" from backup at \"%2%\"") % path % backup));
        return false;
    }
    hasBackup_ = false;
    log_.AppendToLog(LogAppender::kLogDebug, "Restored");
    return true;
}

bool QENDeleteFileCommand::DoCommit()
{
    const std::string backup = backupPath_.AsUTF8String();
    log_.AppendToLog(LogAppender::kLogDebug, str(format("Deleting backup file at \"%1%\"") % backup));
    if (!hasBackup_ || !FileSystemUtils::DeleteFile(backupPath_, false)) {
        log_.AppendToLog(LogAppender::kLogError, str(format("Unable to delete backup file at \"%1%\"") % backup));
        return false;
    }
    hasBackup_ = false;
    log_.AppendToLog(LogAppender::kLogDebug, "Deleted");
    return true;
}
