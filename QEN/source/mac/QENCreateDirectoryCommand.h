// QENCreateDirectoryCommand: creates one folder with an exact mode (not narrowed by the process's
// file-creation mask); its rollback removes the folder again.
#pragma once

#include "Common/source/xplat/FileSystemPath.h"
#include "QENCommand.h"

class QENCreateDirectoryCommand : public QENCommand {
public:
    QENCreateDirectoryCommand(LogAppender& log, const FileSystemPath& path, unsigned short mode);
    ~QENCreateDirectoryCommand() override;

    std::string GetName() const override;
    bool UndoBeforePerform(QENUndoStep& step) const override;

protected:
    // One folder only: a missing parent or anything already at the path is a failure.
    bool DoPerform() override;
    // Removes the folder only while it is empty.
    bool DoRollback() override;
    bool DoCommit() override;

private:
    FileSystemPath path_;
    unsigned short mode_;
};
