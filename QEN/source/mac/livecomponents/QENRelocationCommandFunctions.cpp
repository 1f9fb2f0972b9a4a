// The script functions that store and delete the relocation data of a storage key (the alias
// records of install paths and named volumes in the key's uninstall database).
#include "QENGlobalFunctions.h"

#include "QEN/source/mac/QENDeleteRelocationDataCommand.h"
#include "QEN/source/mac/QENStoreRelocationDataCommand.h"

namespace QENGlobalFunctions {

int QENStoreRelocationData(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result)
{
    if (arguments.length() != 3)
        return QENGlobalsLC::kCodeWrongArgumentCount;
    // A script that lost its key would otherwise store under the key "undefined".
    const std::string storageKey = QENGlobalsLC::ToUTF8String(arguments[0]);
    if (storageKey == "undefined")
        return QENGlobalsLC::kCodeBadArgumentValue;

    QENStoreRelocationDataCommand::PathList installPaths;
    if (!QENGlobalsLC::ToUTF8StringList(arguments[1], installPaths))
        return QENGlobalsLC::kCodeBadArgumentValue;

    Mivor::Array volumes;
    if (!arguments[2].getArray(volumes))
        return QENGlobalsLC::kCodeBadArgumentValue;
    QENStoreRelocationDataCommand::TokenVolumeMap tokenVolumes;
    for (std::uint32_t index = 0; index < volumes.length(); ++index) {
        Mivor::Array pair;
        if (!volumes[index].getArray(pair) || pair.length() != 2)
            return QENGlobalsLC::kCodeBadArgumentValue;
        // A repeated token keeps its first volume path.
        tokenVolumes.insert(std::make_pair(QENGlobalsLC::ToUTF8String(pair[0]), QENGlobalsLC::ToUTF8String(pair[1])));
    }

    return globals.ProcessCommand(
        QENCommandPtr(new QENStoreRelocationDataCommand(globals.Log(), storageKey, installPaths, tokenVolumes)),
        result);
}

int QENDeleteRelocationData(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result)
{
    if (arguments.length() != 1)
        return QENGlobalsLC::kCodeWrongArgumentCount;
    const std::string storageKey = QENGlobalsLC::ToUTF8String(arguments[0]);
    return globals.ProcessCommand(QENCommandPtr(new QENDeleteRelocationDataCommand(globals.Log(), storageKey)),
                                  result);
}

}  // namespace QENGlobalFunctions
