// The example medium's wizard (examples/resources) in the wizard window, over a copy of the
// example medium (its application's image made bigger) and a temporary system root, driven as a
// user would through its buttons and the window's close box: an install that is cancelled in its
// middle, an install to its end whose percent moves inside a payload, a repair of a damaged and a
// missing file, quitting through the close box, and the removal from the maintenance page; and
// the wizard that another Setup's lock keeps from starting. A screenshot of every page goes to the
// build folder ("example-wizard").
#include "WizardFixture.h"

#include "Common/source/xplat/NamedLock.h"
#include "Common/source/xplat/RunReport.h"
#include "Sorvel/source/mac/SVLDHTMLAlertController.h"
#include "Sorvel/source/xplat/FailureReport.h"
#include "Sorvel/source/xplat/SorvelConstants.h"
#include "Sorvel/source/xplat/UIThreadOperationManager.h"
#include "caps/capsiHooks.h"
#include "tests/caps/CapsTestSupport.h"

#include "platform/RunLoop.h"
#include "platform/gui/GuiApplication.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <regex>
#include <sstream>

using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

namespace tolktest {

namespace fs = std::filesystem;

// Clicks a button of the HTML alert from the application's events, again and again until the
// alert's page has taken it (a blank page comes first), then stops.
struct AlertClicker {
    SVLDHTMLAlertController* alert = nullptr;
    std::string script;
    bool shown = false;
    bool done = false;  // the test has moved on: the alert may be gone
    std::chrono::steady_clock::time_point last;

