#include "WizardFixture.h"

#include "Sorvel/source/mac/SVLDHTMLAlertController.h"

#include "platform/gui/GuiApplication.h"

#include <gtest/gtest.h>

namespace tolktest {

namespace {

// An alert page that ends itself, once loaded, with the exit text.
std::string ExitingAlert(const std::string& exitScript)
{
    return "<html><head><title>Question</title></head><body><script>function DQENOnLoad() { DQEN.UIExitDialog(" +
           exitScript + "); }</script></body></html>";
}

}  // namespace

class HTMLAlertTest : public WizardTest {
protected:
    void SetUp() override
    {
        WizardTest::SetUp();
        if (IsSkipped())
            return;
        WriteResource("main.html", kBridgePage);
        Launch();
        ASSERT_TRUE(WaitForValue("document.title", "ready"));
    }

    // What "UIShowModalAlert" answers the wizard page for the alert page.
    std::string ShowAlert(const std::string& html) { return Bridge("DQEN<===>UIShowModalAlert<===>" + html); }

    // Answers are script literals (an apostrophe comes escaped), as the pages read them.
    std::string ReturnValue(const std::string& answer) { return Evaluate("(" + answer + ").returnValue"); }

    SVLDHTMLAlertController& Alert() { return nib_->controller().alertController(); }

    std::string AlertPageTitle()
    {
        std::string title;
        Alert().dhtmlView().EvaluateScriptAndWait("document.title", title, 30);
        return title;
    }
};

TEST_F(HTMLAlertTest, TheExitTextIsTheAnswerAndTheWindowIsCleanedAfterwards)
{
    EXPECT_EQ(ReturnValue(ShowAlert(ExitingAlert("'yes'"))), "yes");
    EXPECT_FALSE(Alert().window().IsVisible());
    EXPECT_FALSE(Alert().alertData().showing);
    EXPECT_EQ(AlertPageTitle(), "Alert");
    EXPECT_TRUE(alerts_.empty());
}

TEST_F(HTMLAlertTest, ExitTextsArriveUnchangedEvenEmpty)
{
    EXPECT_EQ(ReturnValue(ShowAlert(ExitingAlert("'it\\'s \"quoted\" \\\\ done'"))),
              "it's \"quoted\" \\ done");
    EXPECT_EQ(ReturnValue(ShowAlert(ExitingAlert("''"))), "");
}

TEST_F(HTMLAlertTest, TheSameAlertTwiceIsLoadedTwice)
{
    const std::string page = ExitingAlert("'again'");
    // The window's first blank page may still be on its way.
    ASSERT_TRUE(WaitFor([this]() { return Alert().alertData().pageLoaded; }));
    const unsigned loads = Alert().dhtmlView().FinishedFrameLoads();
    EXPECT_EQ(ReturnValue(ShowAlert(page)), "again");
    EXPECT_EQ(ReturnValue(ShowAlert(page)), "again");
    // Each alert: its page, then the blank page.
    EXPECT_EQ(Alert().dhtmlView().FinishedFrameLoads(), loads + 4);
}

TEST_F(HTMLAlertTest, AnAlertWindowRefusesWhatItDoesNotOffer)
{
    const std::string answers = ReturnValue(ShowAlert(ExitingAlert(
        "[DQEN.UIShowModalAlert('<p>inner</p>'), DQEN.UISelectInstallLocation('/'), "
        "DQEN.UISetCloseBoxEnabled('1'), DQEN.UISetWindowTitle('Alert title'), DQEN.UIResizeWindow('300', '150')].join('|')")));
    EXPECT_EQ(answers, "{\"_error\":\"9999\"}|{\"_error\":\"9999\"}|{\"_error\":\"9999\"}||");
    EXPECT_EQ(Alert().window().Title(), "Alert title");
    EXPECT_EQ(Alert().window().ContentRect().width, 300);
    EXPECT_TRUE(panels_.empty());
}

TEST_F(HTMLAlertTest, OtherAlertsOfTheAlertPageShowThePanel)
{
    EXPECT_EQ(ReturnValue(ShowAlert("<html><body><script>function DQENOnLoad() { alert('Careful'); "
                                    "DQEN.UIExitDialog('ok'); }</script></body></html>")),
              "ok");
    ASSERT_EQ(alerts_.size(), 1u);
    EXPECT_EQ(alerts_[0].messageText, "JavaScript Alert");
    EXPECT_EQ(alerts_[0].informativeText, "Careful");
}

TEST_F(HTMLAlertTest, ASecondAlertWhileOneShowsIsRefused)
{
    bool second = true;
    std::string secondResult = "untouched";
    // Something else asks for an alert while the first one's session runs.
    whileAlertShows_ = [this, &second, &secondResult]() {
        second = Alert().showDHTMLAlert("<p>second</p>", secondResult);
    };
    EXPECT_EQ(ReturnValue(ShowAlert("<html><body><script>function DQENOnLoad() { alert('now'); "
                                    "DQEN.UIExitDialog('first'); }</script></body></html>")),
              "first");
    EXPECT_FALSE(second);
    EXPECT_EQ(secondResult, "untouched");
}

TEST_F(HTMLAlertTest, AnAlertWhosePageCrashesAnswersAsDismissed)
{
    EXPECT_EQ(ReturnValue(ShowAlert(ExitingAlert("'first'"))), "first");
    // The second alert's page dies while it shows its own panel, before it could end the alert.
    whileAlertShows_ = [this]() { Alert().dhtmlView().TerminatePageProcessForTesting(); };
    const std::string answer = ShowAlert("<html><body><script>function DQENOnLoad() { alert('crash'); "
                                         "DQEN.UIExitDialog('never'); }</script></body></html>");
    EXPECT_EQ(answer, "{\"returnValue\":\"\"}");
    EXPECT_FALSE(Alert().alertData().showing);
    whileAlertShows_ = nullptr;
    EXPECT_EQ(ReturnValue(ShowAlert(ExitingAlert("'third'"))), "third") << "the window serves the next alert";
}

}  // namespace tolktest
