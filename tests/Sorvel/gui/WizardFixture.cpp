#include "WizardFixture.h"

#include "Sorvel/source/mac/SetupWizardModule.h"
#include "Sorvel/source/xplat/PayloadSessionManager.h"
#include "Sorvel/source/xplat/UIDriverFullGUI.h"

#include "platform/Bundle.h"
#include "platform/desktop/Workspace.h"
#include "platform/gui/GuiApplication.h"

#include "tests/support/GuiDeadline.h"

#include <cstdio>
#include <filesystem>

namespace tolktest {

namespace {

// Setup opens the wizard as a module; these tests link its code instead.
const bool kWizardLinked = (SetupWizardModule::SetLinkedModuleForTesting(TolkSetupWizardModule()), true);

}  // namespace

const char kBridgePage[] =
    "<html><head><title>Bridge</title><script>\n"
    "var DQEN = { result: 'unset' };\n"
    "function bridge(text) { alert(text); return DQEN.result === null ? 'null' : DQEN.result; }\n"
    "function DQENCreateContainerMethod(name) {}\n"
    "function DQENCallOnLoadHandler() { document.title = 'ready'; }\n"
    "</script></head><body></body></html>\n";

void WizardTest::SetUp()
{
    if (!platform::GuiApplication::Load())
        GTEST_SKIP() << "no display";
    platform::GuiApplication::ResetForTesting();
    platform::ClearRecordedWorkspaceRequests();
    // What pages open is recorded, never shown by the desktop the tests run on.
    platform::SetWorkspace(boost::shared_ptr<platform::WorkspaceInterface>(new platform::HeadlessWorkspace));

    media_ = sysroot_.Scratch() + "/media";
    bundle_ = media_ + "/Setup.app";
    MakeFolders(bundle_ + "/Contents/SharedSupport");
    MakeFolders(bundle_ + "/Contents/Resources/en.lproj");
    MakeFolders(media_ + "/resources");
    WriteTextFile(bundle_ + "/Contents/Info.plist",
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                  "<key>CFBundleExecutable</key><string>Setup</string>"
                  "<key>CFBundleDevelopmentRegion</key><string>en</string></dict></plist>\n");
    WriteTextFile(bundle_ + "/Contents/Resources/en.lproj/Localizable.strings",
                  ReadTextFile(TOLK_SOURCE_DIR "/Sorvel/resources/Resources/en.lproj/Localizable.strings"));
    // The support scripts of the command engine, which the quit-time uninstall runs.
    for (const auto& entry : std::filesystem::directory_iterator(TOLK_SOURCE_DIR "/Sorvel/resources/SharedSupport"))
        std::filesystem::copy_file(entry.path(), bundle_ + "/Contents/SharedSupport/" + entry.path().filename().string());
    platform::Bundle::SetMainBundlePathForTesting(bundle_);

    engine_.reset(new InstallerEngine(FileSystemPath(media_)));
    UIDriverFullGUI::UIDriverFullGUIData::sInstallerEngine = engine_.get();
    UIDriverFullGUI::UIDriverFullGUIData::sGUIInitialized = false;

    platform::SetAlertPresenterForTesting([this](const platform::AlertRequest& request) {
        alerts_.push_back(request);
        if (whileAlertShows_)
            whileAlertShows_();
        return alertAnswer_;
    });
    platform::SetFolderPanelPresenterForTesting(
        [this](const platform::FolderPanelRequest& request, std::vector<std::string>& chosen) {
            panels_.push_back(request);
            if (panelAnswer_ == platform::kFolderPanelOK)
                chosen = panelChoice_;
            return panelAnswer_;
        });
}

void WizardTest::TearDown()
{
    nib_.reset();
    platform::SetAlertPresenterForTesting(nullptr);
    platform::SetFolderPanelPresenterForTesting(nullptr);
    platform::SetWorkspace(nullptr);
    platform::Bundle::SetMainBundlePathForTesting("");
    UIDriverFullGUI::UIDriverFullGUIData::sInstallerEngine = nullptr;
    platform::GuiApplication::ResetForTesting();
    engine_.reset();
    PayloadSessionManager::Release();
}

void WizardTest::CopyExamplePayloads()
{
    std::filesystem::copy(TOLK_SOURCE_DIR "/examples/payloads", media_ + "/payloads",
                          std::filesystem::copy_options::recursive);
}

void WizardTest::UseShippedFrameLoadScript()
{
    WriteFrameLoadScript(ReadTextFile(TOLK_SOURCE_DIR "/Sorvel/resources/SharedSupport/onFrameLoad.js"));
}

void WizardTest::WriteFrameLoadScript(const std::string& text)
{
    WriteTextFile(bundle_ + "/Contents/SharedSupport/onFrameLoad.js", text);
}

void WizardTest::RemoveFrameLoadScript()
{
    std::remove((bundle_ + "/Contents/SharedSupport/onFrameLoad.js").c_str());
}

void WizardTest::WriteResource(const std::string& name, const std::string& text)
{
    WriteTextFile(media_ + "/resources/" + name, text);
}

void WizardTest::Launch()
{
    nib_.reset(new SVLMainNib);
    nib_->controller().applicationDidFinishLaunching();
}

bool WizardTest::WaitFor(const std::function<bool()>& condition)
{
    return ServeEventsUntil(condition);
}

std::string WizardTest::Evaluate(const std::string& script)
{
    std::string value;
    if (!nib_ || !nib_->webView().EvaluateScriptAndWait(script, value, kPatience))
        return std::string();
    return value;
}

bool WizardTest::WaitForValue(const std::string& script, const std::string& expected)
{
    return WaitFor([this, &script, &expected]() { return Evaluate(script) == expected; });
}

std::string WizardTest::Bridge(const std::string& message)
{
    std::string literal;
    for (const char c : message) {
        if (c == '\\' || c == '\'')
            literal += '\\';
        if (c == '\n')
            literal += "\\n";
        else
            literal += c;
    }
    return Evaluate("bridge('" + literal + "')");
}

}  // namespace tolktest
