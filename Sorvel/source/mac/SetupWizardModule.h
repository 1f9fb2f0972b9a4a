// SetupWizardModule: the wizard's windows, alerts and web views, over GTK and WebKitGTK, in a
// module of their own ("Contents/Frameworks/SetupWizard.so" in the Setup bundle). Setup opens it
// only when the full wizard runs, so that terminal and silent runs, which show no window, never
// load the windowing libraries. The module's code calls the rest of Setup, which exports it.
#pragma once

#include "Sorvel/source/xplat/TolkUIRequest.h"

#include <string>
#include <vector>

class SetupWizardModule {
public:
    virtual ~SetupWizardModule() {}

    // Connects to the display for the process (the arguments may carry display options); false
    // without one. Later calls answer the first result.
    virtual bool LoadApplication(const std::vector<std::string>& arguments) = 0;
    // A modal alert with the title as its message, the body as its informative text and one
    // button; whether it could be shown.
    virtual bool ShowAlert(const std::string& title, const std::string& body, const std::string& button) = 0;
    // Asks whether to cancel the running operation: yes, no, or unknown when no answer was had.
    virtual TolkUIRequest::UserResponseOption ConfirmCancel() = 0;
    // The application main loop with the wizard's window and controller; whether it ended
    // normally.
    virtual bool RunApplicationMain(const std::vector<std::string>& arguments) = 0;

    // The module of this Setup, opened from its bundle the first time; null, with the reason in
    // error, when it cannot be opened.
    static SetupWizardModule* Open(std::string& error);
    // A program that links the wizard's code itself (a test) hands it over here; null restores
    // opening the module.
    static void SetLinkedModuleForTesting(SetupWizardModule* module);
};

// The module's entry, looked up by this name: the module's one SetupWizardModule.
extern "C" SetupWizardModule* TolkSetupWizardModule();