    static void Post(const std::shared_ptr<AlertClicker>& clicker)
    {
        platform::RunLoop::Main().Post([clicker]() { clicker->Step(clicker); });
    }
    void Step(const std::shared_ptr<AlertClicker>& self)
    {
        if (done)
            return;
        if (alert->alertData().showing) {
            shown = true;
            if (std::chrono::steady_clock::now() - last > std::chrono::milliseconds(100)) {
                last = std::chrono::steady_clock::now();
                alert->dhtmlView().EvaluateScript(script);
            }
        } else if (shown) {
            return;
        }
        Post(self);
    }
};

class ExampleWizardTest : public WizardTest {
protected:
    void SetUp() override
    {
        WizardTest::SetUp();
        if (IsSkipped())
            return;
        capsiSetRunningAsRootForTesting(1);
        UseShippedFrameLoadScript();
        for (const char* part : {"Bootstrapper.dmg", "payloads", "resources"})
            fs::copy(std::string(TOLK_SOURCE_DIR "/examples/") + part, media_ + "/" + part,
                     fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        engine_->SetUIThreadOperationManagerForTesting(
            boost::shared_ptr<UIThreadOperationManager>(new UIThreadOperationManager(nullptr)));
        fs::create_directories(kShots);
    }

    void TearDown() override
    {
        capsiSetRunningAsRootForTesting(-1);
        WizardTest::TearDown();
    }

    // A wizard of its own, as a new start of Setup would have.
    void Start()
    {
        nib_.reset();
        platform::GuiApplication::ResetForTesting();
        Launch();
    }

    bool WaitForPage(const std::string& page) { return WaitForValue("document.body.getAttribute('data-page')", page); }
    std::string Text(const std::string& id) { return Evaluate("document.getElementById('" + id + "').textContent"); }
    void Click(const std::string& id) { Evaluate("document.getElementById('" + id + "').click(); 0"); }
    void Shot(const std::string& name)
    {
        EXPECT_TRUE(nib_->webView().SaveSnapshotPNG(kShots + "/" + std::to_string(++shots_) + "-" + name + ".png", 30))
            << name;
    }

    // From the welcome page to the start of the install, with the default folder.
    void WalkToTheInstall()
    {
        ASSERT_TRUE(WaitForPage("welcome"));
        Click("next");
        ASSERT_TRUE(WaitForPage("licence"));
        Click("accept");
        Click("next");
        ASSERT_TRUE(WaitForPage("destination"));
        Click("next");
        ASSERT_TRUE(WaitForPage("summary"));
        Click("next");
    }

    std::string Orvex(const std::string& path) const
    {
        return sysroot_.Path("/Library/Application Support/Orvex") + path;
    }
    std::vector<std::string> Records()
    {
        capstest::RawDatabase database(Orvex("/caps/caps.db"));
        return database.Rows("SELECT collectionID || ' ' || payloadID FROM tolk_collection_payload UNION ALL "
                             "SELECT collectionID FROM tolk_collection");
    }
    // Nothing of the suite: no folder, no bootstrapper, no record.
    void ExpectNothingInstalled()
    {
        EXPECT_FALSE(fs::exists(sysroot_.Path("/Applications/Orvex Sketchbook")));
        EXPECT_FALSE(fs::exists(Orvex("/Brushes")));
        EXPECT_TRUE(fs::is_empty(Orvex("/Installers")));
        EXPECT_THAT(Records(), IsEmpty());
    }

    // Files added to the application's image, so that its install takes a while.
    void AddImageFiles(int count)
    {
        const std::string bulk = media_ + "/payloads/OrvexSketchbook/OrvexSketchbook.dmg/Assets/"
                                          "Orvex Sketchbook.app/Contents/Resources/Bulk/";
        for (int i = 0; i < count; ++i) {
            if (i % 100 == 0)
                fs::create_directories(bulk + std::to_string(i / 100));
            WriteTextFile(bulk + std::to_string(i / 100) + "/" + std::to_string(i) + ".txt", std::to_string(i));
        }
    }

    // The window's close box, as the user clicks it, then the button of the question the page
    // asks; the page waits in that question meanwhile, so the button is clicked from the events.
    void CloseTheWindowAnswering(const std::string& button)
    {
        auto clicker = std::make_shared<AlertClicker>();
        clicker->alert = &nib_->controller().alertController();
        clicker->script = "Array.prototype.forEach.call(document.querySelectorAll('button'), function (b) {"
                          " if (b.textContent === '" + button + "') b.click(); });";
        AlertClicker::Post(clicker);
        nib_->window().Window().PerformClose();
        const bool answered = WaitFor([&]() { return clicker->shown && !clicker->alert->alertData().showing; });
        clicker->done = true;
        ASSERT_TRUE(answered);
        EXPECT_EQ(clicker->alert->window().Title(), "Quit Setup");
    }

    // The percents the page showed for a step, in order.
    std::vector<int> PercentsShown(const std::string& label)
    {
        std::vector<int> percents;
        const std::regex shown(label + "\\.\\.\\. ([0-9]+)%");
        std::string texts = Evaluate("tolkShown.join('\\n')");
        for (std::sregex_iterator match(texts.begin(), texts.end(), shown), end; match != end; ++match)
            percents.push_back(std::stoi((*match)[1]));
        return percents;
    }

    const std::string kShots = TOLK_BINARY_DIR "/example-wizard";
    int shots_ = 0;
};

TEST_F(ExampleWizardTest, InstallsCancelsRepairsAndRemovesTheExampleSuite)
{
    // The screenshots of this run only.
    fs::remove_all(kShots);
    fs::create_directories(kShots);
    // The application's payload waits, inside its install, until the test opens the gate.
    const std::string gate = sysroot_.Scratch() + "/gate";
    ASSERT_EQ(mkfifo(gate.c_str(), 0600), 0);
    const std::string instructions = media_ + "/payloads/OrvexSketchbook/OrvexSketchbook.dmg/Instructions.js";
    const std::string original = ReadTextFile(instructions);
    const std::string waitAtGate = "QENSpawn('/bin/sh', false, ['-c', 'cat \"" + gate + "\" > /dev/null']);\n";
    WriteTextFile(instructions, waitAtGate + original);
    AddImageFiles(600);

    Start();
    ASSERT_TRUE(WaitForPage("welcome"));
    EXPECT_EQ(Text("title"), "Welcome to Orvex Sketchbook 2.0 Setup");
    EXPECT_THAT(Text("page"), HasSubstr("Orvex Font Check 1.0"));
    EXPECT_EQ(nib_->window().Window().ContentRect().width, 640);
    EXPECT_EQ(nib_->window().Window().ContentRect().height, 480);
    Shot("welcome");
    Click("next");
    ASSERT_TRUE(WaitForPage("licence"));
    EXPECT_THAT(Text("eula"), HasSubstr("licence agreement of Orvex Sketchbook"));
    EXPECT_EQ(Evaluate("document.getElementById('next').disabled"), "true");
    Shot("licence");
    Click("accept");
    Click("next");

    // A folder that cannot be used is named as such; the default one can.
    ASSERT_TRUE(WaitForPage("destination"));
    EXPECT_EQ(Text("folder"), sysroot_.Path("/Applications/Orvex Sketchbook"));
    EXPECT_THAT(Text("space"), HasSubstr("Free on "));
    panelChoice_ = {sysroot_.Scratch() + "/missing"};
    Click("choose");
    EXPECT_EQ(Text("problem"), "The folder does not exist.");
    EXPECT_EQ(Evaluate("document.getElementById('next').disabled"), "true");
    Shot("destination-unusable");
    panelChoice_ = {sysroot_.Path("/Applications")};
    Click("choose");
    EXPECT_EQ(Evaluate("document.getElementById('next').disabled"), "false");
    Shot("destination");
    Click("next");
    ASSERT_TRUE(WaitForPage("summary"));
    EXPECT_THAT(Text("summary"), HasSubstr(Orvex("/Brushes")));
    Shot("summary");
    Click("next");

    // In the middle of the install: the bootstrapper and two payloads are in, the application's
    // payload waits at the gate. Cancel, confirm, and let the payload go on to its cancel.
    ASSERT_TRUE(WaitForPage("progress"));
    int gateFd = -1;
    ASSERT_TRUE(WaitFor([&]() { return (gateFd = open(gate.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC)) >= 0; }));
    ASSERT_TRUE(WaitForValue("document.getElementById('status').textContent.indexOf('Installing Orvex Sketchbook 2.0')",
                             "0"));
    EXPECT_TRUE(fs::exists(Orvex("/Brushes/Pencil.brush")));
    Shot("installing");
    Click("quit");
    EXPECT_EQ(Evaluate("document.getElementById('confirm').className"), "");
    Shot("cancel");
    Click("stop");
    close(gateFd);
    ASSERT_TRUE(WaitForPage("finished"));
    EXPECT_EQ(Text("outcome"), "The installation was cancelled. Nothing of it stays installed.");
    Shot("cancelled");
    ExpectNothingInstalled();
    Click("next");
    EXPECT_TRUE(platform::GuiApplication::IsTerminating());
    EXPECT_EQ(engine_->GetExitCode(), 23);
    // The standard error says it was cancelled, and no error: the refused command that ended
    // the payload's script was the cancel itself.
    std::ostringstream report;
    FailureReport::Write(report, engine_->GetExitCode(), false);
    EXPECT_THAT(report.str(), HasSubstr("Setup: the user cancelled the run\n"));
    EXPECT_THAT(report.str(), Not(HasSubstr("rror")));

    // Installed to the end. The application's payload waits at the gate after its files: its
    // percent has moved with them, while it still runs.
    WriteTextFile(instructions, original + waitAtGate);
    Start();
    ASSERT_TRUE(WaitForPage("welcome"));
    Evaluate("var tolkShown = []; var tolkSetStatus = setStatus;"
             "setStatus = function (text, f) { tolkShown.push(text); tolkSetStatus(text, f); }; 0");
    WalkToTheInstall();
    ASSERT_TRUE(WaitForPage("progress"));
    ASSERT_TRUE(WaitFor([&]() { return (gateFd = open(gate.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC)) >= 0; }));
    ASSERT_TRUE(WaitForValue("document.getElementById('status').textContent", "Installing Orvex Sketchbook 2.0... 99%"));
    Shot("installing-files");
    const std::vector<int> percents = PercentsShown("Installing Orvex Sketchbook 2.0");
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end())) << ::testing::PrintToString(percents);
    close(gateFd);
    ASSERT_TRUE(WaitForPage("finished"));
    WriteTextFile(instructions, original);
    EXPECT_THAT(Text("outcome"), HasSubstr("Orvex Sketchbook 2.0 in " + sysroot_.Path("/Applications/Orvex Sketchbook")));
    Shot("installed");
    struct stat info;
    ASSERT_EQ(stat(sysroot_.Path("/Applications/Orvex Sketchbook/Orvex Sketchbook.app/Contents/MacOS/Orvex Sketchbook")
                       .c_str(),
                   &info),
              0);
    EXPECT_EQ(info.st_mode & 07777, 0755u);
    EXPECT_EQ(Records().size(), 4u);  // three payloads and the suite's collection
    Click("next");
    EXPECT_EQ(engine_->GetExitCode(), 0);

