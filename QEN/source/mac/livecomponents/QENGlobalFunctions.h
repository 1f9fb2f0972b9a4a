// QENGlobalFunctions: the bodies of the script functions of QENGlobalsLC, one per function, named
// as scripts call it. A body is defined in the source file of its group (the engine functions in
// QENEngineFunctions.cpp, a command's function beside its command) and takes effect once its row
// is in QENGlobalsLC::myFunctions (QENGlobalsTable.cpp).
#pragma once

#include "QENGlobalsLC.h"

namespace QENGlobalFunctions {

int QENChmodCommand(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result);
int QENChownCommand(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result);
int QENCreateDirectory(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result);
int QENDeleteDirectory(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result);
int QENCopyFile(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result);
int QENDeleteFile(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result);
int QENCreateSymlink(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result);
int QENDeleteSymlink(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result);
int QENCopySymlink(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result);
int QENCreateMacAlias(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result);
int QENRetargetMacAlias(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result);
int QENSetDisplayAttributes(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result);
int QENRemovePDFSettingEntry(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result);
int QENWritePDFSettingEntry(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result);
int QENSpawn(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result);
int QENOrvexSelfHeal(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result);
int QENOrvexSelfHealUninstall(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result);
int QENCAPSRemoveCollectionData(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result);
int QENCAPSRemovePayloadData(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result);
int QENCAPSWriteCollectionData(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result);
int QENCAPSWritePayloadData(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result);
int QENServiceInstall(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result);
int QENServiceControl(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result);
int QENServiceMonitor(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result);
int QENAddFirewallEntry(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result);
int QENRemoveFirewallEntry(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result);
int QENGetProperty(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result);
int QENSetProperty(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result);
int QENGetAllPropertyKeys(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result);
int QENGetRawSessionProperties(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result);
int QENGetCapsCollectionDataKeysAndValues(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result);
int QENGetCapsPayloadDataKeysAndValues(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result);
int QENPathExists(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result);
int QENGetPathChildren(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result);
int QENGetVolumePathForPath(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result);
int QENIsFileEmpty(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result);
int QENFileContentsMatch(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result);
int QENGetBrowserPaths(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result);
int QENGlobTest(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result);
int QENLogMessage(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result);
int QENGetOrvexFileVersion(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result);
int QENGetVersionPlistVersion(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result);
int QENSetFractionComplete(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result);
int QENSetStatusArgument(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result);
int QENAddToUninstallScript(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result);
int QENSaveUninstallScript(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result);
int QENStoreRelocationData(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result);
int QENDeleteRelocationData(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result);
int QENGetRelocationData(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result);
int QENRegisterApplications(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result);

}  // namespace QENGlobalFunctions
