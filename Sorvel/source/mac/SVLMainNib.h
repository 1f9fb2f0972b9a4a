// SVLMainNib: the wizard application's main interface: the wizard window with its web view and
// the wizard controller, made and connected as the interface file describes them, then woken.
// It lives from the application's launch until its main loop has ended.
#pragma once

#include "SVLWindow.h"
#include "SVLWizardController.h"

#include "platform/gui/GuiWebView.h"

#include <boost/noncopyable.hpp>

#include <memory>

class SVLMainNib : private boost::noncopyable {
public:
    // Needs the display (platform::GuiApplication::Load). The window is shown at once.
    SVLMainNib();
    ~SVLMainNib();

    SVLWindow& window() { return *window_; }
    platform::GuiWebView& webView() { return *webView_; }
    SVLWizardController& controller() { return *controller_; }

private:
    // Declared so that the view goes first and the controller last.
    std::unique_ptr<SVLWizardController> controller_;
    std::unique_ptr<SVLWindow> window_;
    std::unique_ptr<platform::GuiWebView> webView_;
};
