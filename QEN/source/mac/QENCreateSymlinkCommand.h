// QENCreateSymlinkCommand: creates a symbolic link holding a target text exactly as the script
// wrote it (relative or absolute, existing or not); its rollback removes the link.
#pragma once

#include "Common/source/xplat/FileSystemPath.h"
#include "QENCommand.h"

#include <string>

class QENCreateSymlinkCommand : public QENCommand {
public:
    QENCreateSymlinkCommand(LogAppender& log, const FileSystemPath& linkPath, const std::string& target);
    ~QENCreateSymlinkCommand() override;

    std::string GetName() const override;
    bool UndoBeforePerform(QENUndoStep& step) const override;

protected:
    // Anything already at the link path is a failure and stays as it is.
    bool DoPerform() override;
    bool DoRollback() override;
    bool DoCommit() override;

private:
    FileSystemPath linkPath_;
    std::string target_;
};
