#include "QENCreateMacAliasCommand.h"

#include "Common/source/mac/FileSystemUtilsMac.h"
#include "Common/source/xplat/FileSystemUtils.h"

#include <boost/format.hpp>

using boost::format;
using boost::str;

QENCreateMacAliasCommand::QENCreateMacAliasCommand(LogAppender& log, const FileSystemPath& aliasPath,
                                                   const FileSystemPath& targetPath,
                                                   const FileSystemPath* iconSourcePath)
    : QENCommand(log),
      aliasPath_(aliasPath),
      targetPath_(targetPath),
      iconSourcePath_(iconSourcePath != nullptr ? new FileSystemPath(*iconSourcePath) : nullptr)
{
}

QENCreateMacAliasCommand::~QENCreateMacAliasCommand() {}

std::string QENCreateMacAliasCommand::GetName() const
{
    return "QENCreateMacAliasCommand";
}

bool QENCreateMacAliasCommand::DoPerform()
{
    const std::string alias = aliasPath_.AsUTF8String();
    const std::string target = targetPath_.AsUTF8String();
    log_.AppendToLog(LogAppender::kLogDebug,
                     str(format("Creating Mac alias at \"%1%\" with target \"%2%\"") % alias % target));
    if (iconSourcePath_)
        log_.AppendToLog(LogAppender::kLogDebug,
                         str(format("Using Mac alias custom icons from \"%1%\"") % iconSourcePath_->AsUTF8String()));
    if (!FileSystemUtilsMac::CreateMacAlias(aliasPath_, targetPath_, iconSourcePath_.get())) {
        log_.AppendToLog(LogAppender::kLogError,
                         str(format("Unable to create Mac alias at \"%1%\" referring to \"%2%\"") % alias % target));
        return false;
    }
    log_.AppendToLog(LogAppender::kLogDebug, "Created");
    return true;
}

bool QENCreateMacAliasCommand::DoRollback()
{
    const std::string alias = aliasPath_.AsUTF8String();
    log_.AppendToLog(LogAppender::kLogDebug, str(format("Deleting created Mac alias at \"%1%\"") % alias));
    if (!FileSystemUtils::DeleteFile(aliasPath_, false)) {
        log_.AppendToLog(LogAppender::kLogError, str(format("Unable to delete created Mac alias at \"%1%\"") % alias));
        return false;
    }
    log_.AppendToLog(LogAppender::kLogDebug, "Deleted");
    return true;
}

bool QENCreateMacAliasCommand::DoCommit()
{
    return true;
}
