// The platform half of the full-GUI driver: its alerts and the application main loop that hosts
// the wizard.
#include "UIDriverFullGUI.h"

#include "InstallerEngine.h"
#include "SVLMainNib.h"
#include "SVLPageBridge.h"
#include "UserInterfaceMessagePrompt.h"

#include "platform/GuiAlert.h"
#include "platform/GuiApplication.h"

#include <memory>

namespace {

// The status code of the question that a cancel request turns into.
const std::uint32_t kCancelRequestStatusCode = 0;

}  // namespace

bool UIDriverFullGUI::operator()(UserInterfaceMessagePrompt* prompt)
{
    TolkUIRequest::UserResponseOption answer = TolkUIRequest::kResponseUnknown;
    if (prompt->GetStatusCode() == kCancelRequestStatusCode) {
        platform::AlertRequest alert;
        alert.messageText = SVLPageBridge::LocalizedString("CancelConfirmationTitle");
        alert.informativeText = SVLPageBridge::LocalizedString("CancelConfirmationMessage");
        alert.defaultButton = SVLPageBridge::LocalizedString("YesButtonLabel");
        alert.alternateButton = SVLPageBridge::LocalizedString("NoButtonLabel");
        const int response = platform::RunModalAlert(alert);
        if (response == platform::kAlertDefaultReturn)
            answer = TolkUIRequest::kResponseYes;
        else if (response == platform::kAlertAlternateReturn)
            answer = TolkUIRequest::kResponseNo;
    }
    return prompt->SetUserResponseOption(answer);
}

bool UIDriverFullGUI::Alert(const std::string& title, const std::string& body, const std::string& button)
{
    if (!UIDriverFullGUIData::sGUIInitialized) {
        platform::GuiApplication::Load(engine_.GetRawArguments());
        UIDriverFullGUIData::sGUIInitialized = true;
    }
    platform::AlertRequest alert;
    alert.messageText = title;
    alert.informativeText = body;
    alert.defaultButton = button;
    return platform::RunModalAlert(alert) != platform::kAlertErrorReturn;
}

bool UIDriverFullGUI::RunApplicationMain(const std::vector<std::string>& arguments)
{
    std::unique_ptr<SVLMainNib> nib;
    const int status = platform::GuiApplication::Main(arguments, [&nib]() { nib.reset(new SVLMainNib); });
    nib.reset();
    return status == 0;
}
