// QENServiceControlCommand: starts, stops, loads or unloads a launchd daemon of
// "/Library/LaunchDaemons" through the launchd control tool, run as root in the start-up item
// context; after a stop it waits a while for the daemon's process to end. It cannot be undone.
#pragma once

#include "Common/source/xplat/FileSystemPath.h"
#include "QENCommand.h"

#include <string>

class QENServiceControlCommand : public QENCommand {
public:
    // The property list "<LaunchDaemons>/<service>.plist" and the PID file
    // "/var/run/<service>.pid" (both under the system root) are fixed here.
    QENServiceControlCommand(LogAppender& log, const std::string& serviceName, const std::string& action);

    std::string GetName() const override;

    // Runs the control tool once for the action ("start" and "stop" name the service, "load"
    // and "unload" the property list) and answers its exit code; 71 when it cannot be run, and
    // kRefused, running nothing, when it or the start-up item context tool may not be run
    // (ExecUtils::MayRunProgram): that fails the step, which a failing tool does not.
    unsigned int launchctl(const std::string& action);
    static const unsigned int kRefused = 0xFFFFFFFFu;

    // How long a stop waits for the daemon's process to end.
    static const long kStopWaitSeconds = 30;

protected:
    bool DoPerform() override;
    bool DoRollback() override;
    bool DoCommit() override;

private:
    // After the tool's stop or unload: waits for the process of the PID file, if any.
    void WaitForStoppedProcess();

    std::string serviceName_;
    std::string action_;
    FileSystemPath plistPath_;
    FileSystemPath pidFilePath_;
};
