#include "QENCreateSymlinkCommand.h"

#include "Common/source/mac/FileSystemUtilsMac.h"
#include "Common/source/xplat/FileSystemUtils.h"

#include <boost/format.hpp>

using boost::format;
using boost::str;

QENCreateSymlinkCommand::QENCreateSymlinkCommand(LogAppender& log, const FileSystemPath& linkPath,
                                                 const std::string& target)
    : QENCommand(log), linkPath_(linkPath), target_(target)
{
}

QENCreateSymlinkCommand::~QENCreateSymlinkCommand() {}

std::string QENCreateSymlinkCommand::GetName() const
{
    return "QENCreateSymlinkCommand";
}

bool QENCreateSymlinkCommand::DoPerform()
{
    const std::string link = linkPath_.AsUTF8String();
    log_.AppendToLog(LogAppender::kLogDebug,
                     str(format("Creating symlink at \"%1%\" with target \"%2%\"") % link % target_));
    if (!FileSystemUtilsMac::CreateSymlink(linkPath_, target_)) {
        log_.AppendToLog(LogAppender::kLogError, str(format("Unable to create symlink at \"%1%\"") % link));
        return false;
    }
    log_.AppendToLog(LogAppender::kLogDebug, "Created");
    return true;
}

bool QENCreateSymlinkCommand::DoRollback()
{
    const std::string link = linkPath_.AsUTF8String();
    log_.AppendToLog(LogAppender::kLogDebug, str(format("Deleting created symlink at \"%1%\"") % link));
    // Whatever has taken the link's place since is not ours to delete.
    bool isSymlink = false;
    if (!FileSystemUtilsMac::IsSymlink(linkPath_, isSymlink) || !isSymlink ||
        !FileSystemUtils::DeleteFile(linkPath_, false)) {
        log_.AppendToLog(LogAppender::kLogError, str(format("Unable to delete created symlink at \"%1%\"") % link));
        return false;
    }
    log_.AppendToLog(LogAppender::kLogDebug, "Deleted");
    return true;
}

bool QENCreateSymlinkCommand::DoCommit()
{
    return true;
}

bool QENCreateSymlinkCommand::UndoBeforePerform(QENUndoStep& step) const
{
    if (FileSystemUtils::Exists(linkPath_))
        return false;
    step = QENUndoStep(QENUndoStep::kRemoveFile, linkPath_.AsUTF8String());
    return true;
}
