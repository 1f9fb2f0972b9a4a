// QENServiceMonitorCommand: installs, removes or starts a per-user monitor: a property list in
// "/etc/mach_init_per_user.d/" and a detached process that outlives the setup program.
#pragma once

#include "QENCommand.h"
#include "QENFileSnapshot.h"

#include <string>

class QENServiceMonitorCommand : public QENCommand {
public:
    // The monitor is named "<name>.monitor"; command is the monitor program's absolute path;
    // action is "install", "remove", "start" or "stop".
    QENServiceMonitorCommand(LogAppender& log, const std::string& name, const std::string& command,
                             const std::string& action);

    std::string GetName() const override;

    // The steps that perform and rollback choose among.
    // Writes the monitor's property list, its command with every blank escaped.
    bool installServiceMonitor();
    // Unlinks the property list.
    bool removeServiceMonitor();
    // Starts the command, detached, as the user who started the setup program; never waits.
    bool launchServiceMonitor();

protected:
    bool DoPerform() override;
    bool DoRollback() override;
    bool DoCommit() override;

private:
    std::string monitorName_;
    std::string command_;
    std::string action_;
    std::string plistPath_;

    // The property list (or the link to one) that an install replaced or a remove took away, so
    // that the rollback puts back that very file rather than one made from this command's fields.
    QENFileSnapshot::Snapshot kept_;
};