    // Started again: the suite is installed, so the wizard offers repair and removal. The close
    // box asks the page's own question; "Continue" stays. A repair puts back a damaged and a
    // deleted file, and names them.
    const std::string welcome =
        sysroot_.Path("/Applications/Orvex Sketchbook/Orvex Sketchbook.app/Contents/Resources/Welcome.txt");
    const std::string originalWelcome = ReadTextFile(welcome);
    WriteTextFile(welcome, "damaged");
    fs::remove(Orvex("/Brushes/Pencil.brush"));
    Start();
    ASSERT_TRUE(WaitForPage("maintenance"));
    Shot("maintenance");
    CloseTheWindowAnswering("Continue");
    EXPECT_FALSE(platform::GuiApplication::IsTerminating());
    EXPECT_EQ(Evaluate("document.body.getAttribute('data-page')"), "maintenance");
    Click("next");
    ASSERT_TRUE(WaitForPage("finished"));
    EXPECT_THAT(Text("page"), HasSubstr("Setup has repaired"));
    EXPECT_THAT(Text("page"), HasSubstr("Orvex Sketchbook 2.0: put back 1 file" + welcome));
    EXPECT_THAT(Text("page"), HasSubstr("Orvex Sketchbook Brushes 1.0: put back 1 file" + Orvex("/Brushes/Pencil.brush")));
    Shot("repaired");
    EXPECT_EQ(ReadTextFile(welcome), originalWelcome);
    EXPECT_TRUE(fs::exists(Orvex("/Brushes/Pencil.brush")));
    Click("next");
    EXPECT_EQ(engine_->GetExitCode(), 0);

