#include "QENDeleteDirectoryCommand.h"

#include "Common/source/mac/FileSystemUtilsMac.h"

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
    if (!FileSystemUtilsMac::GetMode(path_, savedMode_)) {
        log_.AppendToLog(LogAppender::kLogError, str(format("Unable to get permissions of \"%1%\"") % path));
        return false;
    }
    log_.AppendToLog(LogAppender::kLogDebug,
                     str(format("Saved permissions of %1$04o for \"%2%\"") % savedMode_ % path));

    unsigned int owner = 0;
    unsigned int group = 0;
    if (!FileSystemUtilsMac::GetOwnerGroup(path_, owner, group)) {
        log_.AppendToLog(LogAppender::kLogError, str(format("Unable to preserve owner and group of \"%1%\"") % path));
        return false;
    }
    savedOwner_ = owner;
    savedGroup_ = group;
    log_.AppendToLog(LogAppender::kLogDebug,
                     str(format("Saved owner of %1% and group of %2%") % savedOwner_ % savedGroup_));

    log_.AppendToLog(LogAppender::kLogDebug, str(format("Deleting directory \"%1%\"") % path));
    if (!FileSystemUtilsMac::DeleteDirectory(path_, false)) {
        const int error = errno;
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
    if (!FileSystemUtilsMac::CreateDirectory(path_, savedMode_, true)) {
        log_.AppendToLog(
            LogAppender::kLogError,
            str(format("Unable to recreate directory at \"%1%\" with permissions of %2$04o") % path % savedMode_));
        return false;
    }
    log_.AppendToLog(LogAppender::kLogDebug,
                     str(format("Restoring ownership to owner %1% and group %2%") % savedOwner_ % savedGroup_));
    if (!FileSystemUtilsMac::SetOwnerGroup(path_, savedOwner_, savedGroup_)) {
        log_.AppendToLog(LogAppender::kLogError,
                         str(format("Unable to restore owner and group of \"%1%\" to %2% and %3%") % path %
                             savedOwner_ % savedGroup_));
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
    step = QENUndoStep(QENUndoStep::kRecreateDirectory, path_.AsUTF8String(), std::string(), savedMode_, savedOwner_,
                       savedGroup_);
    return true;
}
