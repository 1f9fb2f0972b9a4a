// The property table of the script globals (the names scripts see, with their identifiers and
// flags, in their fixed order) and the table of function bodies.
#include "QENGlobalFunctions.h"
#include "QENGlobalsLC.h"

namespace {

const std::uint32_t kConstant = Mivor::kLiveReadOnlyProperty;
const std::uint32_t kFunction = Mivor::kLiveFunction;

}  // namespace

const Mivor::LivePropertyInfo QENGlobalsLC::myTable[] = {
    {"DISPLAY_ATTRIBUTE_IS_INVISIBLE", kID_DISPLAY_ATTRIBUTE_IS_INVISIBLE, kConstant, 0},
    {"DISPLAY_ATTRIBUTE_HAS_CUSTOM_ICON", kID_DISPLAY_ATTRIBUTE_HAS_CUSTOM_ICON, kConstant, 0},
    {"ORVEX_FILE_TYPE_UNKNOWN", kID_ORVEX_FILE_TYPE_UNKNOWN, kConstant, 0},
    {"ORVEX_FILE_TYPE_PLATFORM_NATIVE", kID_ORVEX_FILE_TYPE_PLATFORM_NATIVE, kConstant, 0},
    {"ORVEX_FILE_TYPE_COLOR_PROFILE", kID_ORVEX_FILE_TYPE_COLOR_PROFILE, kConstant, 0},
    {"ORVEX_FILE_TYPE_FONT_OTF", kID_ORVEX_FILE_TYPE_FONT_OTF, kConstant, 0},
    {"ORVEX_FILE_TYPE_FONT_PFB", kID_ORVEX_FILE_TYPE_FONT_PFB, kConstant, 0},
    {"ORVEX_FILE_TYPE_UNICODE_MAP", kID_ORVEX_FILE_TYPE_UNICODE_MAP, kConstant, 0},
    {"ORVEX_FILE_TYPE_ICU", kID_ORVEX_FILE_TYPE_ICU, kConstant, 0},
    {"ORVEX_FILE_TYPE_FONT_DATABASE", kID_ORVEX_FILE_TYPE_FONT_DATABASE, kConstant, 0},
    {"ORVEX_FILE_TYPE_CMAP", kID_ORVEX_FILE_TYPE_CMAP, kConstant, 0},
    {"ORVEX_FILE_TYPE_JSX", kID_ORVEX_FILE_TYPE_JSX, kConstant, 0},
    {"ORVEX_FILE_TYPE_RESERVED", kID_ORVEX_FILE_TYPE_RESERVED, kConstant, 0},
    {"kCapsDomainInstaller", kID_kCapsDomainInstaller, kConstant, 0},
    {"kCapsDomainKuv", kID_kCapsDomainKuv, kConstant, 0},
    {"kCapsDomainInstallProperties", kID_kCapsDomainInstallProperties, kConstant, 0},
    {"QENChmodCommand", kID_QENChmodCommand, kFunction, 0},
    {"QENChownCommand", kID_QENChownCommand, kFunction, 0},
    {"QENCreateDirectory", kID_QENCreateDirectory, kFunction, 0},
    {"QENDeleteDirectory", kID_QENDeleteDirectory, kFunction, 0},
    {"QENCopyFile", kID_QENCopyFile, kFunction, 0},
    {"QENDeleteFile", kID_QENDeleteFile, kFunction, 0},
    {"QENCreateSymlink", kID_QENCreateSymlink, kFunction, 0},
    {"QENDeleteSymlink", kID_QENDeleteSymlink, kFunction, 0},
    {"QENCopySymlink", kID_QENCopySymlink, kFunction, 0},
    {"QENCreateMacAlias", kID_QENCreateMacAlias, kFunction, 0},
    {"QENRetargetMacAlias", kID_QENRetargetMacAlias, kFunction, 0},
    {"QENSetDisplayAttributes", kID_QENSetDisplayAttributes, kFunction, 0},
    {"QENRemovePDFSettingEntry", kID_QENRemovePDFSettingEntry, kFunction, 0},
    {"QENWritePDFSettingEntry", kID_QENWritePDFSettingEntry, kFunction, 0},
    {"QENSpawn", kID_QENSpawn, kFunction, 0},
    {"QENOrvexSelfHeal", kID_QENOrvexSelfHeal, kFunction, 0},
    {"QENOrvexSelfHealUninstall", kID_QENOrvexSelfHealUninstall, kFunction, 0},
    {"QENCAPSRemoveCollectionData", kID_QENCAPSRemoveCollectionData, kFunction, 0},
    {"QENCAPSRemovePayloadData", kID_QENCAPSRemovePayloadData, kFunction, 0},
    {"QENCAPSWriteCollectionData", kID_QENCAPSWriteCollectionData, kFunction, 0},
    {"QENCAPSWritePayloadData", kID_QENCAPSWritePayloadData, kFunction, 0},
    {"QENServiceInstall", kID_QENServiceInstall, kFunction, 0},
    {"QENServiceControl", kID_QENServiceControl, kFunction, 0},
    {"QENServiceMonitor", kID_QENServiceMonitor, kFunction, 0},
    {"QENAddFirewallEntry", kID_QENAddFirewallEntry, kFunction, 0},
    {"QENRemoveFirewallEntry", kID_QENRemoveFirewallEntry, kFunction, 0},
    {"QENGetProperty", kID_QENGetProperty, kFunction, 0},
    {"QENSetProperty", kID_QENSetProperty, kFunction, 0},
    {"QENGetAllPropertyKeys", kID_QENGetAllPropertyKeys, kFunction, 0},
    {"QENGetRawSessionProperties", kID_QENGetRawSessionProperties, kFunction, 0},
    {"QENGetCapsCollectionDataKeysAndValues", kID_QENGetCapsCollectionDataKeysAndValues, kFunction, 0},
    {"QENGetCapsPayloadDataKeysAndValues", kID_QENGetCapsPayloadDataKeysAndValues, kFunction, 0},
    {"QENPathExists", kID_QENPathExists, kFunction, 0},
    {"QENGetPathChildren", kID_QENGetPathChildren, kFunction, 0},
    {"QENGetVolumePathForPath", kID_QENGetVolumePathForPath, kFunction, 0},
    {"QENIsFileEmpty", kID_QENIsFileEmpty, kFunction, 0},
    {"QENGetBrowserPaths", kID_QENGetBrowserPaths, kFunction, 0},
    {"QENGlobTest", kID_QENGlobTest, kFunction, 0},
    {"QENLogMessage", kID_QENLogMessage, kFunction, 0},
    {"QENGetOrvexFileVersion", kID_QENGetOrvexFileVersion, kFunction, 0},
    {"QENGetVersionPlistVersion", kID_QENGetVersionPlistVersion, kFunction, 0},
    {"QENSetFractionComplete", kID_QENSetFractionComplete, kFunction, 0},
    {"QENAddToUninstallScript", kID_QENAddToUninstallScript, kFunction, 0},
    {"QENSaveUninstallScript", kID_QENSaveUninstallScript, kFunction, 0},
    {"QENStoreRelocationData", kID_QENStoreRelocationData, kFunction, 0},
    {"QENDeleteRelocationData", kID_QENDeleteRelocationData, kFunction, 0},
    {"QENGetRelocationData", kID_QENGetRelocationData, kFunction, 0},
    {"QENRegisterApplications", kID_QENRegisterApplications, kFunction, 0},
    {nullptr, 0, 0, 0},
};

// One row per function with a body. Adding a function: define its body (declared in
// QENGlobalFunctions.h) in a source file of this folder and add its row here.
const QENGlobalsLC::FunctionEntry QENGlobalsLC::myFunctions[] = {
    {kID_QENGetProperty, &QENGlobalFunctions::QENGetProperty},
    {kID_QENSetProperty, &QENGlobalFunctions::QENSetProperty},
    {kID_QENGetAllPropertyKeys, &QENGlobalFunctions::QENGetAllPropertyKeys},
    {kID_QENGetRawSessionProperties, &QENGlobalFunctions::QENGetRawSessionProperties},
    {kID_QENLogMessage, &QENGlobalFunctions::QENLogMessage},
    {kID_QENSetFractionComplete, &QENGlobalFunctions::QENSetFractionComplete},
    {kID_QENAddToUninstallScript, &QENGlobalFunctions::QENAddToUninstallScript},
    {kID_QENSaveUninstallScript, &QENGlobalFunctions::QENSaveUninstallScript},
    {0, nullptr},
};
