#include "SVLDHTMLAlertController.h"

#include "Common/source/xplat/LogFactory.h"
#include "SVLPageBridge.h"
#include "SVLWindow.h"
#include "Sorvel/source/xplat/SorvelConstants.h"
#include "Sorvel/source/xplat/SorvelUserInterfaceJSPublisher.h"
#include "Sorvel/source/xplat/UIDriverFullGUI.h"

#include "platform/gui/GuiApplication.h"
#include "platform/gui/GuiPasteboard.h"

#include <boost/bind/bind.hpp>

namespace {

const char kBlankPage[] = "<HTML><HEAD><TITLE>Alert</TITLE></HEAD><BODY></BODY></HTML>";
// Alert pages come as text, with no address of their own: their origin is one that no other page
// shares (with a web address, a frame from that address would be the alert page's own).
const char kPageBaseURL[] = "about:blank";
const int kInitialWidth = 400;
const int kInitialHeight = 200;

}  // namespace

SVLDHTMLAlertController::SVLDHTMLAlertController()
    : window_(new platform::GuiWindow("Alert", kInitialWidth, kInitialHeight)),
      alertData_(new SVLDHTMLAlertData),
      modalAborted_(false),
      parent_(nullptr),
      closeRequest_(0),
      self_(std::make_shared<SVLDHTMLAlertController*>(this))
{
    dhtmlView_.reset(new platform::GuiWebView(*window_));

    boost::shared_ptr<SorvelUserInterfaceJSPublisher> publisher(new SorvelUserInterfaceJSPublisher(
        UIDriverFullGUI::UIDriverFullGUIData::sInstallerEngine,
        LogFactory::Instance().GetLogger(SorvelConstants::kSorvelLog)));
    publisher->GetPlatformData()->windowController = this;
    alertData_->publisher = publisher;
    alertData_->showing = false;
    alertData_->pageLoaded = false;

    // The close box, Escape and the window manager's close answer as the alert's cancel.
    window_->SetShouldCloseHandler([this]() { return windowShouldClose(); });
    window_->SetEscapeCloses(true);

    dhtmlView_->SetAlertHandler([this](const std::string& message, bool ownPage) {
        webViewRunJavaScriptAlertPanelWithMessage(message, ownPage);
    });
    dhtmlView_->SetConfirmHandler(
        [this](const std::string& message) { return webViewRunJavaScriptConfirmPanelWithMessage(message); });
    dhtmlView_->SetFrameLoadHandler([this](bool mainFrame) { webViewDidFinishLoadForFrame(mainFrame); });
    // The alert's pages come as text: a page that goes anywhere else is refused.
    dhtmlView_->SetNavigationRefusedHandler(&SVLPageBridge::NavigationRefused);
    // A page whose process died will never finish loading or end the alert itself: the alert
    // ends as one dismissed without an answer, never with an earlier alert's exit text.
    dhtmlView_->SetProcessTerminatedHandler([this]() {
        alertData_->exitString.reset();
        alertData_->pageLoaded = true;
        modalAborted_ = true;
        platform::GuiApplication::WakeUp();
    });
    windowDidLoad();
}

SVLDHTMLAlertController::~SVLDHTMLAlertController()
{
    dhtmlView_.reset();
    window_.reset();
    alertData_.reset();
}

void SVLDHTMLAlertController::windowDidLoad()
{
    window_->Center();
    dhtmlView_->SetScrollingEnabled(false);
    alertWebPrefs_.identifier = "tolkAlertWebPrefs";
    alertWebPrefs_.tabsToLinks = true;
    dhtmlView_->SetPreferences(alertWebPrefs_);
    LoadPage(kBlankPage);
}

void SVLDHTMLAlertController::LoadPage(const std::string& html)
{
    alertData_->pageLoaded = false;
    dhtmlView_->LoadData(html, "text/html", "utf-8", kPageBaseURL);
}

bool SVLDHTMLAlertController::showDHTMLAlert(const std::string& html, std::string& result)
{
    SVLDHTMLAlertData& data = *alertData_;
    if (data.showing)
        return false;
    data.showing = true;

    if (parent_ != nullptr)
        window_->SetModalChildOf(parent_);
    else
        window_->SetModal(true);
    window_->MakeKeyAndOrderFront();
    modalAborted_ = false;
    ++closeRequest_;

    // The alert's page goes in once the blank page is ready; the session runs until the page
    // ends it.
    bool htmlLoaded = false;
    platform::GuiApplication::RunUntil(
        [this, &data, &html, &htmlLoaded]() {
            if (data.pageLoaded && !htmlLoaded) {
                LoadPage(html);
                htmlLoaded = true;
            }
            return modalAborted_;
        },
        -1);
    const bool ended = modalAborted_;

    // Leave the window clean for the next alert: the alert's page done, then the blank page.
    platform::GuiApplication::RunUntil([&data]() { return data.pageLoaded; }, -1);
    LoadPage(kBlankPage);
    platform::GuiApplication::RunUntil([&data]() { return data.pageLoaded; }, -1);

    window_->SetModal(false);
    if (!_getExitString(result))
        result.clear();
    window_->OrderOut();
    data.showing = false;
    // Only a terminating application leaves the session without an exit text of its page.
    return ended;
}

