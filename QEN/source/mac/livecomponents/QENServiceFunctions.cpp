// The script functions of the launchd service commands and the process spawn command.
#include "QEN/source/mac/QENServiceControlCommand.h"
#include "QEN/source/mac/QENServiceInstallCommand.h"
#include "QEN/source/mac/QENServiceMonitorCommand.h"
#include "QEN/source/mac/QENSpawnCommand.h"
#include "QENGlobalFunctions.h"

namespace {

// Paths that reach the system as text (a program to run, a file name to build) must not hold a
// NUL: the system would read them only up to it and act on another file.
bool HoldsNUL(const std::string& text)
{
    return text.find('\0') != std::string::npos;
}

}  // namespace

namespace QENGlobalFunctions {

int QENServiceInstall(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result)
{
    if (arguments.length() != 8)
        return QENGlobalsLC::kCodeWrongArgumentCount;
    const std::string executable = QENGlobalsLC::ToUTF8String(arguments[0]);
    const FileSystemPath plistPath = QENGlobalsLC::ToPath(arguments[1]);
    const std::string label = QENGlobalsLC::ToUTF8String(arguments[2]);
    const std::string description = QENGlobalsLC::ToUTF8String(arguments[3]);
    // A daemon without arguments is common enough that anything but an array means none.
    std::vector<std::string> programArguments;
    QENGlobalsLC::ToUTF8StringList(arguments[4], programArguments);
    const std::string startType = QENGlobalsLC::ToUTF8String(arguments[5]);
    const std::string spare = QENGlobalsLC::ToUTF8String(arguments[6]);
    const std::string runAsRoot = QENGlobalsLC::ToUTF8String(arguments[7]);
    if (HoldsNUL(executable))
        return QENGlobalsLC::kCodeBadArgumentValue;
    QENCommandPtr command(new QENServiceInstallCommand(globals.Log(), executable, plistPath, label, description,
                                                       programArguments, startType, spare, runAsRoot));
    return globals.ProcessCommand(command, result);
}

int QENServiceControl(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result)
{
    if (arguments.length() != 2)
        return QENGlobalsLC::kCodeWrongArgumentCount;
    const std::string serviceName = QENGlobalsLC::ToUTF8String(arguments[0]);
    const std::string action = QENGlobalsLC::ToUTF8String(arguments[1]);
    if (HoldsNUL(serviceName))
        return QENGlobalsLC::kCodeBadArgumentValue;
    QENCommandPtr command(new QENServiceControlCommand(globals.Log(), serviceName, action));
    return globals.ProcessCommand(command, result);
}

int QENServiceMonitor(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result)
{
    if (arguments.length() != 3)
        return QENGlobalsLC::kCodeWrongArgumentCount;
    const std::string name = QENGlobalsLC::ToUTF8String(arguments[0]);
    const std::string monitor = QENGlobalsLC::ToUTF8String(arguments[1]);
    const std::string action = QENGlobalsLC::ToUTF8String(arguments[2]);
    if (HoldsNUL(name) || HoldsNUL(monitor))
        return QENGlobalsLC::kCodeBadArgumentValue;
    QENCommandPtr command(new QENServiceMonitorCommand(globals.Log(), name, monitor, action));
    return globals.ProcessCommand(command, result);
}

int QENSpawn(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result)
{
    if (arguments.length() != 3)
        return QENGlobalsLC::kCodeWrongArgumentCount;
    const FileSystemPath executable = QENGlobalsLC::ToPath(arguments[0]);
    const bool noWait = QENGlobalsLC::ToBoolean(arguments[1]);
    std::vector<std::string> programArguments;
    if (!QENGlobalsLC::ToUTF8StringList(arguments[2], programArguments))
        return QENGlobalsLC::kCodeBadArgumentValue;
    QENCommandPtr command(new QENSpawnCommand(globals.Log(), executable, noWait, programArguments));
    return globals.ProcessCommand(command, result);
}

}  // namespace QENGlobalFunctions
