// QENDeleteFileCommand: deletes one file for a payload. The file is only moved aside to a
// temporary backup on its own volume until the run ends: the commit deletes the backup, the
// rollback moves it back.
#pragma once

#include "Common/source/xplat/FileSystemPath.h"
#include "QENCommand.h"

class QENDeleteFileCommand : public QENCommand {
public:
    QENDeleteFileCommand(LogAppender& log, const FileSystemPath& path);
    ~QENDeleteFileCommand() override;

    std::string GetName() const override;
    bool UndoAfterPerform(QENUndoStep& step) const override;

    // Where the perform parked the file; meaningful once it has succeeded.
    const FileSystemPath& BackupPath() const { return backupPath_; }

protected:
    // Only an existing regular file is accepted (not a folder, not a symbolic link).
    bool DoPerform() override;
    bool DoRollback() override;
    bool DoCommit() override;

private:
    FileSystemPath path_;
    FileSystemPath backupPath_;
    // Set by a successful perform: commit and rollback touch nothing before that.
    bool hasBackup_;
};
