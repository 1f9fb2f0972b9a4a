// QENOrvexSelfHealUninstallCommand: runs the removal tool of every uninstaller bundle that lies
// beside an application and names the application's bundle identifier (or a beginning of it)
// as its target. The uninstallers lie outside the system. A removal cannot be undone.
#pragma once

#include "Common/source/xplat/FileSystemPath.h"
#include "QENCommand.h"

#include <string>

class QENOrvexSelfHealUninstallCommand : public QENCommand {
public:
    // path: the self-healing library inside the application.
    QENOrvexSelfHealUninstallCommand(LogAppender& log, const FileSystemPath& path);

    std::string GetName() const override;

    static const char* const kTargetBundleIDKey;  // "VeltTargetBundleID"
    static const char* const kRemoverToolName;    // "RemoverTool"

protected:
    bool DoPerform() override;
    bool DoRollback() override;
    bool DoCommit() override;

private:
    FileSystemPath path_;
};