bool SVLDHTMLAlertController::windowShouldClose()
{
    if (!alertData_->showing || modalAborted_)
        return false;
    std::weak_ptr<SVLDHTMLAlertController*> alive = self_;
    const unsigned request = ++closeRequest_;
    const auto current = [alive, request]() {
        const std::shared_ptr<SVLDHTMLAlertController*> controller = alive.lock();
        return controller && (*controller)->closeRequest_ == request ? *controller : nullptr;
    };
    // False while the page is inside a call of its own (a panel of it shows): that one answers.
    if (!dhtmlView_->EvaluateScriptThen(
            "typeof DQENCallOnCloseHandler === 'function' && DQENCallOnCloseHandler() === true",
            [current](bool succeeded, const std::string& value) {
                SVLDHTMLAlertController* controller = current();
                if (controller == nullptr)
                    return;
                // Answered: the wait is over. A page that handles the close keeps its alert
                // until it ends it (one that must be answered with one of its buttons).
                ++controller->closeRequest_;
                if (!(succeeded && value == "true"))
                    controller->Dismiss();
            }))
        return false;
    platform::GuiApplication::PerformAfter(SVLWindow::kCloseAnswerSeconds, [current]() {
        SVLDHTMLAlertController* controller = current();
        if (controller != nullptr)
            controller->Dismiss();
    });
    return false;
}

void SVLDHTMLAlertController::Dismiss()
{
    if (!alertData_->showing || modalAborted_)
        return;
    alertData_->exitString.reset();
    modalAborted_ = true;
    platform::GuiApplication::WakeUp();
}

bool SVLDHTMLAlertController::exitDialog(const std::string& exitText)
{
    alertData_->exitString.reset(new std::string(exitText));
    modalAborted_ = true;
    platform::GuiApplication::WakeUp();
    return true;
}

bool SVLDHTMLAlertController::_getExitString(std::string& result) const
{
    if (!alertData_->exitString)
        return false;
    result = *alertData_->exitString;
    return true;
}

boost::optional<std::string> SVLDHTMLAlertController::_dispatchJSMethod(const std::string& name,
                                                                        const std::vector<std::string>& arguments)
{
    if (!alertData_->publisher)
        return boost::none;
    std::string answer;
    if (!alertData_->publisher->InvokeMethodByName(name, arguments, answer))
        return boost::none;
    return answer;
}

void SVLDHTMLAlertController::webViewRunJavaScriptAlertPanelWithMessage(const std::string& message, bool ownPage)
{
    using namespace boost::placeholders;
    SVLPageBridge::RunJavaScriptAlert(*dhtmlView_, message, ownPage,
                                      boost::bind(&SVLDHTMLAlertController::_dispatchJSMethod, this, _1, _2));
}

bool SVLDHTMLAlertController::webViewRunJavaScriptConfirmPanelWithMessage(const std::string& message)
{
    return SVLPageBridge::RunJavaScriptConfirm(message);
}

void SVLDHTMLAlertController::webViewDidFinishLoadForFrame(bool)
{
    std::vector<std::string> names;
    if (alertData_->publisher) {
        for (const auto& method : alertData_->publisher->GetAllMethods())
            names.push_back(method.first);
    }
    if (!SVLPageBridge::PreparePage(*dhtmlView_, names))
        return;
    alertData_->pageLoaded = true;
    platform::GuiApplication::WakeUp();
}

bool SVLDHTMLAlertController::setViewWidth(std::uint32_t width, std::uint32_t height)
{
    if (!window_)
        return false;
    SVLWindow::ResizeContent(*window_, width, height);
    return true;
}

bool SVLDHTMLAlertController::setTitle(const std::string& title)
{
    if (!window_ || title.empty())
        return false;
    window_->SetTitle(title);
    return true;
}

bool SVLDHTMLAlertController::setVisibility(bool visible)
{
    if (!window_)
        return false;
    if (visible && !window_->IsVisible())
        window_->MakeKeyAndOrderFront();
    else if (!visible && window_->IsVisible())
        window_->OrderOut();
    return true;
}

bool SVLDHTMLAlertController::selectLocation(const std::string&, const std::string&, const std::string&, std::string&)
{
    return false;
}

bool SVLDHTMLAlertController::showHTMLAlert(const std::string&, std::string&)
{
    return false;
}

bool SVLDHTMLAlertController::readPasteboardText(std::string& text)
{
    return platform::ReadPasteboardText(text);
}
