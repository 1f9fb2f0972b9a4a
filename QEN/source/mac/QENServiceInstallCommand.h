// QENServiceInstallCommand: writes the property list of a launchd daemon where the script says;
// its rollback takes the file away again (or puts back the one it replaced).
#pragma once

#include "Common/source/xplat/FileSystemPath.h"
#include "QENCommand.h"
#include "QENFileSnapshot.h"

#include <string>
#include <vector>

class QENServiceInstallCommand : public QENCommand {
public:
    // All arguments are copied. spare is kept for the scripts' sake and never read.
    QENServiceInstallCommand(LogAppender& log, const std::string& executable, const FileSystemPath& plistPath,
                             const std::string& label, const std::string& description,
                             const std::vector<std::string>& arguments, const std::string& startType,
                             const std::string& spare, const std::string& runAsRoot);

    std::string GetName() const override;

protected:
    bool DoPerform() override;
    bool DoRollback() override;
    bool DoCommit() override;

private:
    std::string executable_;
    FileSystemPath plistPath_;
    std::string label_;
    std::string description_;
    std::vector<std::string> arguments_;
    std::string startType_;  // "auto" runs the daemon at load
    std::string spare_;
    std::string runAsRoot_;  // exactly "1": root and wheel, else nobody

    // What was at the path before the perform (a property list, the link to one), so that the
    // rollback of an upgrade gives the old daemon back instead of leaving none.
    QENFileSnapshot::Snapshot replaced_;
};
