#include "WizardFixture.h"

#include "Sorvel/source/mac/SVLDHTMLAlertController.h"
#include "Sorvel/source/mac/SVLWindow.h"

#include "platform/gui/GuiApplication.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <memory>

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

    // Runs step from the event loop once the alert window shows a page that titled it so. An
    // alert that the step did not end is ended later with the answer "not ended".
    void WhenAlertShows(const std::string& title, const std::function<void()>& step)
    {
        const std::shared_ptr<bool> alive = alive_;
        platform::GuiApplication::PerformAfter(0.05, [this, alive, title, step]() {
            if (!*alive)
                return;
            if (!Alert().alertData().showing || Alert().window().Title() != title) {
                WhenAlertShows(title, step);
                return;
            }
            step();
            platform::GuiApplication::PerformAfter(20, [this, alive]() {
                if (*alive && Alert().alertData().showing)
                    Alert().exitDialog("not ended");
            });
        });
    }

    // The Escape key as the window system hands it to the window.
    static void PressEscape(platform::GuiWindow& window)
    {
        GtkWidget* widget = GTK_WIDGET(window.NativeWindow());
        GdkEvent* event = gdk_event_new(GDK_KEY_PRESS);
        event->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(widget)));
        event->key.send_event = TRUE;
        event->key.time = GDK_CURRENT_TIME;
        event->key.keyval = GDK_KEY_Escape;
        gdk_event_set_device(event,
                             gdk_seat_get_keyboard(gdk_display_get_default_seat(gtk_widget_get_display(widget))));
        gtk_widget_event(widget, event);
        gdk_event_free(event);
    }

    ~HTMLAlertTest() override { *alive_ = false; }

    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
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

TEST_F(HTMLAlertTest, AnAlertIsAModalChildOfTheWizardThatEscapeOrItsCloseBoxCancels)
{
    // Kept above the wizard window, which takes no input while it shows; Escape ends an alert
    // whose page answers no close requests as dismissed.
    bool child = false;
    WhenAlertShows("First", [this, &child]() {
        GtkWindow* alert = GTK_WINDOW(Alert().window().NativeWindow());
        child = gtk_window_get_transient_for(alert) == GTK_WINDOW(nib_->window().Window().NativeWindow()) &&
                gtk_window_get_modal(alert);
        PressEscape(Alert().window());
    });
    EXPECT_EQ(ShowAlert("<html><body><script>function DQENOnLoad() { DQEN.UISetWindowTitle('First'); }"
                        "</script></body></html>"),
              "{\"returnValue\":\"\"}");
    EXPECT_TRUE(child);

    // The close box of an alert whose page answers close requests: as its cancel button.
    WhenAlertShows("Second", [this]() { Alert().window().PerformClose(); });
    EXPECT_EQ(ReturnValue(ShowAlert("<html><body><script>function DQENOnLoad() { DQEN.UISetWindowTitle('Second'); }\n"
                                    "function DQENOnClose() { DQEN.UIExitDialog('stay'); }</script></body></html>")),
              "stay");

    // One whose page takes the close box and keeps the alert (it must be answered with one of
    // its buttons): it outlasts the wait for an answer, until the page ends it.
    WhenAlertShows("Third", [this]() {
        Alert().window().PerformClose();
        const std::shared_ptr<bool> alive = alive_;
        platform::GuiApplication::PerformAfter(SVLWindow::kCloseAnswerSeconds + 0.5, [this, alive]() {
            if (*alive && Alert().alertData().showing)
                Alert().dhtmlView().EvaluateScript("DQEN.UIExitDialog(document.title)");
        });
    });
    EXPECT_EQ(ReturnValue(ShowAlert("<html><body><script>function DQENOnLoad() { DQEN.UISetWindowTitle('Third'); }\n"
                                    "function DQENOnClose() { document.title = 'answered'; }</script></body></html>")),
              "answered");
}

}  // namespace tolktest
