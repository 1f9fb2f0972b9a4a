#include "QENCreateDirectoryCommand.h"

#include "Common/source/xplat/FileSystemUtils.h"

#include "Common/source/mac/FileSystemUtilsMac.h"

#include <boost/format.hpp>

using boost::format;
using boost::str;

QENCreateDirectoryCommand::QENCreateDirectoryCommand(LogAppender& log, const FileSystemPath& path, unsigned short mode)
    : QENCommand(log), path_(path), mode_(mode)
{
}

QENCreateDirectoryCommand::~QENCreateDirectoryCommand() {}

std::string QENCreateDirectoryCommand::GetName() const
{
    return "QENCreateDirectoryCommand";
}

bool QENCreateDirectoryCommand::DoPerform()
{
    const std::string path = path_.AsUTF8String();
    log_.AppendToLog(LogAppender::kLogDebug,
                     str(format("Creating directory at \"%1%\" with mode %2$04o") % path % mode_));
    if (!FileSystemUtilsMac::CreateDirectory(path_, mode_, true)) {
        log_.AppendToLog(LogAppender::kLogError,
                         str(format("Unable to create directory at \"%1%\" with mode %2$04o") % path % mode_));
        return false;
    }
    log_.AppendToLog(LogAppender::kLogDebug, "Created");
    return true;
}

bool QENCreateDirectoryCommand::DoRollback()
{
    const std::string path = path_.AsUTF8String();
    log_.AppendToLog(LogAppender::kLogDebug, str(format("Deleting created directory at \"%1%\"") % path));
    if (!FileSystemUtilsMac::DeleteDirectory(path_, false)) {
        log_.AppendToLog(LogAppender::kLogError, str(format("Unable to delete created directory at \"%1%\"") % path));
        return false;
    }
    log_.AppendToLog(LogAppender::kLogDebug, "Deleted");
    return true;
}

bool QENCreateDirectoryCommand::DoCommit()
{
    return true;
}

bool QENCreateDirectoryCommand::UndoBeforePerform(QENUndoStep& step) const
{
    if (FileSystemUtils::Exists(path_))
        return false;
    step = QENUndoStep(QENUndoStep::kRemoveDirectory, path_.AsUTF8String());
    return true;
}
