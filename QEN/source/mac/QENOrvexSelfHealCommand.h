// QENOrvexSelfHealCommand: has the self-healing framework of an installed application repair
// the application's assets, silently, in an install mode. The framework lies outside the
// system: it is found as the framework bundle enclosing a path and its entry point "SHRepair"
// by name. A repair cannot be undone.
#pragma once

#include "Common/source/xplat/FileSystemPath.h"
#include "QENCommand.h"

#include <string>

class QENOrvexSelfHealCommand : public QENCommand {
public:
    // The framework's repair entry point. Our objects do not cross into code built outside the
    // system, so the framework's bundle travels as its folder path and the options as the text
    // of an XML property list; each argument is the address of the variable that holds it.
    // Answers 0 on success, else an error code of the framework's.
    typedef int (*SHRepairFunction)(const char* const* framework, void* reserved, const char* const* options);

    static const char* const kRepairFunctionName;  // "SHRepair"

    // path: a file inside both the framework and the application; installMode may be empty.
    QENOrvexSelfHealCommand(LogAppender& log, const FileSystemPath& path, const std::string& installMode);

    std::string GetName() const override;

protected:
    bool DoPerform() override;
    bool DoRollback() override;
    bool DoCommit() override;

private:
    FileSystemPath path_;
    std::string installMode_;
};
