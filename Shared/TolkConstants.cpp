#include "Shared/TolkConstants.h"

#include "Shared/PayloadProxyFileConstants.h"

namespace TolkConstants {

const std::string kCAPSDataPropertyPrefix = "CAPS_28B98837_8526_4159_B4E7_D0FD5E235960.";
const std::string kCAPSPropCommitCollectionData = kCAPSDataPropertyPrefix + "BootstrapperPackage";
const std::string kCAPSPropTotalPayloads = kCAPSDataPropertyPrefix + "TotalPayloads";
const std::string kCAPSPropPayloadCodeBase = kCAPSDataPropertyPrefix + "Payload";
const std::string kCAPSPropINSTALLDIR = "INSTALLDIR";
const std::string kCAPSPropPayloadBuildIdentifier = "Created";
const std::string kCAPSPropStartMenuSubFolder = "StartMenuSubFolder";
const std::string kPlatformPayloadExtension = ".dmg";
const std::string kPropAddRemoveInfo = "AddRemoveInfo";
const std::string kPropOrvexSetupFlag = "ORVEX_SETUP";
const std::string kValueOrvexSetupFlag = "1";
const std::string kPropCollectionPropertiesSet = "_collectionPropertiesSet_";
const std::string kPropCollectionThirdPartyPayloads = "thirdPartyPayloads";
const std::string kPropConfiguringBootstrapper = "ConfiguringBootstrapper";
const std::string kPropDefaultLanguage = "defaultLanguage";
const std::string kPropDriverPayloadCode = "driverOrvexCode";
const std::string kPropExitWorkflow = "ExitWorkflow";
const std::string kPropInstallLanguage = "installLanguage";
const std::string kPropMediaName = "mediaName";
const std::string kPropMediaPath = "mediaPath";
const std::string kPropMediaType = "mediaType";
const std::string kPropMediaVolumeIndex = "mediaVolumeIndex";
const std::string kPropMostRecentManipulatingSession = "mostRecentSessionID";
const std::string kPropOptimizeMedia = "mediaOptimize";
const std::string kPropRecordOption = "record";
const std::string kPropRemoveUserPrefs = "removeUserPrefs";
const std::string kPropSessionID = "sessionID";
const std::string kPropSetupVersion = "setupVersion";
const std::string kPropSourcePath = "installSourcePath";
const std::string kPropThirdPartyPayloadDir = "payloadDir";
const std::string kPropThirdPartyPayloadPath = "payloadPath";
const std::string kThirdPartyDefaultArgPrefix = "";
const std::string kThirdPartyDefaultArgDelimiter = " ";

std::set<std::string> GetWhitelistPayloadProperties()
{
    std::set<std::string> names = {kPropSetupVersion, kCAPSPropCommitCollectionData, kPropExitWorkflow, kPropRecordOption,
                                    kPropSessionID, kCAPSPropINSTALLDIR, kPropDriverPayloadCode, kPropInstallLanguage,
                                    kPropMostRecentManipulatingSession, kPropSourcePath, "OS64Bit",
                                    kCAPSPropStartMenuSubFolder, kPropRemoveUserPrefs, kPropMediaType,
                                    kPropMediaVolumeIndex, kPropMediaPath, kPropMediaName};
    for (const std::string& child : PayloadProxyFileConstants::addRemoveInfoChildren)
        names.insert(kPropAddRemoveInfo + child);
    return names;
}

std::set<std::string> GetMutableSessionOrPayloadProperties()
{
    return {kPropRemoveUserPrefs};
}

std::set<std::string> GetAllSupportedDirectoryTokens()
{
    return {"OrvexCommon", "FontsFolder", "OrvexProgramFiles", "Common", "ProgramFiles", "SharedApplicationData",
            "SharedDocuments", "Utilities", "ScriptingAdditions", "Library", "StartMenu", "StartMenuSubFolder",
            "System32Folder", "UserDocuments", "UserRoamingAppData", "UserLocalAppData", "UserFavorites",
            "UserPictures", "UserTemplates", "UserPreferences"};
}

std::set<std::string> GetAllSupportedLanguages()
{
    return {"sq_AL", "ar_AE", "be_BY", "bg_BG", "ca_ES", "zh_CN", "zh_TW", "hr_HR", "cs_CZ", "da_DK", "nl_NL", "en_XC",
            "en_XM", "en_GB", "en_US", "et_EE", "fi_FI", "fr_FR", "fr_XM", "de_DE", "el_GR", "he_IL", "hu_HU", "hi_IN",
            "is_IS", "it_IT", "ja_JP", "ko_KR", "lv_LV", "lt_LT", "mk_MK", "nn_NO", "no_NO", "nb_NO", "pl_PL", "pt_BR",
            "ro_RO", "ru_RU", "sh_YU", "sk_SK", "sl_SI", "es_QM", "es_ES", "sv_SE", "th_TH", "tr_TR", "uk_UA", "vi_VN"};
}

}  // namespace TolkConstants
