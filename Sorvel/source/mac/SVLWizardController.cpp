#include "SVLWizardController.h"

#include "Common/source/xplat/FileSystemPath.h"
#include "Common/source/xplat/FileSystemUtils.h"
#include "Common/source/xplat/LogFactory.h"
#include "QEN/source/mac/QENController.h"
#include "QEN/source/mac/QENEngine.h"
#include "SVLDHTMLAlertController.h"
#include "SVLPageBridge.h"
#include "SVLWindow.h"
#include "Shared/PayloadProxyFileConstants.h"
#include "Shared/TolkConstants.h"
#include "Sorvel/source/xplat/InstallerEngine.h"
#include "Sorvel/source/xplat/JSMethodPublisherGroup.h"
#include "Sorvel/source/xplat/PayloadAccessor.h"
#include "Sorvel/source/xplat/PayloadSessionManager.h"
#include "Sorvel/source/xplat/SorvelConstants.h"
#include "Sorvel/source/xplat/SorvelDataAccess.h"
#include "Sorvel/source/xplat/SorvelMutationAccess.h"
#include "Sorvel/source/xplat/SorvelUserInterfaceJSPublisher.h"
#include "Sorvel/source/xplat/ThreadPayloadOperationState.h"
#include "Sorvel/source/xplat/UIDriverFullGUI.h"
#include "caps/CAPSSessionPtr.h"
#include "caps/caps.h"

#include "platform/Bundle.h"
#include "platform/formats/UnicodeText.h"
#include "platform/gui/GuiAlert.h"
#include "platform/gui/GuiApplication.h"
#include "platform/gui/GuiPasteboard.h"

#include <boost/bind/bind.hpp>

#include <exception>

namespace {

// A format with one object placeholder ("%@", or "%1$@") filled with the argument.
std::string FormatWithObject(const std::string& format, const std::string& argument)
{
    std::string text(format);
    for (const char* placeholder : {"%1$@", "%@"}) {
        const std::string::size_type at = text.find(placeholder);
        if (at != std::string::npos)
            return text.replace(at, std::char_traits<char>::length(placeholder), argument);
    }
    return text;
}

// The product name of the session's driver payload, from its proxy file; false when there is
// none.
bool DriverProductName(InstallerEngine* engine, std::string& productName)
{
    if (engine == nullptr)
        return false;
    boost::shared_ptr<PayloadSessionManager> session = engine->GetPayloadSessionManager();
    if (!session)
        return false;
    const std::string code = session->GetDriverPayloadOrvexCode();
    if (code.empty())
        return false;
    boost::shared_ptr<PayloadAccessor> accessor = session->GetPayloadAccessorForOrvexCode(code);
    if (!accessor || !accessor->proxyDataStore)
        return false;
    std::map<std::string, std::string> properties;
    if (!accessor->proxyDataStore->InstallerProperties().Get(properties))
        return false;
    std::map<std::string, std::string>::const_iterator name =
        properties.find(PayloadProxyFileConstants::kPropProductName);
    if (name == properties.end())
        return false;
    productName = name->second;
    return true;
}

Logger* SorvelLogger()
{
    return LogFactory::Instance().GetLogger(SorvelConstants::kSorvelLog);
}

// Where the quit-time uninstall writes when there is no "Sorvel" logger.
class SilentLog : public LogAppender {
public:
    using LogAppender::AppendToLog;
    void AppendToLog(LogLevel, const std::string&) override {}
};

}  // namespace

// The bootstrapper's uninstall at quit has nobody to report to and nothing to stop it.
class NoopController : public QENController {
public:
    ~NoopController() override {}
    bool HandleControlMessages() override { return true; }
    void InstallStarted() override {}
    void InstallFractionComplete(double) override {}
    void InstallComplete(bool) override {}
};

