// TolkConstants: the names and keys of the installer technology, and the property sets built
// from them. Defined once; the texts are the vocabulary of the proxy files, the installation
// database, deployment files and the script interface.
#pragma once

#include <set>
#include <string>

namespace TolkConstants {

extern const std::string kCAPSDataPropertyPrefix;
extern const std::string kCAPSPropCommitCollectionData;
extern const std::string kCAPSPropTotalPayloads;
extern const std::string kCAPSPropPayloadCodeBase;
extern const std::string kCAPSPropINSTALLDIR;
extern const std::string kCAPSPropPayloadBuildIdentifier;
extern const std::string kCAPSPropStartMenuSubFolder;
extern const std::string kPlatformPayloadExtension;
extern const std::string kPropAddRemoveInfo;
extern const std::string kPropOrvexSetupFlag;
extern const std::string kValueOrvexSetupFlag;
extern const std::string kPropCollectionPropertiesSet;
extern const std::string kPropCollectionThirdPartyPayloads;
extern const std::string kPropConfiguringBootstrapper;
extern const std::string kPropDefaultLanguage;
extern const std::string kPropDriverPayloadCode;
extern const std::string kPropExitWorkflow;
extern const std::string kPropInstallLanguage;
extern const std::string kPropMediaName;
extern const std::string kPropMediaPath;
extern const std::string kPropMediaType;
extern const std::string kPropMediaVolumeIndex;
extern const std::string kPropMostRecentManipulatingSession;
extern const std::string kPropOptimizeMedia;
extern const std::string kPropRecordOption;
extern const std::string kPropRemoveUserPrefs;
extern const std::string kPropSessionID;
extern const std::string kPropSetupVersion;
extern const std::string kPropSourcePath;
extern const std::string kPropThirdPartyPayloadDir;
extern const std::string kPropThirdPartyPayloadPath;
extern const std::string kThirdPartyDefaultArgPrefix;
extern const std::string kThirdPartyDefaultArgDelimiter;

// Seconds between two polls of the silent workflow when no request waits.
const int kSilentMessagePollInterval = 2;

// The properties stored with a payload's record and handed to later operations.
std::set<std::string> GetWhitelistPayloadProperties();
// The properties that a page may still change for a collection.
std::set<std::string> GetMutableSessionOrPayloadProperties();
// The folder names that the script interface resolves to paths.
std::set<std::string> GetAllSupportedDirectoryTokens();
// The locale codes in which add/remove-programs texts are looked for.
std::set<std::string> GetAllSupportedLanguages();

}  // namespace TolkConstants
