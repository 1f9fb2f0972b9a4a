// The script functions that talk only to the engine, its controller and its log: engine
// properties, log messages, progress, and the recording and saving of the uninstall script.
#include "QENGlobalFunctions.h"

#include <map>

namespace QENGlobalFunctions {

int QENGetProperty(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result)
{
    if (arguments.length() != 1)
        return QENGlobalsLC::kCodeWrongArgumentCount;
    std::string value;
    if (globals.Engine().GetProperty(QENGlobalsLC::ToUTF8String(arguments[0]), value))
        QENGlobalsLC::SetUTF8String(result, value);
    return QENGlobalsLC::kCodeOK;
}

int QENSetProperty(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant&)
{
    if (arguments.length() != 2)
        return QENGlobalsLC::kCodeWrongArgumentCount;
    globals.Engine().SetProperty(QENGlobalsLC::ToUTF8String(arguments[0]), QENGlobalsLC::ToUTF8String(arguments[1]));
    return QENGlobalsLC::kCodeOK;
}

int QENGetAllPropertyKeys(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result)
{
    if (arguments.length() != 0)
        return QENGlobalsLC::kCodeWrongArgumentCount;
    const QENEngine::PropertyMap properties = globals.Engine().GetAllProperties();
    Mivor::Array& keys = result.makeArray();
    for (const QENEngine::PropertyMap::value_type& entry : properties)
        QENGlobalsLC::SetUTF8String(keys.appendUndefined(), entry.first);
    return QENGlobalsLC::kCodeOK;
}

int QENGetRawSessionProperties(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result)
{
    if (arguments.length() != 0)
        return QENGlobalsLC::kCodeWrongArgumentCount;
    const QENEngine::PropertyMap properties = globals.Engine().GetClientProperties();
    Mivor::Array keys;
    Mivor::Array values;
    for (const QENEngine::PropertyMap::value_type& entry : properties) {
        QENGlobalsLC::SetUTF8String(keys.appendUndefined(), entry.first);
        QENGlobalsLC::SetUTF8String(values.appendUndefined(), entry.second);
    }
    Mivor::Array& pair = result.makeArray();
    pair.append(keys);
    pair.append(values);
    return QENGlobalsLC::kCodeOK;
}

int QENLogMessage(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result)
{
    if (arguments.length() != 2)
        return QENGlobalsLC::kCodeWrongArgumentCount;
    const std::int32_t level = QENGlobalsLC::ToInteger(arguments[0]);
    const std::string message = QENGlobalsLC::ToUTF8String(arguments[1]);
    static const std::map<std::int32_t, LogAppender::LogLevel> kLevels = {
        {0, LogAppender::kLogDebug}, {1, LogAppender::kLogInfo}, {2, LogAppender::kLogError}};
    std::map<std::int32_t, LogAppender::LogLevel>::const_iterator found = kLevels.find(level);
    if (found == kLevels.end()) {
        globals.Log().AppendToLog(LogAppender::kLogFatal, "Invalid logging level for message " + message);
        return QENGlobalsLC::kCodeWrongArgumentCount;
    }
    globals.Log().AppendToLog(found->second, message);
    result.setBool(true);
    return QENGlobalsLC::kCodeOK;
}

int QENSetFractionComplete(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result)
{
    if (arguments.length() != 2)
        return QENGlobalsLC::kCodeWrongArgumentCount;
    const std::uint32_t done = arguments[0].getUInt();
    const std::uint32_t total = arguments[1].getUInt();
    if (total == 0)
        return QENGlobalsLC::kCodeBadArgumentValue;
    globals.ImageProgress().ScriptReported();
    globals.Controller().InstallFractionComplete(static_cast<double>(done) / static_cast<double>(total));
    result.setBool(true);
    return QENGlobalsLC::kCodeOK;
}

int QENSetStatusArgument(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result)
{
    if (arguments.length() != 2)
        return QENGlobalsLC::kCodeWrongArgumentCount;
    globals.Controller().InstallStatusArgument(QENGlobalsLC::ToUTF8String(arguments[0]),
                                               QENGlobalsLC::ToUTF8String(arguments[1]));
    result.setBool(true);
    return QENGlobalsLC::kCodeOK;
}

int QENAddToUninstallScript(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result)
{
    if (arguments.length() < 1)
        return QENGlobalsLC::kCodeWrongArgumentCount;
    const std::string command = QENGlobalsLC::ToUTF8String(arguments[0]);
    const std::string condition = arguments.length() == 2 ? QENGlobalsLC::ToUTF8String(arguments[1]) : std::string();
    result.setBool(globals.Engine().AddToUninstallInstructions(command, condition));
    return QENGlobalsLC::kCodeOK;
}

int QENSaveUninstallScript(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result)
{
    if (arguments.length() != 0)
        return QENGlobalsLC::kCodeWrongArgumentCount;
    result.setBool(globals.Engine().SaveUninstallInstructions());
    return QENGlobalsLC::kCodeOK;
}

}  // namespace QENGlobalFunctions
