// UIDriverSilentJSWorkflow: silent mode, in which the script "silentWorkflow.js" drives the
// installation through the script interface.
#pragma once

#include "UIDriver.h"

class UIDriverSilentJSWorkflow : public UIDriver {
public:
    explicit UIDriverSilentJSWorkflow(InstallerEngine& engine) : UIDriver(engine) {}

    bool Run() override;
};
