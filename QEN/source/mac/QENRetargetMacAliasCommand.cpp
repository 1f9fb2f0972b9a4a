#include "QENRetargetMacAliasCommand.h"

#include "Common/source/mac/FileSystemUtilsMac.h"
#include "Common/source/xplat/FileSystemUtils.h"

#include <boost/format.hpp>

using boost::format;
using boost::str;

QENRetargetMacAliasCommand::QENRetargetMacAliasCommand(LogAppender& log, const FileSystemPath& aliasPath,
                                                       const FileSystemPath& newTargetPath)
    : QENCommand(log), aliasPath_(aliasPath), newTargetPath_(newTargetPath), backupPath_(), hasBackup_(false)
{
}

QENRetargetMacAliasCommand::~QENRetargetMacAliasCommand() {}

std::string QENRetargetMacAliasCommand::GetName() const
{
    return "QENRetargetMacAliasCommand";
}

bool QENRetargetMacAliasCommand::DoPerform()
{
    const std::string alias = aliasPath_.AsUTF8String();
    const std::string newTarget = newTargetPath_.AsUTF8String();
    log_.AppendToLog(LogAppender::kLogDebug,
                     str(format("Saving prior alias file at \"%1%\" to temporary location") % alias));
    FileSystemPath backup;
    if (!FileSystemUtils::CopyFileToTemp(aliasPath_, backup)) {
        log_.AppendToLog(LogAppender::kLogError,
                         str(format("Unable to preserve original alias file at \"%1%\"") % alias));
        return false;
    }
    log_.AppendToLog(LogAppender::kLogDebug, str(format("Alias file saved to \"%1%\"") % backup.AsUTF8String()));

    log_.AppendToLog(LogAppender::kLogDebug, str(format("Retargetting alias file to \"%1%\"") % newTarget));
    if (!FileSystemUtilsMac::RetargetMacAlias(aliasPath_, newTargetPath_)) {
        log_.AppendToLog(
            LogAppender::kLogError,
            str(format("Unable to retarget Mac alias at \"%1%\" referring to \"%2%\"") % alias % newTarget));
        // The engine never commits or rolls back a failed perform, so nobody else would remove
        // the copy; the alias file itself was left as it was.
        FileSystemUtils::DeleteFile(backup, false);
        return false;
    }
    backupPath_ = backup;
    hasBackup_ = true;
    log_.AppendToLog(LogAppender::kLogDebug, "Retargetted");
    return true;
}

bool QENRetargetMacAliasCommand::DoRollback()
{
    const std::string alias = aliasPath_.AsUTF8String();
    const std::string backup = backupPath_.AsUTF8String();
    if (!hasBackup_) {
        log_.AppendToLog(
            LogAppender::kLogError,
            str(format("Unable to restore alias file at \"%1%\" from backup at \"%2%\"") % alias % backup));
        return false;
    }
    log_.AppendToLog(LogAppender::kLogDebug, str(format("Deleting retargetted alias file at \"%1%\"") % alias));
    if (!FileSystemUtils::DeleteFile(aliasPath_, false)) {
        log_.AppendToLog(LogAppender::kLogError,
                         str(format("Unable to delete retargetted alias file at \"%1%\"") % alias));
        return false;
    }
    log_.AppendToLog(LogAppender::kLogDebug, "Deleted");

    log_.AppendToLog(LogAppender::kLogDebug, str(format("Restoring alias file from backup at \"%1%\"") % backup));
    if (!FileSystemUtils::CopyFile(backupPath_, aliasPath_)) {
        // The backup stays where it is, so the former alias file is not lost.
        log_.AppendToLog(
            LogAppender::kLogError,
            str(format("Unable to restore alias file at \"%1%\" from backup at \"%2%\"") % alias % backup));
        return false;
    }
    log_.AppendToLog(LogAppender::kLogDebug, "Restored, deleting backup");
    if (!FileSystemUtils::DeleteFile(backupPath_, false)) {
        log_.AppendToLog(LogAppender::kLogError, str(format("Unable to delete backup alias file at \"%1%\"") % backup));
        return false;
    }
    hasBackup_ = false;
    log_.AppendToLog(LogAppender::kLogDebug, "Deleted");
    return true;
}

bool QENRetargetMacAliasCommand::DoCommit()
{
    const std::string backup = backupPath_.AsUTF8String();
    if (!hasBackup_) {
        log_.AppendToLog(LogAppender::kLogError, str(format("Unable to delete backup alias file at \"%1%\"") % backup));
        return false;
    }
    log_.AppendToLog(LogAppender::kLogDebug, str(format("Deleting backup alias file at \"%1%\"") % backup));
    if (!FileSystemUtils::DeleteFile(backupPath_, false)) {
        log_.AppendToLog(LogAppender::kLogError, str(format("Unable to delete backup alias file at \"%1%\"") % backup));
        return false;
    }
    hasBackup_ = false;
    log_.AppendToLog(LogAppender::kLogDebug, "Deleted");
    return true;
}
