#include "QENCopyFileCommand.h"

#include "Common/source/xplat/FileSystemUtils.h"

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
    // Only the perform reads the source: a run that copies many files keeps no path of it.
    const FileSystemPath sourcePath(std::move(source_));
    source_ = FileSystemPath(std::string("/"));
    const std::string source = sourcePath.AsUTF8String();
    const std::string destination = destination_.AsUTF8String();
    log_.AppendToLog(LogAppender::kLogDebug, "Copying file \"" + source + "\" to \"" + destination + "\"");
    std::unique_ptr<FileSystemUtils::NewFilePlace> place(std::move(place_));
    if (!place)
        place.reset(new FileSystemUtils::NewFilePlace(destination_));
    if (!FileSystemUtils::CopyFile(sourcePath, destination_, *place)) {
        log_.AppendToLog(LogAppender::kLogError,
                         "Unable to copy file from \"" + source + "\" to \"" + destination + "\"");
        return false;
    }
    log_.AppendToLog(LogAppender::kLogDebug, "Copied");
    return true;
}

bool QENCopyFileCommand::DoRollback()
{
    const std::string destination = destination_.AsUTF8String();
    log_.AppendToLog(LogAppender::kLogDebug, "Deleting file copy at \"" + destination + "\"");
    if (!FileSystemUtils::DeleteFile(destination_, false)) {
        log_.AppendToLog(LogAppender::kLogError, "Unable to delete file copy at \"" + destination + "\"");
        return false;
    }
    log_.AppendToLog(LogAppender::kLogDebug, "Deleted");
    return true;
}

bool QENCopyFileCommand::DoCommit()
{
    return true;
}

bool QENCopyFileCommand::UndoBeforePerform(QENUndoStep& step) const
{
    // A copy never replaces: what is at the destination once it began is the copy, whole or not.
    place_.reset(new FileSystemUtils::NewFilePlace(destination_));
    if (place_->Taken())
        return false;
    step = QENUndoStep(QENUndoStep::kRemoveFile, destination_.AsUTF8String());
    return true;
}