SVLWizardController::SVLWizardController()
    : wizardView_(nullptr),
      alertController_(new SVLDHTMLAlertController),
      launchObserver_(0),
      terminateObserver_(0),
      closeRequestPending_(false),
      closeRequest_(0),
      self_(std::make_shared<SVLWizardController*>(this))
{
    wizardData_.reset(new SVLWizardData);
    wizardData_->engine = UIDriverFullGUI::UIDriverFullGUIData::sInstallerEngine;
    wizardData_->nativeInvocations.reset(new SVLWizardData::NativeInvocationMap);

    // Data access, mutation access and the window calls, in this order: a name that two of them
    // offer reaches the later one.
    JSMethodPublisherGroup::PublisherList publishers;
    publishers.push_back(JSMethodPublisherGroup::PublisherPtr(new SorvelDataAccess(wizardData_->engine, SorvelLogger())));
    publishers.push_back(
        JSMethodPublisherGroup::PublisherPtr(new SorvelMutationAccess(wizardData_->engine, SorvelLogger())));
    boost::shared_ptr<SorvelUserInterfaceJSPublisher> userInterface(
        new SorvelUserInterfaceJSPublisher(wizardData_->engine, SorvelLogger()));
    publishers.push_back(userInterface);
    userInterface->GetPlatformData()->windowController = this;
    wizardData_->publisher.reset(new JSMethodPublisherGroup(publishers));
}

SVLWizardController::~SVLWizardController()
{
    if (launchObserver_ != 0)
        platform::GuiApplication::RemoveObserver(launchObserver_);
    if (terminateObserver_ != 0)
        platform::GuiApplication::RemoveObserver(terminateObserver_);
    if (wizardView_ != nullptr) {
        wizardView_->SetAlertHandler(nullptr);
        wizardView_->SetConfirmHandler(nullptr);
        wizardView_->SetFrameLoadHandler(nullptr);
        wizardView_->SetNavigationRefusedHandler(nullptr);
    }
    alertController_.reset();
    wizardData_.reset();
}

void SVLWizardController::setWizardView(platform::GuiWebView* view)
{
    // Answers the former view still owes find no controller.
    self_ = std::make_shared<SVLWizardController*>(this);
    closeRequestPending_ = false;
    wizardView_ = view;
    if (view == nullptr)
        return;
    view->SetAlertHandler([this](const std::string& message, bool ownPage) {
        webViewRunJavaScriptAlertPanelWithMessage(message, ownPage);
    });
    view->SetConfirmHandler(
        [this](const std::string& message) { return webViewRunJavaScriptConfirmPanelWithMessage(message); });
    view->SetFrameLoadHandler([this](bool mainFrame) { webViewDidFinishLoadForFrame(mainFrame); });
    view->SetNavigationRefusedHandler(&SVLPageBridge::NavigationRefused);
}

void SVLWizardController::awakeFromNib()
{
    if (wizardData_ && wizardData_->engine != nullptr) {
        try {
            FileSystemPath icon = wizardData_->engine->GetInstallerParentPath();
            icon.AppendUTF8Segment("Setup.app")
                .AppendUTF8Segment("Contents")
                .AppendUTF8Segment("Resources")
                .AppendUTF8Segment("Setup.icns");
            if (FileSystemUtils::Exists(icon))
                platform::GuiApplication::SetApplicationIconFromFile(icon.AsUTF8String());
        } catch (const std::exception&) {
            if (Logger* logger = SorvelLogger())
                logger->AppendToLog(LogAppender::kLogWarn,
                                    "An exception prevented loading and overriding the application icon.");
        }
    }
    launchObserver_ = platform::GuiApplication::AddObserver(platform::GuiApplication::kDidFinishLaunching,
                                                            [this]() { applicationDidFinishLaunching(); });
    terminateObserver_ = platform::GuiApplication::AddObserver(platform::GuiApplication::kWillTerminate,
                                                               [this]() { applicationWillTerminate(); });
}

void SVLWizardController::applicationDidFinishLaunching()
{
    UIDriverFullGUI::UIDriverFullGUIData::sGUIInitialized = true;

    std::string productName;
    platform::GuiWindow* window = Window();
    if (window != nullptr && DriverProductName(wizardData_->engine, productName))
        window->SetTitle(FormatWithObject(SVLPageBridge::LocalizedString("Main Window Title"), productName));

    if (window != nullptr)
        window->Center();
    if (wizardView_ == nullptr)
        return;
    wizardView_->SetScrollingEnabled(false);
    wizardWebPrefs_.identifier = "tolkWebPrefs";
    wizardWebPrefs_.tabsToLinks = true;
    wizardView_->SetPreferences(wizardWebPrefs_);

    // The pages lie in "resources" beside the installer parent: the bundle's folder, or the
    // folder "--installerParent=" names, where the scripts of the run are found too. The window
    // shows no page from anywhere else.
    std::string page = "resources/main.html";
    bool present = false;
    try {
        FileSystemPath path = wizardData_->engine != nullptr ? wizardData_->engine->GetInstallerParentPath()
                                                             : FileSystemPath(std::string("/"));
        path.AppendUTF8Segment("resources");
        wizardView_->SetPageFolder(path.AsUTF8String());
        path.AppendUTF8Segment("main.html");
        page = path.AsUTF8String();
        bool folder = false;
        present = FileSystemUtils::Exists(path) && !(FileSystemUtils::IsDirectory(path, folder) && folder);
    } catch (const std::exception&) {
        present = false;
    }
    if (!present) {
        SVLPageBridge::StartupError("Required resources are missing.", page);
        return;
    }
    wizardView_->LoadFile(page);
}

