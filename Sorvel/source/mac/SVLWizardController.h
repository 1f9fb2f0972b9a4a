// SVLWizardController: the wizard's controller. It loads the page "main.html" from the folder
// "resources" beside the bundle, prepares every loaded page, is the page bridge through which
// pages call the publishers (data access, mutation access, window calls), carries out the
// window calls, hands the window's close requests to a page that answers them itself, and at
// quit uninstalls the session's bootstrapper when nothing of the session was installed.
#pragma once

#include "SVLSorvelUIDelegateProtocol.h"
#include "Sorvel/source/xplat/JSInvocationInterface.h"
#include "Sorvel/source/xplat/JSMethodPublisherInterface.h"

#include "platform/gui/GuiWebView.h"

#include <boost/noncopyable.hpp>
#include <boost/optional.hpp>
#include <boost/shared_ptr.hpp>

#include <map>
#include <memory>
#include <string>
#include <vector>

class InstallerEngine;
class SVLDHTMLAlertController;
class SVLWindow;

struct SVLWizardData {
    typedef std::map<std::string, boost::shared_ptr<JSInvocationInterface> > NativeInvocationMap;

    InstallerEngine* engine = nullptr;  // not owned
    // Methods of the controller itself, looked up before the publisher; nothing adds any.
    boost::shared_ptr<NativeInvocationMap> nativeInvocations;
    boost::shared_ptr<JSMethodPublisherInterface> publisher;  // the group over the publishers
};

class SVLWizardController : public SVLSorvelUIDelegateProtocol,
                            public SVLCloseBoxControl,
                            public SVLPasteboardAccess,
                            private boost::noncopyable {
public:
    // The publishers over the engine of UIDriverFullGUI, and the alert controller.
    SVLWizardController();
    ~SVLWizardController() override;

    // The web view the controller serves (the interface's outlet); set before awakeFromNib.
    void setWizardView(platform::GuiWebView* view);

    // Once the interface is loaded: the application icon, the launch and quit notifications.
    void awakeFromNib();
    // The window's title and preferences, then the page.
    void applicationDidFinishLaunching();
    // The bootstrapper clean-up.
    void applicationWillTerminate();

    // The user asked the window to close (its close box). A page that answers close requests
    // (onFrameLoad.js: DQENCallOnCloseHandler) asks its own question and ends the wizard itself;
    // otherwise the window's confirmation decides, and so it does when the page has not answered
    // within SVLWindow::kCloseAnswerSeconds (its script is stuck), so that the user can always quit.
    // Requests while the page is busy with a call, or while an earlier request is on its way,
    // are ignored. Answers whether the window may close now.
    bool windowShouldClose(SVLWindow& window);

    // The web view's delegate calls.
    void webViewRunJavaScriptAlertPanelWithMessage(const std::string& message, bool ownPage);
    bool webViewRunJavaScriptConfirmPanelWithMessage(const std::string& message);
    void webViewDidFinishLoadForFrame(bool mainFrame);

    // A page's call by name: the answer, or none when the method is unknown or failed.
    boost::optional<std::string> _dispatchJSMethod(const std::string& name, const std::vector<std::string>& arguments);

    // The window calls.
    bool setViewWidth(std::uint32_t width, std::uint32_t height) override;
    bool setVisibility(bool visible) override;
    bool setCloseBoxEnabled(bool enabled) override;
    bool setTitle(const std::string& title) override;
    bool selectLocation(const std::string& startFolder, const std::string& title, const std::string& subtitle,
                        std::string& result) override;
    bool exitDialog(const std::string& exitText) override;
    bool showHTMLAlert(const std::string& html, std::string& result) override;
    bool readPasteboardText(std::string& text) override;

    // The quit-time clean-up for a session key: when the installation database records the
    // session's collection and none of its payloads as installed, the session's bootstrapper is
    // uninstalled through the command engine.
    static void UninstallBootstrapperOfUnusedSession(const std::string& sessionKey);

    SVLWizardData& wizardData() { return *wizardData_; }
    SVLDHTMLAlertController& alertController() { return *alertController_; }

private:
    platform::GuiWindow* Window() const;
    void UninstallBootstrapperIfUnused();

    platform::GuiWebView* wizardView_;  // not owned
    std::unique_ptr<SVLWizardData> wizardData_;
    std::unique_ptr<SVLDHTMLAlertController> alertController_;
    platform::GuiWebView::Preferences wizardWebPrefs_;
    int launchObserver_;
    int terminateObserver_;
    bool closeRequestPending_;  // a close request waits for the page's answer (or Setup asks)
    unsigned closeRequest_;     // the number of the latest close request; an answer to an older one is late
    // Expires with the controller: a page's late answer finds no controller to act on.
    std::shared_ptr<SVLWizardController*> self_;
};
