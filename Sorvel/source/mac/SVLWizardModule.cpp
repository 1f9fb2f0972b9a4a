// The wizard's module: the full-GUI driver's alerts and the application main loop that hosts
// the wizard, over the windowing half of the platform layer.
#include "SetupWizardModule.h"

#include "SVLMainNib.h"
#include "SVLPageBridge.h"

#include "platform/gui/GuiAlert.h"
#include "platform/gui/GuiApplication.h"

#include <memory>

namespace {

class SVLWizardModule : public SetupWizardModule {
public:
    bool LoadApplication(const std::vector<std::string>& arguments) override
    {
        return platform::GuiApplication::Load(arguments);
    }

    bool ShowAlert(const std::string& title, const std::string& body, const std::string& button) override
    {
        platform::AlertRequest alert;
        alert.messageText = title;
        alert.informativeText = body;
        alert.defaultButton = button;
        return platform::RunModalAlert(alert) != platform::kAlertErrorReturn;
    }

    TolkUIRequest::UserResponseOption ConfirmCancel() override
    {
        platform::AlertRequest alert;
        alert.messageText = SVLPageBridge::LocalizedString("CancelConfirmationTitle");
        alert.informativeText = SVLPageBridge::LocalizedString("CancelConfirmationMessage");
        alert.defaultButton = SVLPageBridge::LocalizedString("YesButtonLabel");
        alert.alternateButton = SVLPageBridge::LocalizedString("NoButtonLabel");
        const int response = platform::RunModalAlert(alert);
        if (response == platform::kAlertDefaultReturn)
            return TolkUIRequest::kResponseYes;
        if (response == platform::kAlertAlternateReturn)
            return TolkUIRequest::kResponseNo;
        return TolkUIRequest::kResponseUnknown;
    }

    bool RunApplicationMain(const std::vector<std::string>& arguments) override
    {
        std::unique_ptr<SVLMainNib> nib;
        const int status = platform::GuiApplication::Main(arguments, [&nib]() { nib.reset(new SVLMainNib); });
        nib.reset();
        return status == 0;
    }
};

}  // namespace

extern "C" SetupWizardModule* TolkSetupWizardModule()
{
    static SVLWizardModule module;
    return &module;
}
