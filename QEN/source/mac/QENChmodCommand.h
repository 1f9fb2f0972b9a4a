// QENChmodCommand: changes the mode of a file or folder, keeping the former mode (set-id and
// sticky bits included) for the rollback, which gives it back only to the object it was read from
// (platform::ChangedObject).
#pragma once

#include "Common/source/xplat/FileSystemPath.h"
#include "QENCommand.h"

#include "platform/files/ChangedObject.h"

class QENChmodCommand : public QENCommand {
public:
    QENChmodCommand(LogAppender& log, const FileSystemPath& path, unsigned short mode);
    ~QENChmodCommand() override;

    std::string GetName() const override;
    bool UndoAfterPerform(QENUndoStep& step) const override;

protected:
    // A symbolic link is refused: its own mode cannot be read, and setting one would change
    // its target.
    bool DoPerform() override;
    bool DoRollback() override;
    bool DoCommit() override;

private:
    FileSystemPath path_;
    unsigned short newMode_;
    unsigned short savedMode_;
    // The object changed, which alone may be given savedMode_ back.
    platform::ObjectIdentity object_;
};
