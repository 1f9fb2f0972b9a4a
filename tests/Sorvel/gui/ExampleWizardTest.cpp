// The example medium's wizard page (examples/resources/main.html) in the wizard window.
#include "WizardFixture.h"

#include "platform/GuiApplication.h"

#include <gtest/gtest.h>

namespace tolktest {

class ExampleWizardTest : public WizardTest {
protected:
    void SetUp() override
    {
        WizardTest::SetUp();
        if (IsSkipped())
            return;
        WriteResource("main.html", ReadTextFile(TOLK_SOURCE_DIR "/examples/resources/main.html"));
        Launch();
        ASSERT_TRUE(WaitForValue("document.querySelector('h1') ? document.querySelector('h1').textContent : ''",
                                 "Welcome to Orvex Sketchbook Setup"));
    }
};

TEST_F(ExampleWizardTest, SizesAndShowsItsWindowThenWalksToTheEnd)
{
    platform::GuiWindow& window = nib_->window().Window();
    EXPECT_EQ(window.ContentRect().width, 560);
    EXPECT_EQ(window.ContentRect().height, 380);
    EXPECT_TRUE(window.IsVisible());
    EXPECT_FALSE(window.CloseButtonEnabled());

    panelChoice_ = {"/Applications/Tools"};
    Evaluate("next(); chooseFolder(); 0");
    EXPECT_EQ(Evaluate("document.getElementById('folder').textContent"), "/Applications/Tools");
    ASSERT_EQ(panels_.size(), 1u);
    EXPECT_EQ(panels_[0].title, "Destination");

    Evaluate("next(); 0");
    EXPECT_EQ(Evaluate("document.getElementById('next').textContent"), "Finish");
    EXPECT_FALSE(platform::GuiApplication::IsTerminating());
    Evaluate("next(); 0");
    EXPECT_TRUE(platform::GuiApplication::IsTerminating());
    EXPECT_TRUE(alerts_.empty());
}

}  // namespace tolktest
