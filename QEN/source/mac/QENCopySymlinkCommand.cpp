#include "QENCopySymlinkCommand.h"

#include "Common/source/mac/FileSystemUtilsMac.h"
#include "Common/source/xplat/FileSystemUtils.h"

#include <boost/format.hpp>

using boost::format;
using boost::str;

QENCopySymlinkCommand::QENCopySymlinkCommand(LogAppender& log, const FileSystemPath& sourceLinkPath,
                                             const FileSystemPath& destinationLinkPath)
    : QENCommand(log), sourceLinkPath_(sourceLinkPath), destinationLinkPath_(destinationLinkPath)
{
}

QENCopySymlinkCommand::~QENCopySymlinkCommand() {}

std::string QENCopySymlinkCommand::GetName() const
{
    return "QENCopySymlinkCommand";
}

bool QENCopySymlinkCommand::DoPerform()
{
    const std::string source = sourceLinkPath_.AsUTF8String();
    const std::string destination = destinationLinkPath_.AsUTF8String();
    log_.AppendToLog(LogAppender::kLogDebug, str(format("Copying symlink \"%1%\" to \"%2%\"") % source % destination));
    std::string target;
    if (!FileSystemUtilsMac::GetSymlinkDestination(sourceLinkPath_, target)) {
        log_.AppendToLog(LogAppender::kLogError,
                         str(format("Unable to read symlink target of source file \"%1%\"") % source));
        return false;
    }
    if (!FileSystemUtilsMac::CreateSymlink(destinationLinkPath_, target)) {
        log_.AppendToLog(LogAppender::kLogError, str(format("Unable to create symlink at \"%1%\"") % destination));
        return false;
    }
    log_.AppendToLog(LogAppender::kLogDebug, "Copied");
    return true;
}

bool QENCopySymlinkCommand::DoRollback()
{
    const std::string destination = destinationLinkPath_.AsUTF8String();
    log_.AppendToLog(LogAppender::kLogDebug, str(format("Deleting created symlink at \"%1%\"") % destination));
    // Whatever has taken the link's place since is not ours to delete.
    bool isSymlink = false;
    if (!FileSystemUtilsMac::IsSymlink(destinationLinkPath_, isSymlink) || !isSymlink ||
        !FileSystemUtils::DeleteFile(destinationLinkPath_, false)) {
        log_.AppendToLog(LogAppender::kLogError,
                         str(format("Unable to delete created symlink at \"%1%\"") % destination));
        return false;
    }
    log_.AppendToLog(LogAppender::kLogDebug, "Deleted");
    return true;
}

bool QENCopySymlinkCommand::DoCommit()
{
    return true;
}

bool QENCopySymlinkCommand::UndoBeforePerform(QENUndoStep& step) const
{
    if (FileSystemUtils::Exists(destinationLinkPath_))
        return false;
    step = QENUndoStep(QENUndoStep::kRemoveFile, destinationLinkPath_.AsUTF8String());
    return true;
}
