#include "QENDeleteSymlinkCommand.h"

#include "Common/source/mac/FileSystemUtilsMac.h"
#include "Common/source/xplat/FileSystemUtils.h"

#include <boost/format.hpp>

using boost::format;
using boost::str;

QENDeleteSymlinkCommand::QENDeleteSymlinkCommand(LogAppender& log, const FileSystemPath& linkPath)
    : QENCommand(log), linkPath_(linkPath), savedTarget_()
{
}

QENDeleteSymlinkCommand::~QENDeleteSymlinkCommand() {}

std::string QENDeleteSymlinkCommand::GetName() const
{
    return "QENDeleteSymlinkCommand";
}

bool QENDeleteSymlinkCommand::DoPerform()
{
    const std::string link = linkPath_.AsUTF8String();
    if (!FileSystemUtilsMac::GetSymlinkDestination(linkPath_, savedTarget_)) {
        log_.AppendToLog(LogAppender::kLogError,
                         str(format("Unable to preserve symlink target for path \"%1%\"") % link));
        return false;
    }
    log_.AppendToLog(LogAppender::kLogDebug,
                     str(format("Saved symlink target of \"%1%\" for path \"%2%\"") % savedTarget_ % link));
    log_.AppendToLog(LogAppender::kLogDebug, str(format("Deleting symlink at \"%1%\"") % link));
    if (!FileSystemUtils::DeleteFile(linkPath_, false)) {
        log_.AppendToLog(LogAppender::kLogError, str(format("Unable to delete symlink at \"%1%\"") % link));
        return false;
    }
    log_.AppendToLog(LogAppender::kLogDebug, "Deleted");
    return true;
}

bool QENDeleteSymlinkCommand::DoRollback()
{
    const std::string link = linkPath_.AsUTF8String();
    log_.AppendToLog(LogAppender::kLogDebug,
                     str(format("Recreating symlink at \"%1%\" with a target of \"%2%\"") % link % savedTarget_));
    if (!FileSystemUtilsMac::CreateSymlink(linkPath_, savedTarget_)) {
        log_.AppendToLog(
            LogAppender::kLogError,
            str(format("Unable to recreate symlink at \"%1%\" with a target of \"%2%\"") % link % savedTarget_));
        return false;
    }
    log_.AppendToLog(LogAppender::kLogDebug, "Recreated");
    savedTarget_.clear();
    return true;
}

bool QENDeleteSymlinkCommand::DoCommit()
{
    savedTarget_.clear();
    return true;
}

bool QENDeleteSymlinkCommand::UndoAfterPerform(QENUndoStep& step) const
{
    step = QENUndoStep(QENUndoStep::kRecreateSymlink, linkPath_.AsUTF8String(), savedTarget_);
    return true;
}
