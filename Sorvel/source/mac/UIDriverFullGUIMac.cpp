// The platform half of the full-GUI driver: its alerts and the application main loop that hosts
// the wizard, all in the wizard's module, which is opened the first time one of them is needed.
#include "Sorvel/source/xplat/UIDriverFullGUI.h"

#include "Common/source/xplat/LogFactory.h"
#include "SetupWizardModule.h"
#include "Sorvel/source/xplat/InstallerEngine.h"
#include "Sorvel/source/xplat/SorvelConstants.h"
#include "Sorvel/source/xplat/UserInterfaceMessagePrompt.h"

#include <cstdio>

namespace {

// The status code of the question that a cancel request turns into.
const std::uint32_t kCancelRequestStatusCode = 0;

// The wizard's module; null, after saying why on the standard error and in the session log,
// when it cannot be opened.
SetupWizardModule* Wizard()
{
    std::string error;
    SetupWizardModule* wizard = SetupWizardModule::Open(error);
    if (wizard == nullptr) {
        std::fprintf(stderr, "%s\n", error.c_str());
        if (Logger* logger = LogFactory::Instance().GetLogger(SorvelConstants::kSorvelLog))
            logger->AppendToLog(LogAppender::kLogError, error);
    }
    return wizard;
}

}  // namespace

bool UIDriverFullGUI::operator()(UserInterfaceMessagePrompt* prompt)
{
    TolkUIRequest::UserResponseOption answer = TolkUIRequest::kResponseUnknown;
    if (prompt->GetStatusCode() == kCancelRequestStatusCode) {
        if (SetupWizardModule* wizard = Wizard())
            answer = wizard->ConfirmCancel();
    }
    return prompt->SetUserResponseOption(answer);
}

bool UIDriverFullGUI::Alert(const std::string& title, const std::string& body, const std::string& button)
{
    SetupWizardModule* wizard = Wizard();
    if (wizard == nullptr)
        return false;
    if (!UIDriverFullGUIData::sGUIInitialized) {
        wizard->LoadApplication(engine_.GetRawArguments());
        UIDriverFullGUIData::sGUIInitialized = true;
    }
    return wizard->ShowAlert(title, body, button);
}

bool UIDriverFullGUI::RunApplicationMain(const std::vector<std::string>& arguments)
{
    SetupWizardModule* wizard = Wizard();
    return wizard != nullptr && wizard->RunApplicationMain(arguments);
}
