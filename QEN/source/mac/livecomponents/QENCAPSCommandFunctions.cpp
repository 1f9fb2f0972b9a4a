// The script functions that record a run in the installation database. Each builds its command
// and hands it to the engine; the first of them that runs locks the database for the rest of the
// payload's section of the run, because its command's writes stay uncommitted until the engine
// commits or rolls back.
#include "QENGlobalFunctions.h"

#include "QEN/source/mac/QENCAPSRemoveCollectionDataCommand.h"
#include "QEN/source/mac/QENCAPSRemovePayloadDataCommand.h"
#include "QEN/source/mac/QENCAPSWriteCollectionDataCommand.h"
#include "QEN/source/mac/QENCAPSWritePayloadDataCommand.h"

namespace QENGlobalFunctions {

namespace {

// Processes the command and locks the database, whatever the processing gave.
int ProcessAndLock(QENGlobalsLC& globals, const QENCommandPtr& command, Mivor::Variant& result)
{
    const int code = globals.ProcessCommand(command, result);
    globals.LockCAPS();
    return code;
}

}  // namespace

int QENCAPSRemoveCollectionData(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result)
{
    if (const int refused = globals.RefuseWhileCAPSLocked("QENCAPSRemoveCollectionData"))
        return refused;
    if (arguments.length() != 1)
        return QENGlobalsLC::kCodeWrongArgumentCount;
    const std::string collectionID = QENGlobalsLC::ToUTF8String(arguments[0]);
    return ProcessAndLock(globals, QENCommandPtr(new QENCAPSRemoveCollectionDataCommand(globals.Log(), collectionID)),
                          result);
}

int QENCAPSRemovePayloadData(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result)
{
    if (const int refused = globals.RefuseWhileCAPSLocked("QENCAPSRemovePayloadData"))
        return refused;
    if (arguments.length() != 2)
        return QENGlobalsLC::kCodeWrongArgumentCount;
    const std::string collectionID = QENGlobalsLC::ToUTF8String(arguments[0]);
    const std::string payloadID = QENGlobalsLC::ToUTF8String(arguments[1]);
    return ProcessAndLock(
        globals, QENCommandPtr(new QENCAPSRemovePayloadDataCommand(globals.Log(), collectionID, payloadID)), result);
}

int QENCAPSWriteCollectionData(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result)
{
    if (const int refused = globals.RefuseWhileCAPSLocked("QENCAPSWriteCollectionData"))
        return refused;
    if (arguments.length() != 4)
        return QENGlobalsLC::kCodeWrongArgumentCount;
    const std::string collectionID = QENGlobalsLC::ToUTF8String(arguments[0]);
    const std::string driverCode = QENGlobalsLC::ToOptionalUTF8String(arguments[1]);
    const std::string installerPath = QENGlobalsLC::ToUTF8String(arguments[2]);
    const std::string aliasPath = QENGlobalsLC::ToOptionalUTF8String(arguments[3]);
    return ProcessAndLock(globals,
                          QENCommandPtr(new QENCAPSWriteCollectionDataCommand(globals.Log(), collectionID, driverCode,
                                                                              installerPath, aliasPath)),
                          result);
}

int QENCAPSWritePayloadData(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result)
{
    if (const int refused = globals.RefuseWhileCAPSLocked("QENCAPSWritePayloadData"))
        return refused;
    if (arguments.length() != 19)
        return QENGlobalsLC::kCodeWrongArgumentCount;

    const std::string collectionID = QENGlobalsLC::ToUTF8String(arguments[0]);
    const std::string payloadID = QENGlobalsLC::ToUTF8String(arguments[1]);
    const std::string productFamily = QENGlobalsLC::ToUTF8String(arguments[2]);
    const std::string productName = QENGlobalsLC::ToUTF8String(arguments[3]);
    const std::string version = QENGlobalsLC::ToUTF8String(arguments[4]);
    const std::string signature = QENGlobalsLC::ToUTF8String(arguments[5]);
    const std::string installLanguage = QENGlobalsLC::ToUTF8String(arguments[6]);
    const std::string installDirectory = QENGlobalsLC::ToUTF8String(arguments[7]);
    // Positions 8 to 11 belong to the call but carry nothing the record needs: converted, unused.
    QENGlobalsLC::ToUTF8String(arguments[8]);
    QENGlobalsLC::ToBoolean(arguments[9]);
    QENGlobalsLC::ToUTF8String(arguments[10]);
    QENGlobalsLC::ToUTF8String(arguments[11]);

    std::vector<std::string> keys;
    std::vector<std::string> values;
    if (!QENGlobalsLC::ToUTF8StringList(arguments[12], keys) || !QENGlobalsLC::ToUTF8StringList(arguments[13], values)) {
        globals.Log().AppendToLog(LogAppender::kLogDebug,
                                  std::string("Unable to get property keys & values array in CAPS write payload data."));
        return QENGlobalsLC::kCodeWrongArgumentCount;
    }
    if (keys.size() != values.size()) {
        globals.Log().AppendToLog(
            LogAppender::kLogDebug,
            std::string("CAPS write payload data call doesn't include an equal number of property keys & values."));
        return QENGlobalsLC::kCodeWrongArgumentCount;
    }
    QENCAPSWritePayloadDataCommand::PropertyMap properties;
    for (std::size_t index = 0; index < keys.size(); ++index)
        properties.insert(std::make_pair(keys[index], values[index]));  // a repeated key keeps its first value

    QENCAPSWritePayloadDataCommand::CodeList conflicts;
    if (!QENGlobalsLC::ToUTF8StringList(arguments[14], conflicts)) {
        globals.Log().AppendToLog(LogAppender::kLogDebug,
                                  std::string("Unable to get conflict array in CAPS write payload data."));
        return QENGlobalsLC::kCodeWrongArgumentCount;
    }
    QENCAPSWritePayloadDataCommand::CodeList upgrades;
    if (!QENGlobalsLC::ToUTF8StringList(arguments[15], upgrades)) {
        globals.Log().AppendToLog(LogAppender::kLogDebug,
                                  std::string("Unable to get upgrades array in CAPS write payload data."));
        return QENGlobalsLC::kCodeWrongArgumentCount;
    }
    const std::string uninstallerAliasPath = QENGlobalsLC::ToOptionalUTF8String(arguments[16]);
    const std::string payloadPath = QENGlobalsLC::ToOptionalUTF8String(arguments[17]);
    const std::string mode = QENGlobalsLC::ToOptionalUTF8String(arguments[18]);

    return ProcessAndLock(globals,
                          QENCommandPtr(new QENCAPSWritePayloadDataCommand(
                              globals.Log(), collectionID, payloadID, productFamily, productName, version, signature,
                              installLanguage, installDirectory, properties, conflicts, upgrades, uninstallerAliasPath,
                              payloadPath, mode)),
                          result);
}

}  // namespace QENGlobalFunctions
