#include "GuiTestSupport.h"

#include "platform/HostInfo.h"
#include "platform/RunLoop.h"
#include "platform/gui/GuiPasteboard.h"

#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

namespace tolktest {

TEST_F(GuiTest, MainLaunchesServesEventsAndEndsOnTerminate)
{
    std::vector<std::string> events;
    auto ended = std::make_shared<bool>(false);
    platform::GuiApplication::AddObserver(platform::GuiApplication::kDidFinishLaunching, [&events, ended]() {
        events.push_back("launched");
        // Work that another thread sends the main thread runs inside the application's loop.
        std::thread([]() {
            platform::RunLoop::Main().PerformAndWait([]() { platform::GuiApplication::Terminate(); });
        }).detach();
        // A loop that never serves that work would never end either.
        platform::GuiApplication::PerformAfter(kPatience, [ended]() {
            if (*ended || platform::GuiApplication::IsTerminating())
                return;
            ADD_FAILURE() << "the worker's Terminate did not run within " << kPatience << " s";
            platform::GuiApplication::Terminate();
        });
    });
    platform::GuiApplication::AddObserver(platform::GuiApplication::kWillTerminate, [&events]() {
        events.push_back("terminating");
        platform::GuiApplication::Terminate();  // a second request posts nothing more
    });
    const int status =
        platform::GuiApplication::Main({"Setup"}, [&events]() { events.push_back("interface loaded"); });
    *ended = true;
    EXPECT_EQ(status, 0);
    EXPECT_EQ(events, (std::vector<std::string>{"interface loaded", "launched", "terminating"}));
    EXPECT_TRUE(platform::GuiApplication::IsTerminating());
}

TEST_F(GuiTest, ATerminationWhileLoadingSkipsTheLaunchAndTheLoop)
{
    bool launched = false;
    platform::GuiApplication::AddObserver(platform::GuiApplication::kDidFinishLaunching,
                                          [&launched]() { launched = true; });
    EXPECT_EQ(platform::GuiApplication::Main({"Setup"}, []() { platform::GuiApplication::Terminate(); }), 0);
    EXPECT_FALSE(launched);
}

TEST_F(GuiTest, AnOpenDisplayGivesTheMainDisplaysSize)
{
    std::uint32_t width = 0, height = 0;
    ASSERT_TRUE(platform::MainDisplaySize(width, height));
    EXPECT_GT(width, 0u);
    EXPECT_GT(height, 0u);
}

TEST_F(GuiTest, SleepingOnTheMainThreadServesTasksOfOtherThreads)
{
    bool ran = false;
    std::thread worker([&ran]() { platform::RunLoop::Main().PerformAndWait([&ran]() { ran = true; }); });
    // The sleep of a script call that waits for an install: a second at a time.
    JoinWhenDone(
        worker,
        [&ran]() {
            if (ran)
                return true;
            platform::RunLoop::Current().RunFor(1.0);
            return false;
        },
        "the main thread's sleep serving the worker's task");
}

TEST_F(GuiTest, WindowTitleSizeVisibilityAndCloseButton)
{
    platform::GuiWindow window("First", 300, 200);
    EXPECT_FALSE(window.IsVisible());
    window.MakeKeyAndOrderFront();
    EXPECT_TRUE(window.IsVisible());
    window.SetTitle("Second");
    EXPECT_EQ(window.Title(), "Second");
    window.SetContentSize(420, 310);
    EXPECT_EQ(window.ContentRect().width, 420);
    EXPECT_EQ(window.ContentRect().height, 310);
    // The window system agrees once it has caught up.
    EXPECT_TRUE(WaitFor([&window]() {
        return window.ContentRect().width == 420 && window.ContentRect().height == 310;
    }));
    // Sizes beyond any screen are cut down instead of failing the window system.
    window.SetContentSize(4000000, 0);
    EXPECT_EQ(window.ContentRect().width, 16384);
    EXPECT_EQ(window.ContentRect().height, 1);
    window.OrderOut();
    EXPECT_FALSE(window.IsVisible());
    window.SetCloseButtonEnabled(false);
    EXPECT_FALSE(window.CloseButtonEnabled());
}

TEST_F(GuiTest, TheCloseButtonAsksFirst)
{
    platform::GuiWindow window("Closing", 200, 100);
    bool allow = false;
    int asked = 0;
    int closed = 0;
    window.SetShouldCloseHandler([&allow, &asked]() {
        ++asked;
        return allow;
    });
    window.SetClosedHandler([&closed]() { ++closed; });
    window.MakeKeyAndOrderFront();
    window.PerformClose();
    EXPECT_TRUE(window.IsVisible());
    allow = true;
    window.PerformClose();
    EXPECT_FALSE(window.IsVisible());
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(closed, 1);
}

TEST_F(GuiTest, PasteboardText)
{
    ASSERT_TRUE(platform::WritePasteboardText("copied \xc3\xa9"));
    std::string text;
    EXPECT_TRUE(platform::ReadPasteboardText(text));
    EXPECT_EQ(text, "copied \xc3\xa9");
}

// Runs in a fresh process, which connects for the first time: the wizard that runs as root for
// another user takes its display from what it checked, not from that user's "--display=".
TEST(GuiApplicationDeathTest, ACopyForAnotherUserTakesNoDisplayFromItsArguments)
{
    if (std::getenv("DISPLAY") == nullptr)
        GTEST_SKIP() << "no display";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            setenv("PKEXEC_UID", std::to_string(geteuid() + 1).c_str(), 1);
            std::exit(platform::GuiApplication::Load({"Setup", "--display=:4711"}) ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace tolktest
