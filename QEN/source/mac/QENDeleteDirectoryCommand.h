// QENDeleteDirectoryCommand: removes one empty folder, keeping its mode, owner and group so that
// the rollback can create it again as it was.
#pragma once

#include "Common/source/xplat/FileSystemPath.h"
#include "QENCommand.h"

#include <cstdint>

class QENDeleteDirectoryCommand : public QENCommand {
public:
    QENDeleteDirectoryCommand(LogAppender& log, const FileSystemPath& path);
    ~QENDeleteDirectoryCommand() override;

    std::string GetName() const override;
    bool UndoAfterPerform(QENUndoStep& step) const override;

protected:
    // A symbolic link is refused (its mode cannot be read), as is a folder that is not empty.
    bool DoPerform() override;
    // Creates the folder again with the saved mode, then gives it the saved owner and group.
    bool DoRollback() override;
    bool DoCommit() override;

private:
    FileSystemPath path_;
    unsigned short savedMode_;
    std::uint32_t savedOwner_;
    std::uint32_t savedGroup_;
};
