#include "QENCopyFileCommand.h"

#include "FileSystemUtils.h"

#include <boost/format.hpp>

using boost::format;
using boost::str;

QENCopyFileCommand::QENCopyFileCommand(LogAppender& log, const FileSystemPath& source,
                                       const FileSystemPath& destination)
    : QENCommand(log), source_(source), destination_(destination)
{
}

QENCopyFileCommand::~QENCopyFileCommand() {}

std::string QENCopyFileCommand::GetName() const
{
    return "QENCopyFileCommand";
}

bool QENCopyFileCommand::DoPerform()
{
    const std::string source = source_.AsUTF8String();
    const std::string destination = destination_.AsUTF8String();
    log_.AppendToLog(LogAppender::kLogDebug, str(format("Copying file \"%1%\" to \"%2%\"") % source % destination));
    if (!FileSystemUtils::CopyFile(source_, destination_)) {
        log_.AppendToLog(LogAppender::kLogError,
                         str(format("Unable to copy file from \"%1%\" to \"%2%\"") % source % destination));
        return false;
    }
    log_.AppendToLog(LogAppender::kLogDebug, "Copied");
    return true;
}

bool QENCopyFileCommand::DoRollback()
{
    const std::string destination = destination_.AsUTF8String();
    log_.AppendToLog(LogAppender::kLogDebug, str(format("Deleting file copy at \"%1%\"") % destination));
    if (!FileSystemUtils::DeleteFile(destination_, false)) {
        log_.AppendToLog(LogAppender::kLogError, str(format("Unable to delete file copy at \"%1%\"") % destination));
        return false;
    }
    log_.AppendToLog(LogAppender::kLogDebug, "Deleted");
    return true;
}

bool QENCopyFileCommand::DoCommit()
{
    return true;
}
