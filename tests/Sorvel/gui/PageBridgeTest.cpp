#include "WizardFixture.h"

#include "Sorvel/source/xplat/UIDriverFullGUI.h"

#include "platform/gui/GuiApplication.h"

#include <gtest/gtest.h>

namespace tolktest {

namespace {

// Records what the page preparation does, in the page itself.
const char kRecordingFrameLoadScript[] =
    "window.prep = window.prep || { runs: 0, methods: [], loads: 0 };\n"
    "prep.runs++;\n"
    "var DQEN = window.DQEN || { result: null };\n"
    "function DQENCreateContainerMethod(name) { prep.methods.push(name); }\n"
    "function DQENCallOnLoadHandler() { prep.loads++; }\n";

const char* const kWindowMethods[] = {"UIEjectRemovableMedia", "UIExitDialog",       "UIGetPasteboardValue",
                                      "UIResizeWindow",        "UISelectInstallLocation", "UISetCloseBoxEnabled",
                                      "UISetWindowTitle",      "UIShowManifestErrors", "UIShowModalAlert",
                                      "UIShowWindow"};

}  // namespace

class PageBridgeTest : public WizardTest {
protected:
    void LaunchBridgePage()
    {
        WriteResource("main.html", kBridgePage);
        Launch();
        ASSERT_TRUE(WaitForValue("document.title", "ready"));
    }
};

TEST_F(PageBridgeTest, BridgeTextForms)
{
    LaunchBridgePage();
    EXPECT_EQ(Bridge("DQEN<===>NoSuchMethod"), "null");
    EXPECT_EQ(Bridge("DQEN<===>NoSuchMethod<===>1<===>2"), "null");
    EXPECT_EQ(Bridge("DQEN"), "null");
    // A trailing separator is one empty argument.
    EXPECT_EQ(Bridge("DQEN<===>UIShowWindow<===>"), "{\"_error\":\"2\"}");
    EXPECT_EQ(Bridge("DQEN<===>UIShowWindow"), "{\"_error\":\"1\"}");
    EXPECT_TRUE(alerts_.empty());
}

TEST_F(PageBridgeTest, OtherAlertsShowTheJavaScriptAlertPanelAndCallNothing)
{
    LaunchBridgePage();
    EXPECT_EQ(Bridge("Hello"), "unset");
    // The name is case-sensitive.
    EXPECT_EQ(Bridge("dqen<===>UISetWindowTitle<===>Changed"), "unset");
    ASSERT_EQ(alerts_.size(), 2u);
    EXPECT_EQ(alerts_[0].messageText, "JavaScript Alert");
    EXPECT_EQ(alerts_[0].informativeText, "Hello");
    EXPECT_EQ(alerts_[0].defaultButton, "");
    EXPECT_EQ(alerts_[1].informativeText, "dqen<===>UISetWindowTitle<===>Changed");
    EXPECT_NE(nib_->window().Window().Title(), "Changed");
}

TEST_F(PageBridgeTest, AnswersReachThePageUnchanged)
{
    LaunchBridgePage();
    const std::string folder = "/tmp/it's a \\ folder\nwith a line feed";
    panelChoice_ = {folder};
    const boost::optional<std::string> sent = nib_->controller()._dispatchJSMethod("UISelectInstallLocation", {"/"});
    ASSERT_TRUE(sent);
    EXPECT_EQ(Bridge("DQEN<===>UISelectInstallLocation<===>/nowhere"), *sent);
    // The page evaluates the answer as a script literal and finds the folder as it was.
    EXPECT_EQ(Evaluate("(" + *sent + ").path"), folder);
}

TEST_F(PageBridgeTest, TheFolderPanelStartsBesideAnExistingFolder)
{
    LaunchBridgePage();
    MakeFolders(media_ + "/Target");
    panelChoice_ = {media_ + "/Chosen"};
    EXPECT_EQ(Bridge("DQEN<===>UISelectInstallLocation<===>" + media_ + "/Target<===>Where<===>Pick one"),
              "{\"path\":\"" + media_ + "/Chosen\"}");
    ASSERT_EQ(panels_.size(), 1u);
    EXPECT_EQ(panels_[0].directory, media_);
    EXPECT_EQ(panels_[0].selectedName, "Target");
    EXPECT_EQ(panels_[0].title, "Where");
    EXPECT_EQ(panels_[0].message, "Pick one");
    EXPECT_EQ(panels_[0].prompt, "Choose");
    EXPECT_TRUE(panels_[0].canCreateFolders);

    panelAnswer_ = platform::kFolderPanelCancel;
    EXPECT_EQ(Bridge("DQEN<===>UISelectInstallLocation<===>/"), "{\"_error\":\"9999\"}");
}

TEST_F(PageBridgeTest, ConfirmAsksWithTheLocalizedPanel)
{
    LaunchBridgePage();
    alertAnswer_ = platform::kAlertAlternateReturn;
    EXPECT_EQ(Evaluate("String(confirm('Leave?'))"), "false");
    alertAnswer_ = platform::kAlertDefaultReturn;
    EXPECT_EQ(Evaluate("String(confirm('Leave?'))"), "true");
    // An alert that cannot be shown does not hold the page up.
    alertAnswer_ = platform::kAlertErrorReturn;
    EXPECT_EQ(Evaluate("String(confirm('Leave?'))"), "true");
    ASSERT_EQ(alerts_.size(), 3u);
    EXPECT_EQ(alerts_[0].messageText, "Are you sure?");
    EXPECT_EQ(alerts_[0].alternateButton, "Cancel");
    EXPECT_EQ(alerts_[0].informativeText, "Leave?");
}

TEST_F(PageBridgeTest, EveryFrameLoadPreparesThePage)
{
    WriteFrameLoadScript(kRecordingFrameLoadScript);
    WriteResource("main.html", "<html><body>main</body></html>");
    Launch();
    ASSERT_TRUE(WaitForValue("window.prep ? prep.loads : 0", "1"));
    // Every method of the publishers, in name order: the window calls among them.
    std::string methods;
    std::size_t count = 0;
    for (const auto& method : nib_->controller().wizardData().publisher->GetAllMethods()) {
        methods += std::string(methods.empty() ? "" : ",") + method.first;
        ++count;
    }
    EXPECT_EQ(Evaluate("prep.methods.join(',')"), methods);
    for (const char* name : kWindowMethods)
        EXPECT_NE(methods.find(name), std::string::npos) << name;
    EXPECT_NE(methods.find("GetSessionData"), std::string::npos);
    EXPECT_NE(methods.find("InstallPayload"), std::string::npos);
    EXPECT_EQ(Evaluate("prep.runs"), "1");

    // A frame that loads inside the page prepares it all again.
    WriteResource("inner.html", "<html><body>inner</body></html>");
    Evaluate("var f = document.createElement('iframe'); f.src = 'inner.html'; document.body.appendChild(f); 0");
    EXPECT_TRUE(WaitForValue("prep.loads", "2"));
    EXPECT_EQ(Evaluate("prep.runs"), "2");
    EXPECT_EQ(Evaluate("prep.methods.length"), std::to_string(2 * count));
}

TEST_F(PageBridgeTest, TheShippedPageScriptMakesTheMethodsCallable)
{
    WriteResource("main.html",
                  "<html><body><script>function DQENOnLoad() {"
                  "  document.title = 'loaded ' + DQEN.UISetWindowTitle('From the page') + '|' +"
                  "                   DQEN.UIResizeWindow(1) + '|' + typeof DQEN.NoSuchMethod; }</script></body></html>");
    Launch();
    EXPECT_TRUE(WaitForValue("document.title", "loaded |{\"_error\":\"1\"}|undefined"));
    EXPECT_EQ(nib_->window().Window().Title(), "From the page");
}

TEST_F(PageBridgeTest, MissingPageScriptEndsTheApplication)
{
    WriteResource("main.html", kBridgePage);
    RemoveFrameLoadScript();
    Launch();
    ASSERT_TRUE(WaitFor([]() { return platform::GuiApplication::IsTerminating(); }));
    ASSERT_EQ(alerts_.size(), 1u);
    EXPECT_EQ(alerts_[0].messageText, "Startup error");
    EXPECT_EQ(alerts_[0].informativeText,
              "Required support files are missing.\n\nNot found: " + bundle_ + "/Contents/SharedSupport/onFrameLoad.js");
    EXPECT_EQ(alerts_[0].defaultButton, "Quit");
}

TEST_F(PageBridgeTest, MissingMainPageEndsTheApplication)
{
    Launch();
    EXPECT_TRUE(platform::GuiApplication::IsTerminating());
    EXPECT_TRUE(UIDriverFullGUI::UIDriverFullGUIData::sGUIInitialized);
    ASSERT_EQ(alerts_.size(), 1u);
    EXPECT_EQ(alerts_[0].messageText, "Startup error");
    EXPECT_EQ(alerts_[0].informativeText, "Required resources are missing.\n\nNot found: " + media_ +
                                              "/resources/main.html");
    EXPECT_EQ(alerts_[0].defaultButton, "Quit");
}

TEST_F(PageBridgeTest, ThePageLiesBesideTheInstallerParentThatTheCommandLineNames)
{
    // The bundle's folder has its page, the named installer parent another one, which wins.
    WriteResource("main.html", "<html><head><title>beside the bundle</title></head></html>");
    const std::string parent = sysroot_.Scratch() + "/parent";
    MakeFolders(parent + "/resources");
    WriteTextFile(parent + "/resources/main.html", kBridgePage);
    engine_.reset(new InstallerEngine(FileSystemPath(parent)));
    UIDriverFullGUI::UIDriverFullGUIData::sInstallerEngine = engine_.get();
    Launch();
    EXPECT_TRUE(WaitForValue("document.title", "ready"));
    EXPECT_TRUE(alerts_.empty());
}

TEST_F(PageBridgeTest, WindowCalls)
{
    LaunchBridgePage();
    platform::GuiWindow& window = nib_->window().Window();
    EXPECT_EQ(Bridge("DQEN<===>UIResizeWindow<===>500<===>300"), "");
    EXPECT_EQ(window.ContentRect().width, 500);
    EXPECT_EQ(window.ContentRect().height, 300);

    EXPECT_EQ(Bridge("DQEN<===>UIShowWindow<===>0"), "");
    EXPECT_FALSE(window.IsVisible());
    EXPECT_EQ(Bridge("DQEN<===>UIShowWindow<===>1"), "");
    EXPECT_TRUE(window.IsVisible());

    EXPECT_EQ(Bridge("DQEN<===>UISetCloseBoxEnabled<===>0"), "");
    EXPECT_FALSE(window.CloseButtonEnabled());
    EXPECT_EQ(Bridge("DQEN<===>UISetCloseBoxEnabled<===>7"), "");
    EXPECT_TRUE(window.CloseButtonEnabled());

    EXPECT_EQ(Bridge("DQEN<===>UISetWindowTitle<===>Kept"), "");
    EXPECT_FALSE(nib_->controller().setTitle(""));
    EXPECT_EQ(window.Title(), "Kept");
}

TEST_F(PageBridgeTest, ExitDialogEndsTheApplication)
{
    LaunchBridgePage();
    EXPECT_EQ(Bridge("DQEN<===>UIExitDialog"), "{\"_error\":\"1\"}");
    EXPECT_FALSE(platform::GuiApplication::IsTerminating());
    EXPECT_EQ(Bridge("DQEN<===>UIExitDialog<===>done"), "");
    EXPECT_TRUE(platform::GuiApplication::IsTerminating());
}

TEST_F(PageBridgeTest, ClosingTheWindowIsConfirmedFirst)
{
    // The page answers no close requests itself: Setup asks, once the page has said so.
    UseShippedFrameLoadScript();
    LaunchBridgePage();
    platform::GuiWindow& window = nib_->window().Window();
    alertAnswer_ = platform::kAlertAlternateReturn;
    window.PerformClose();
    ASSERT_TRUE(WaitFor([this]() { return !alerts_.empty(); }));
    EXPECT_TRUE(window.IsVisible());
    EXPECT_FALSE(platform::GuiApplication::IsTerminating());
    ASSERT_EQ(alerts_.size(), 1u);
    EXPECT_EQ(alerts_[0].messageText, "Are you sure?");
    EXPECT_EQ(alerts_[0].defaultButton, "Quit");
    EXPECT_EQ(alerts_[0].alternateButton, "Continue");
    EXPECT_EQ(alerts_[0].informativeText, "Setup has not finished. Do you want to quit Setup?");

    alertAnswer_ = platform::kAlertDefaultReturn;
    window.PerformClose();
    ASSERT_TRUE(WaitFor([]() { return platform::GuiApplication::IsTerminating(); }));
    EXPECT_FALSE(window.IsVisible());
    EXPECT_EQ(alerts_.size(), 2u);
}

TEST_F(PageBridgeTest, APageThatAnswersCloseRequestsAsksItsOwnQuestion)
{
    UseShippedFrameLoadScript();
    WriteResource("main.html",
                  "<html><head><title>Page</title><script>var closes = 0;\n"
                  "function DQENOnLoad() { document.title = 'ready'; }\n"
                  "function DQENOnClose() { document.title = 'asked ' + (++closes); }\n"
                  "</script></head><body></body></html>");
    Launch();
    ASSERT_TRUE(WaitForValue("document.title", "ready"));
    platform::GuiWindow& window = nib_->window().Window();
    window.PerformClose();
    ASSERT_TRUE(WaitForValue("document.title", "asked 1"));
    // The page decides: the window stays until the page ends the wizard.
    window.PerformClose();
    ASSERT_TRUE(WaitForValue("document.title", "asked 2"));
    EXPECT_TRUE(window.IsVisible());
    EXPECT_FALSE(platform::GuiApplication::IsTerminating());
    EXPECT_TRUE(alerts_.empty());
}

TEST_F(PageBridgeTest, WhenThePageDoesNotAnswerSetupAsksItself)
{
    // A page whose script is stuck answers no close request: after a short wait Setup asks its
    // own question, so that the user can always quit.
    UseShippedFrameLoadScript();
    WriteResource("main.html",
                  "<html><head><title>Page</title><script>\n"
                  "function DQENOnLoad() { document.title = 'ready'; }\n"
                  "function DQENOnClose() { document.title = 'asked'; }\n"
                  "</script></head><body></body></html>");
    Launch();
    ASSERT_TRUE(WaitForValue("document.title", "ready"));
    // Sent without waiting: the close request's evaluation queues behind the loop, so the page
    // is stuck before it is asked (a loop begun by a timer may start after the question).
    nib_->webView().EvaluateScript("for (;;) {}");
    platform::GuiWindow& window = nib_->window().Window();
    alertAnswer_ = platform::kAlertDefaultReturn;
    window.PerformClose();
    EXPECT_TRUE(WaitFor([this]() { return !alerts_.empty(); }));
    if (!alerts_.empty()) {
        EXPECT_EQ(alerts_[0].informativeText, "Setup has not finished. Do you want to quit Setup?");
    }
    EXPECT_TRUE(WaitFor([]() { return platform::GuiApplication::IsTerminating(); }));
    EXPECT_FALSE(window.IsVisible());
    // The looping page's process goes, rather than outliving the test.
    nib_->webView().TerminatePageProcessForTesting();
}

}  // namespace tolktest
