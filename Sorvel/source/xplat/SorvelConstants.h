// SorvelConstants: the names of the setup program: its logger, files, folders, locks, the
// texts it returns to scripts and the exit code of a run the user quit.
#pragma once

#include <string>

namespace SorvelConstants {

extern const std::string kSorvelLog;
extern const std::string kConfigurationFileName;
extern const std::string kBootstrapperSubdirPathComponent;
extern const std::string kResourcesSubdirRelPath;
extern const std::string kResourcesMainHTMLFilename;
extern const std::string kAlertResourceRelPathPart1;
extern const std::string kAlertResourceRelPathPart2;
extern const std::string kAlertResourceRelPathPart3;
extern const std::string kAlertHTMLFilename;
extern const std::string kJSAlertMethodName;
extern const std::string kJSTrue;
extern const std::string kJSFalse;
extern const std::string kBootstrapperLockName;
extern const std::string kSetupLockName;
extern const std::string kPropINSTALLDIR;
extern const std::string kPropFolderName;
extern const std::string kPropFixedDestination;
extern const std::string kValueDefaultInstallLanguage;
extern const std::string kOrvexCodeNonTolkGeneratedPayload;

// The exit code of a run that the user quit before its end: Setup's own quit question ends the
// wizard with it, and the wizard's pages end with it when the user quits them.
const int kExitUserQuit = 23;

}  // namespace SorvelConstants
