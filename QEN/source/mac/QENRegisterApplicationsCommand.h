// QENRegisterApplicationsCommand: registers installed applications with the system's
// application database and asks the Finder to refresh them. A registration cannot be undone:
// the perform always succeeds and the rollback always fails.
#pragma once

#include "Common/source/xplat/FileSystemPath.h"
#include "QENCommand.h"

#include <vector>

class QENRegisterApplicationsCommand : public QENCommand {
public:
    QENRegisterApplicationsCommand(LogAppender& log, const std::vector<FileSystemPath>& applications);
    ~QENRegisterApplicationsCommand() override;

    std::string GetName() const override;

protected:
    // Each path in order; one that cannot be registered costs a warning, not the command.
    bool DoPerform() override;
    // Unregisters nothing and answers false, so the run's rollback reports it.
    bool DoRollback() override;
    bool DoCommit() override;

private:
    std::vector<FileSystemPath> applications_;
};
