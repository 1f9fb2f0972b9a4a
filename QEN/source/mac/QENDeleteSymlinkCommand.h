// QENDeleteSymlinkCommand: removes a symbolic link itself (never what it points to), keeping its
// target text so that the rollback can create the same link again.
#pragma once

#include "Common/source/xplat/FileSystemPath.h"
#include "QENCommand.h"

#include <string>

class QENDeleteSymlinkCommand : public QENCommand {
public:
    QENDeleteSymlinkCommand(LogAppender& log, const FileSystemPath& linkPath);
    ~QENDeleteSymlinkCommand() override;

    std::string GetName() const override;
    bool UndoAfterPerform(QENUndoStep& step) const override;

protected:
    // Anything but a symbolic link at the path is refused before it is touched.
    bool DoPerform() override;
    bool DoRollback() override;
    // Forgets the saved target text.
    bool DoCommit() override;

private:
    FileSystemPath linkPath_;
    std::string savedTarget_;
};
