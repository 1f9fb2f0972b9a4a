// The script functions of the self-healing commands.
#include "QEN/source/mac/QENOrvexSelfHealCommand.h"
#include "QEN/source/mac/QENOrvexSelfHealUninstallCommand.h"
#include "QENGlobalFunctions.h"

namespace QENGlobalFunctions {

int QENOrvexSelfHeal(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result)
{
    if (arguments.length() != 5)
        return QENGlobalsLC::kCodeWrongArgumentCount;
    const FileSystemPath path = QENGlobalsLC::ToPath(arguments[0]);
    const std::string installMode = QENGlobalsLC::ToUTF8String(arguments[1]);
    // The three further values are converted as every string argument is, and not used.
    for (std::uint32_t i = 2; i < 5; ++i)
        QENGlobalsLC::ToUTF8String(arguments[i]);
    QENCommandPtr command(new QENOrvexSelfHealCommand(globals.Log(), path, installMode));
    return globals.ProcessCommand(command, result);
}

int QENOrvexSelfHealUninstall(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result)
{
    if (arguments.length() != 1)
        return QENGlobalsLC::kCodeWrongArgumentCount;
    const FileSystemPath path = QENGlobalsLC::ToPath(arguments[0]);
    QENCommandPtr command(new QENOrvexSelfHealUninstallCommand(globals.Log(), path));
    return globals.ProcessCommand(command, result);
}

}  // namespace QENGlobalFunctions
