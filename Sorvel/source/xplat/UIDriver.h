// UIDriver: the base of the user-interface drivers. It answers prompts with "no answer", has no
// work of its own and shows no alerts; each mode's driver overrides what it does.
#pragma once

#include "UIProviderInterface.h"

class InstallerEngine;

class UIDriver : public UIProviderInterface {
public:
    explicit UIDriver(InstallerEngine& engine) : engine_(engine) {}

    bool operator()(UserInterfaceMessagePrompt* prompt) override;
    bool Run() override;
    bool Alert(const std::string& title, const std::string& body, const std::string& button) override;

protected:
    InstallerEngine& engine_;
};
