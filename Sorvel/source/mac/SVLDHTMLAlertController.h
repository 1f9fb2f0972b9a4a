// SVLDHTMLAlertController: the HTML alert window. A wizard page shows an alert whose content is
// a page of its own ("UIShowModalAlert"); the alert page calls the window methods of this
// window's own user-interface publisher through the same page bridge and ends the alert with
// "UIExitDialog", whose text is the alert's answer. Between alerts the window shows a blank page.
#pragma once

#include "SVLSorvelUIDelegateProtocol.h"
#include "Sorvel/source/xplat/JSMethodPublisherInterface.h"

#include "platform/gui/GuiWebView.h"
#include "platform/gui/GuiWindow.h"

#include <boost/noncopyable.hpp>
#include <boost/optional.hpp>
#include <boost/shared_ptr.hpp>

#include <memory>
#include <string>
#include <vector>

struct SVLDHTMLAlertData {
    boost::shared_ptr<JSMethodPublisherInterface> publisher;  // this window's user-interface publisher
    boost::shared_ptr<std::string> exitString;  // empty until the first exitDialog
    bool showing = false;                       // while showDHTMLAlert runs
    bool pageLoaded = false;                    // the page this controller loaded is loaded and prepared
};

class SVLDHTMLAlertController : public SVLSorvelUIDelegateProtocol,
                                public SVLPasteboardAccess,
                                private boost::noncopyable {
public:
    // Loads the alert window (hidden) with its blank page, and this window's publisher over the
    // engine of UIDriverFullGUI.
    SVLDHTMLAlertController();
    ~SVLDHTMLAlertController() override;

    // Prepares the web view and loads the blank page.
    void windowDidLoad();
    // The window the alerts belong to: an alert shows as its modal child, kept above it.
    void setParentWindow(const platform::GuiWindow* parent) { parent_ = parent; }
    // The close box or Escape while an alert shows: a page that answers close requests
    // (onFrameLoad.js: DQENCallOnCloseHandler) decides itself: the alert stays until the page
    // ends it (as its cancel button, or not at all). Otherwise, or when the page has not answered
    // within a short wait, the alert ends as one dismissed, with an empty answer. The window
    // never closes otherwise.
    bool windowShouldClose();

    // Shows the HTML text as a modal alert until its page calls "UIExitDialog"; the exit text
    // goes into result. False at once when an alert is showing already.
    bool showDHTMLAlert(const std::string& html, std::string& result);
    // Stores the exit text and ends the modal session.
    bool exitDialog(const std::string& exitText) override;
    // The stored exit text; false when none was ever stored.
    bool _getExitString(std::string& result) const;

    boost::optional<std::string> _dispatchJSMethod(const std::string& name, const std::vector<std::string>& arguments);

    // The web view's delegate calls.
    void webViewRunJavaScriptAlertPanelWithMessage(const std::string& message, bool ownPage);
    bool webViewRunJavaScriptConfirmPanelWithMessage(const std::string& message);
    void webViewDidFinishLoadForFrame(bool mainFrame);

    bool setViewWidth(std::uint32_t width, std::uint32_t height) override;
    bool setTitle(const std::string& title) override;
    bool setVisibility(bool visible) override;
    // Not offered by an alert: no folder chooser, no alert inside an alert.
    bool selectLocation(const std::string& startFolder, const std::string& title, const std::string& subtitle,
                        std::string& result) override;
    bool showHTMLAlert(const std::string& html, std::string& result) override;
    bool readPasteboardText(std::string& text) override;

    platform::GuiWindow& window() { return *window_; }
    platform::GuiWebView& dhtmlView() { return *dhtmlView_; }
    const SVLDHTMLAlertData& alertData() const { return *alertData_; }

private:
    // Loads a page as data; the page-loaded flag is cleared until its preparation has run.
    void LoadPage(const std::string& html);
    // Ends the running alert without an answer of its page.
    void Dismiss();

    std::unique_ptr<platform::GuiWindow> window_;
    std::unique_ptr<platform::GuiWebView> dhtmlView_;
    std::unique_ptr<SVLDHTMLAlertData> alertData_;
    platform::GuiWebView::Preferences alertWebPrefs_;
    bool modalAborted_;  // set by exitDialog to end the running modal session
    const platform::GuiWindow* parent_;  // not owned; null: the alert is modal to the whole application
    unsigned closeRequest_;              // the number of the latest close request of the running alert
    // Expires with the controller: a page's late answer finds no controller to act on.
    std::shared_ptr<SVLDHTMLAlertController*> self_;
};
