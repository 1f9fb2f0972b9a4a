// QENCopyFileCommand: copies one file of a payload into place; its rollback deletes the copy.
#pragma once

#include "FileSystemPath.h"
#include "QENCommand.h"

class QENCopyFileCommand : public QENCommand {
public:
    QENCopyFileCommand(LogAppender& log, const FileSystemPath& source, const FileSystemPath& destination);
    ~QENCopyFileCommand() override;

    std::string GetName() const override;
    bool UndoBeforePerform(QENUndoStep& step) const override;

protected:
    // Copies every fork and the catalog information into a new file; an existing destination is
    // a failure and is left alone.
    bool DoPerform() override;
    bool DoRollback() override;
    bool DoCommit() override;

private:
    FileSystemPath source_;
    FileSystemPath destination_;
};
