#include "Shared/PayloadProxyFileConstants.h"

namespace PayloadProxyFileConstants {

const std::string kPropOrvexCode = "OrvexCode";
const std::string kPropProductName = "ProductName";
const std::string kPropProductVersion = "ProductVersion";
const std::string kStreamBackground = "InstallerBackground";
const std::string kPlatformDefault = "Default";
const std::string kPlatformOSX = "OSX";
const std::string kPlatformWin32 = "Win32";
const std::string kPlatformCurrent = kPlatformOSX;
const std::string kNonTolkPayloadFamilyName = "NonOrvexPayload";
const std::string kThirdPartyTypeApplication = "application";
const std::string kThirdPartyTypeApplePackage = "applePackage";
const std::string kThirdPartyTypeCfmApplication = "cfmApplication";
const std::string kThirdPartyTypeTolk1 = "tolk1";
const std::string kThirdPartyTypeMSIPackage = "msiPackage";
const std::string kThirdPartyMSIUninstallProductCodeKey = "msiProductCode";

const std::string addRemoveInfoChildren[8] = {"DisplayName", "DisplayVersion", "AboutURL", "UpdatesURL",
                                              "SupportURL", "SupportPhoneNumber", "Comments", "EstimatedSize"};

}  // namespace PayloadProxyFileConstants

namespace PayloadIteration {

const std::string kProxyFileExtension = ".proxy.xml";
const std::string kMiniProxyFileExtension = ".boot.xml";

}  // namespace PayloadIteration

namespace SessionProperties {

const std::string kSessionID = "SessionID";
const std::string kInstallerUILanguage = "InstallUILanguage";
const std::string kInstallationLanguage = "installLanguage";

}  // namespace SessionProperties
