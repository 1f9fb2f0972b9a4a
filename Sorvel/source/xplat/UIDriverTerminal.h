// UIDriverTerminal: terminal mode, which only prints the installer parent and the installation
// properties. Start-up alerts go to the standard error, so that a refused start says why.
#pragma once

#include "UIDriver.h"

#include <boost/shared_ptr.hpp>

class UIDriverTerminal : public UIDriver {
public:
    explicit UIDriverTerminal(InstallerEngine& engine);

    bool Run() override;
    bool Alert(const std::string& title, const std::string& body, const std::string& button) override;

    struct UIDriverTerminalData {};

private:
    boost::shared_ptr<UIDriverTerminalData> data_;
};
