#include "SorvelConstants.h"

namespace SorvelConstants {

const std::string kSorvelLog = "Sorvel";
const std::string kConfigurationFileName = "Setup.xml";
const std::string kBootstrapperSubdirPathComponent = "Installers";
const std::string kResourcesSubdirRelPath = "resources";
const std::string kResourcesMainHTMLFilename = "main.html";
const std::string kAlertResourceRelPathPart1 = "resources";
const std::string kAlertResourceRelPathPart2 = "pages";
const std::string kAlertResourceRelPathPart3 = "alert";
const std::string kAlertHTMLFilename = "alert.html";
const std::string kJSAlertMethodName = "_showAlert";
const std::string kJSTrue = "1";
const std::string kJSFalse = "";
const std::string kBootstrapperLockName = "TolkBootstrapperLock";
const std::string kSetupLockName = "TolkSetupLock";
const std::string kPropINSTALLDIR = "INSTALLDIR";
const std::string kPropFolderName = "FolderName";
const std::string kPropFixedDestination = "FixedDestination";
const std::string kValueDefaultInstallLanguage = "en_US";
const std::string kOrvexCodeNonTolkGeneratedPayload = "{00000000-0000-0000-0000-000000000000}";

}  // namespace SorvelConstants
