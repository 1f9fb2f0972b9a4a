// QENSpawnCommand: runs a program a payload script names, with its arguments and a reduced
// environment, and by default waits for it. Its result says only whether the program could be
// started (and waited for); the exit status is logged, never judged. It cannot be undone.
#pragma once

#include "Common/source/xplat/FileSystemPath.h"
#include "QENCommand.h"

#include <string>
#include <vector>

class QENSpawnCommand : public QENCommand {
public:
    // The program's absolute path (PATH is never searched), whether to return as soon as it has
    // been started, and the arguments after its own path.
    QENSpawnCommand(LogAppender& log, const FileSystemPath& executable, bool noWait,
                    const std::vector<std::string>& arguments);

    std::string GetName() const override;

    // The exit status of a child that could not replace its image with the program.
    static const int kExecFailedStatus = 71;

protected:
    bool DoPerform() override;
    bool DoRollback() override;
    bool DoCommit() override;

private:
    FileSystemPath executable_;
    bool noWait_;
    std::vector<std::string> arguments_;
};
