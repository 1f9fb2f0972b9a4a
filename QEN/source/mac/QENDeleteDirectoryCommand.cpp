#include "QENDeleteDirectoryCommand.h"

#include "platform/files/DiskNames.h"

#include <boost/format.hpp>

#include <cerrno>

using boost::format;
using boost::str;

QENDeleteDirectoryCommand::QENDeleteDirectoryCommand(LogAppender& log, const FileSystemPath& path)
    : QENCommand(log), path_(path), savedMode_(0), savedOwner_(0), savedGroup_(0), undeletable_(false)
{
}

QENDeleteDirectoryCommand::~QENDeleteDirectoryCommand() {}

std::string QENDeleteDirectoryCommand::GetName() const
{
    return "QENDeleteDirectoryCommand";
}

bool QENDeleteDirectoryCommand::DoPerform()
{
    undeletable_ = false;
    const std::string path = path_.AsUTF8String();
    // The mode and owner kept are read from the folder that is removed, through the one
    // descriptor, and it is removed from the folder that the walk holds open.
    platform::ChangedObject folder;
    if (folder.OpenToRemove(platform::OnDiskPath(path)) != 0) {
        log_.AppendToLog(LogAppender::kLogError, str(format("Unable to get permissions of \"%1%\"") % path));
        return false;
    }
    savedMode_ = static_cast<unsigned short>(folder.Status().st_mode & 07777);
    log_.AppendToLog(LogAppender::kLogDebug,
                     str(format("Saved permissions of %1$04o for \"%2%\"") % savedMode_ % path));
    savedOwner_ = folder.Status().st_uid;
    savedGroup_ = folder.Status().st_gid;
    holder_ = folder.FolderIdentity();
    log_.AppendToLog(LogAppender::kLogDebug,
                     str(format("Saved owner of %1% and group of %2%") % savedOwner_ % savedGroup_));

    log_.AppendToLog(LogAppender::kLogDebug, str(format("Deleting directory \"%1%\"") % path));
    if (const int error = folder.RemoveFolder()) {
        // Gone since, not empty, or refused by the walk (another user's link or folder): the
        // folder is not ours to remove. Anything else leaves an empty folder of ours behind.
        undeletable_ = error != ENOENT && error != ENOTDIR && error != ENOTEMPTY && error != EEXIST && error != EPERM &&
                       error != ELOOP;
        log_.AppendToLog(LogAppender::kLogError, str(format("Unable to delete directory \"%1%\"") % path));
        return false;
    }
    log_.AppendToLog(LogAppender::kLogDebug, "Deleted");
    return true;
}

bool QENDeleteDirectoryCommand::DoRollback()
{
    const std::string path = path_.AsUTF8String();
    log_.AppendToLog(LogAppender::kLogDebug,
                     str(format("Recreating directory at \"%1%\" with mode %2$04o") % path % savedMode_));
    // Made again only in the folder it was removed from, and given its owner and mode through the
    // descriptor of the folder made, never by its name again.
    platform::ChangedObject folder;
    if (folder.MakeFolder(platform::OnDiskPath(path), holder_, savedMode_, savedOwner_, savedGroup_) != 0) {
        log_.AppendToLog(
            LogAppender::kLogError,
            str(format("Unable to recreate directory at \"%1%\" with permissions of %2$04o") % path % savedMode_));
        return false;
    }
    log_.AppendToLog(LogAppender::kLogDebug,
                     str(format("Restoring ownership to owner %1% and group %2%") % savedOwner_ % savedGroup_));
    bool modeKept = true;
    if (folder.ChangeOwner(savedOwner_, savedGroup_, savedMode_, modeKept) != 0) {
        log_.AppendToLog(LogAppender::kLogError,
                         str(format("Unable to restore owner and group of \"%1%\" to %2% and %3%") % path %
                             savedOwner_ % savedGroup_));
        return false;
    }
    if (!modeKept && folder.ChangeMode(savedMode_) != 0) {
        log_.AppendToLog(
            LogAppender::kLogError,
            str(format("Unable to recreate directory at \"%1%\" with permissions of %2$04o") % path % savedMode_));
        return false;
    }
    log_.AppendToLog(LogAppender::kLogDebug, "Recreated");
    return true;
}

bool QENDeleteDirectoryCommand::DoCommit()
{
    return true;
}

bool QENDeleteDirectoryCommand::UndoAfterPerform(QENUndoStep& step) const
{
    step = QENUndoStep(QENUndoStep::kRecreateDirectory, path_.AsUTF8String(), holder_.handle, savedMode_, savedOwner_,
                       savedGroup_);
    step.device = holder_.device;
    step.inode = holder_.inode;
    return true;
}
