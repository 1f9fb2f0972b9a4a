// QENRetargetMacAliasCommand: points an existing Finder alias file at a new target. The former
// alias file is copied to a temporary backup in /tmp first: the commit deletes it, the rollback
// puts it back in place of the retargetted file.
#pragma once

#include "Common/source/xplat/FileSystemPath.h"
#include "QENCommand.h"

class QENRetargetMacAliasCommand : public QENCommand {
public:
    QENRetargetMacAliasCommand(LogAppender& log, const FileSystemPath& aliasPath, const FileSystemPath& newTargetPath);
    ~QENRetargetMacAliasCommand() override;

    std::string GetName() const override;

    // The copy of the former alias file; meaningful once the perform has succeeded.
    const FileSystemPath& BackupPath() const { return backupPath_; }

protected:
    // The alias path must be an existing regular file with an alias record, and the new target
    // must exist. A failure leaves no backup behind.
    bool DoPerform() override;
    bool DoRollback() override;
    bool DoCommit() override;

private:
    FileSystemPath aliasPath_;
    FileSystemPath newTargetPath_;
    FileSystemPath backupPath_;
    // Set by a successful perform: commit and rollback touch nothing before that.
    bool hasBackup_;
};