void SVLWizardController::applicationWillTerminate()
{
    // What an operation still running would record must be known, and its rollback done, before
    // the clean-up decides whether the session left anything installed.
    if (wizardData_ && wizardData_->engine != nullptr) {
        ThreadPayloadOperationState state;
        wizardData_->engine->FinishInstallThread(true, state);
    }
    UninstallBootstrapperIfUnused();
    if (launchObserver_ != 0)
        platform::GuiApplication::RemoveObserver(launchObserver_);
    if (terminateObserver_ != 0)
        platform::GuiApplication::RemoveObserver(terminateObserver_);
    launchObserver_ = 0;
    terminateObserver_ = 0;
}

void SVLWizardController::UninstallBootstrapperIfUnused()
{
    InstallerEngine* engine = wizardData_ ? wizardData_->engine : nullptr;
    if (engine == nullptr || engine->bootstrapping_ || !engine->GetSessionInitialized())
        return;
    boost::shared_ptr<PayloadSessionManager> session = engine->GetPayloadSessionManager();
    if (session)
        UninstallBootstrapperOfUnusedSession(session->GetSessionKey());
}

void SVLWizardController::UninstallBootstrapperOfUnusedSession(const std::string& sessionKey)
{
    CAPSSessionPtr session;
    if (!session.Open())
        return;
    capsCollection collection;
    capsStringList installed = nullptr;
    // Only a collection that exists and has nothing installed is the session's own leftover.
    if (capsGetCollection(session, sessionKey.c_str(), &collection) == kCapsOK &&
        capsGetCollectionPayloads(session, kCapsInstalled, sessionKey.c_str(), &installed) == kCapsNotFound) {
        NoopController controller;
        SilentLog silent;
        Logger* logger = SorvelLogger();
        QENEngine::PropertyMap properties;
        properties[TolkConstants::kPropSessionID] = sessionKey;
        QENEngine::UninstallPayload(controller, logger != nullptr ? static_cast<LogAppender&>(*logger) : silent,
                                    std::string(), properties);
    }
    session.Close();
}

bool SVLWizardController::windowShouldClose(SVLWindow& window)
{
    if (closeRequestPending_)
        return false;
    if (wizardView_ == nullptr)
        return window.windowShouldClose();
    std::weak_ptr<SVLWizardController*> alive = self_;
    const unsigned request = ++closeRequest_;
    closeRequestPending_ = wizardView_->EvaluateScriptThen(
        "typeof DQENCallOnCloseHandler === 'function' && DQENCallOnCloseHandler() === true",
        [alive, request, &window](bool succeeded, const std::string& value) {
            const std::shared_ptr<SVLWizardController*> controller = alive.lock();
            if (!controller || (*controller)->closeRequest_ != request)
                return;
            (*controller)->closeRequestPending_ = false;
            // The page asks its own question and ends the wizard itself.
            if (succeeded && value == "true")
                return;
            if (window.windowShouldClose())
                window.close();
        });
    if (closeRequestPending_) {
        platform::GuiApplication::PerformAfter(SVLWindow::kCloseAnswerSeconds, [alive, request, &window]() {
            const std::shared_ptr<SVLWizardController*> controller = alive.lock();
            if (!controller || (*controller)->closeRequest_ != request || !(*controller)->closeRequestPending_)
                return;
            // The page did not answer: an answer that still comes is late, and no new request
            // starts while Setup asks.
            ++(*controller)->closeRequest_;
            const bool quit = window.windowShouldClose();
            const std::shared_ptr<SVLWizardController*> still = alive.lock();
            if (still)
                (*still)->closeRequestPending_ = false;
            if (quit)
                window.close();
        });
    }
    return false;
}