    // Quitting through the close box before the end: the page's question, then 23.
    Start();
    ASSERT_TRUE(WaitForPage("maintenance"));
    CloseTheWindowAnswering("Quit");
    EXPECT_TRUE(WaitFor([]() { return platform::GuiApplication::IsTerminating(); }));
    EXPECT_EQ(engine_->GetExitCode(), 23);

    Start();
    ASSERT_TRUE(WaitForPage("maintenance"));
    Click("remove");
    Click("next");
    ASSERT_TRUE(WaitForPage("finished"));
    EXPECT_THAT(Text("outcome"), HasSubstr("Orvex Sketchbook Brushes 1.0"));
    Shot("removed");
    ExpectNothingInstalled();
    Click("next");
    EXPECT_EQ(engine_->GetExitCode(), 0);
}

TEST_F(ExampleWizardTest, QuittingEndsWith23AndSaysSoAlsoWhenThePageIsStuck)
{
    // The page's own question, answered Quit.
    Start();
    ASSERT_TRUE(WaitForPage("welcome"));
    RunReport::Reset();
    CloseTheWindowAnswering("Quit");
    EXPECT_TRUE(WaitFor([]() { return platform::GuiApplication::IsTerminating(); }));
    EXPECT_EQ(engine_->GetExitCode(), 23);
    std::ostringstream pageQuit;
    FailureReport::Write(pageQuit, engine_->GetExitCode(), false);
    EXPECT_THAT(pageQuit.str(), HasSubstr("Setup: the user quit before the end\n"));
    EXPECT_THAT(pageQuit.str(), Not(HasSubstr("logged no error")));

    // A page whose script is stuck in a loop answers no close box: Setup asks its own question,
    // in a dialog titled as the wizard, and its Quit ends the run the same way.
    engine_->SetExitCode(0);
    Start();
    ASSERT_TRUE(WaitForPage("welcome"));
    RunReport::Reset();
    alerts_.clear();
    // Sent without waiting: the close request's evaluation queues behind the loop, so the page
    // is stuck before it is asked (a loop begun by a timer may start after the question).
    nib_->webView().EvaluateScript("for (;;) {}");
    alertAnswer_ = platform::kAlertDefaultReturn;
    nib_->window().Window().PerformClose();
    EXPECT_TRUE(WaitFor([]() { return platform::GuiApplication::IsTerminating(); }));
    ASSERT_EQ(alerts_.size(), 1u);
    EXPECT_EQ(alerts_[0].defaultButton, "Quit");
    EXPECT_FALSE(alerts_[0].title.empty());
    EXPECT_EQ(alerts_[0].title, nib_->window().Window().Title());
    EXPECT_EQ(engine_->GetExitCode(), 23);
    std::ostringstream setupQuit;
    FailureReport::Write(setupQuit, engine_->GetExitCode(), false);
    EXPECT_EQ(setupQuit.str().substr(0, setupQuit.str().find('\n') + 1), "Setup: the user quit before the end\n");
    EXPECT_THAT(setupQuit.str(), Not(HasSubstr("logged no error")));
    nib_->webView().TerminatePageProcessForTesting();
}

TEST_F(ExampleWizardTest, ASetupThatHoldsTheSetupLockKeepsTheWizardFromStarting)
{
    boost::shared_ptr<NamedLock> lock;
    ASSERT_TRUE(NamedLock::AcquireLock(SorvelConstants::kSetupLockName, lock));
    Start();
    ASSERT_TRUE(WaitForPage("current"));
    EXPECT_EQ(Text("title"), "Setup is already running");
    Click("next");
    EXPECT_TRUE(platform::GuiApplication::IsTerminating());
    EXPECT_EQ(engine_->GetExitCode(), 20);
}

}  // namespace tolktest
