// QENDeleteDirectoryCommand: removes one empty folder, keeping its mode, owner and group, read
// from the folder removed, so that the rollback can create it again as it was, in the folder that
// held it alone (platform::ChangedObject).
#pragma once

#include "Common/source/xplat/FileSystemPath.h"
#include "QENCommand.h"

#include "platform/files/ChangedObject.h"

#include <cstdint>

class QENDeleteDirectoryCommand : public QENCommand {
public:
    QENDeleteDirectoryCommand(LogAppender& log, const FileSystemPath& path);
    ~QENDeleteDirectoryCommand() override;

    std::string GetName() const override;
    bool UndoAfterPerform(QENUndoStep& step) const override;
    // An empty folder that is there and could not be removed (an I/O error, a full disk) would
    // stay for good once the payload's record is gone: the run fails instead. A folder that is
    // gone, holds something, or is refused by the walk is the script's to judge.
    bool FailureEndsRun() const override { return undeletable_; }

protected:
    // A symbolic link is refused (its mode cannot be read), as is a folder that is not empty.
    bool DoPerform() override;
    // Creates the folder again, then gives it the saved owner and group and the saved mode.
    bool DoRollback() override;
    bool DoCommit() override;

private:
    FileSystemPath path_;
    unsigned short savedMode_;
    std::uint32_t savedOwner_;
    std::uint32_t savedGroup_;
    // The folder that held the folder removed, which alone may have it made again.
    platform::ObjectIdentity holder_;
    bool undeletable_;
};
