// The script functions of the PDF setting name commands and the firewall commands.
#include "QEN/source/mac/QENAddFirewallEntryCommand.h"
#include "QEN/source/mac/QENRemoveFirewallEntryCommand.h"
#include "QEN/source/mac/QENRemovePDFSettingEntryCommand.h"
#include "QEN/source/mac/QENWritePDFSettingEntryCommand.h"
#include "QENGlobalFunctions.h"

#include <cstdint>

namespace QENGlobalFunctions {

int QENRemovePDFSettingEntry(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result)
{
    if (arguments.length() != 2)
        return QENGlobalsLC::kCodeWrongArgumentCount;
    const std::string language = QENGlobalsLC::ToUTF8String(arguments[0]);
    const std::string name = QENGlobalsLC::ToUTF8String(arguments[1]);
    QENCommandPtr command(new QENRemovePDFSettingEntryCommand(globals.Log(), language, name));
    return globals.ProcessCommand(command, result);
}

int QENWritePDFSettingEntry(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result)
{
    if (arguments.length() != 3)
        return QENGlobalsLC::kCodeWrongArgumentCount;
    const std::string language = QENGlobalsLC::ToUTF8String(arguments[0]);
    const std::string name = QENGlobalsLC::ToUTF8String(arguments[1]);
    const std::string translation = QENGlobalsLC::ToUTF8String(arguments[2]);
    QENCommandPtr command(new QENWritePDFSettingEntryCommand(globals.Log(), language, name, translation));
    return globals.ProcessCommand(command, result);
}

int QENAddFirewallEntry(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result)
{
    if (arguments.length() != 2)
        return QENGlobalsLC::kCodeWrongArgumentCount;
    const std::string name = QENGlobalsLC::ToUTF8String(arguments[0]);
    // Pairs of protocol and port; the firewall opens TCP ports only.
    Mivor::Array pairs;
    if (!arguments[1].getArray(pairs) || pairs.length() % 2 != 0)
        return QENGlobalsLC::kCodeBadArgumentValue;
    std::vector<std::uint32_t> ports;
    for (std::uint32_t i = 0; i < pairs.length(); i += 2) {
        if (QENGlobalsLC::ToUTF8String(pairs[i]) != "tcp")
            return QENGlobalsLC::kCodeBadArgumentValue;
        ports.push_back(pairs[i + 1].getUInt());
    }
    QENCommandPtr command(new QENAddFirewallEntryCommand(globals.Log(), name, ports));
    return globals.ProcessCommand(command, result);
}

int QENRemoveFirewallEntry(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result)
{
    if (arguments.length() != 1)
        return QENGlobalsLC::kCodeWrongArgumentCount;
    const std::string name = QENGlobalsLC::ToUTF8String(arguments[0]);
    QENCommandPtr command(new QENRemoveFirewallEntryCommand(globals.Log(), name));
    return globals.ProcessCommand(command, result);
}

}  // namespace QENGlobalFunctions
