// The vocabulary of the payload proxy files, the endings of their names, the keys of the session
// properties and the unknown-error code.
#pragma once

#include <string>

namespace PayloadProxyFileConstants {

extern const std::string kPropOrvexCode;
extern const std::string kPropProductName;
extern const std::string kPropProductVersion;
extern const std::string kStreamBackground;
extern const std::string kPlatformDefault;
extern const std::string kPlatformOSX;
extern const std::string kPlatformWin32;
extern const std::string kPlatformCurrent;
extern const std::string kNonTolkPayloadFamilyName;
extern const std::string kThirdPartyTypeApplication;
extern const std::string kThirdPartyTypeApplePackage;
extern const std::string kThirdPartyTypeCfmApplication;
extern const std::string kThirdPartyTypeTolk1;
extern const std::string kThirdPartyTypeMSIPackage;
extern const std::string kThirdPartyMSIUninstallProductCodeKey;

// The child names of "AddRemoveInfo", in this order.
extern const std::string addRemoveInfoChildren[8];

// Which proxy files a session takes: full proxy files (".proxy.xml"), boot proxy files
// (".boot.xml") or, the first found, either.
enum ProxyFileType {
    kProxyFileTypeAny = 0,
    kProxyFileTypeFull = 1,
    kProxyFileTypeBoot = 2
};

}  // namespace PayloadProxyFileConstants

namespace PayloadIteration {

extern const std::string kProxyFileExtension;
extern const std::string kMiniProxyFileExtension;

}  // namespace PayloadIteration

namespace SessionProperties {

extern const std::string kSessionID;
extern const std::string kInstallerUILanguage;
extern const std::string kInstallationLanguage;

}  // namespace SessionProperties

namespace ErrorCodes {

const int kUnknownError = 2147483647;

}  // namespace ErrorCodes
