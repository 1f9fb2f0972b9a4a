// QENCopySymlinkCommand: makes a new symbolic link holding the same target text as an existing
// one (a relative text stays relative to the new link's folder); its rollback removes the new link.
#pragma once

#include "Common/source/xplat/FileSystemPath.h"
#include "QENCommand.h"

class QENCopySymlinkCommand : public QENCommand {
public:
    QENCopySymlinkCommand(LogAppender& log, const FileSystemPath& sourceLinkPath,
                          const FileSystemPath& destinationLinkPath);
    ~QENCopySymlinkCommand() override;

    std::string GetName() const override;
    bool UndoBeforePerform(QENUndoStep& step) const override;

protected:
    // The source must be a symbolic link; anything at the destination is a failure.
    bool DoPerform() override;
    bool DoRollback() override;
    bool DoCommit() override;

private:
    FileSystemPath sourceLinkPath_;
    FileSystemPath destinationLinkPath_;
};