void SVLWizardController::webViewRunJavaScriptAlertPanelWithMessage(const std::string& message, bool ownPage)
{
    using namespace boost::placeholders;
    if (wizardView_ == nullptr)
        return;
    SVLPageBridge::RunJavaScriptAlert(*wizardView_, message, ownPage,
                                      boost::bind(&SVLWizardController::_dispatchJSMethod, this, _1, _2));
}

bool SVLWizardController::webViewRunJavaScriptConfirmPanelWithMessage(const std::string& message)
{
    return SVLPageBridge::RunJavaScriptConfirm(message);
}

void SVLWizardController::webViewDidFinishLoadForFrame(bool)
{
    if (wizardView_ == nullptr)
        return;
    std::vector<std::string> names;
    for (const auto& invocation : *wizardData_->nativeInvocations)
        names.push_back(invocation.first);
    if (wizardData_->publisher) {
        for (const auto& method : wizardData_->publisher->GetAllMethods())
            names.push_back(method.first);
    }
    SVLPageBridge::PreparePage(*wizardView_, names);
}

boost::optional<std::string> SVLWizardController::_dispatchJSMethod(const std::string& name,
                                                                    const std::vector<std::string>& arguments)
{
    std::string answer;
    bool answered = false;
    SVLWizardData::NativeInvocationMap::const_iterator native = wizardData_->nativeInvocations->find(name);
    if (native != wizardData_->nativeInvocations->end()) {
        answered = native->second && native->second->InvokeJSMethod(arguments, answer);
    } else {
        if (!wizardData_->publisher)
            return boost::none;
        answered = wizardData_->publisher->InvokeMethodByName(name, arguments, answer);
    }
    if (!answered)
        return boost::none;
    return answer;
}

platform::GuiWindow* SVLWizardController::Window() const
{
    return wizardView_ != nullptr ? &wizardView_->Window() : nullptr;
}

bool SVLWizardController::setViewWidth(std::uint32_t width, std::uint32_t height)
{
    platform::GuiWindow* window = Window();
    if (window == nullptr)
        return false;
    SVLWindow::ResizeContent(*window, width, height);
    return true;
}

bool SVLWizardController::setVisibility(bool visible)
{
    platform::GuiWindow* window = Window();
    if (window == nullptr)
        return false;
    if (window->IsVisible() == visible)
        return true;
    if (!visible) {
        window->OrderOut();
        return true;
    }
    window->MakeKeyAndOrderFront();
    platform::GuiApplication::ActivateIgnoringOtherApps();
    return true;
}

bool SVLWizardController::setCloseBoxEnabled(bool enabled)
{
    if (platform::GuiWindow* window = Window())
        window->SetCloseButtonEnabled(enabled);
    return true;
}

bool SVLWizardController::setTitle(const std::string& title)
{
    platform::GuiWindow* window = Window();
    if (window == nullptr || title.empty())
        return false;
    window->SetTitle(title);
    return true;
}

bool SVLWizardController::selectLocation(const std::string& startFolder, const std::string& title,
                                         const std::string& subtitle, std::string& result)
{
    platform::FolderPanelRequest panel;
    panel.title = title;
    panel.prompt = SVLPageBridge::LocalizedString("ZEB_SelectInstallLocation Button Label");
    panel.message = subtitle;
    panel.canCreateFolders = true;
    try {
        const FileSystemPath start(startFolder);
        bool isFolder = false;
        if (FileSystemUtils::IsDirectory(start, isFolder) && isFolder && start.AsUTF8String() != "/") {
            panel.directory = start.Parent().AsUTF8String();
            panel.selectedName = start.NameAsUTF8String();
        }
    } catch (const std::exception&) {
        // Not a path: the panel starts where it likes.
    }

    std::vector<std::string> chosen;
    if (platform::RunFolderPanel(panel, chosen) != platform::kFolderPanelOK || chosen.empty() || chosen[0].empty())
        return false;
    platform::UnicodeText text;
    if (!platform::UnicodeText::FromUTF8(chosen[0], text))
        return false;
    result = chosen[0];
    return true;
}

bool SVLWizardController::exitDialog(const std::string&)
{
    platform::GuiApplication::Terminate();
    return true;
}

bool SVLWizardController::showHTMLAlert(const std::string& html, std::string& result)
{
    if (!alertController_)
        return false;
    alertController_->setParentWindow(Window());
    return alertController_->showDHTMLAlert(html, result);
}

bool SVLWizardController::readPasteboardText(std::string& text)
{
    return platform::ReadPasteboardText(text);
}
