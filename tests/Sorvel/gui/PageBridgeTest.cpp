#include "WizardFixture.h"

#include <gtest/gtest.h>

namespace tolktest {

class PageBridgeTest : public WizardTest {
protected:
    void LaunchBridgePage()
    {
        WriteResource("main.html", kBridgePage);
        Launch();
        ASSERT_TRUE(WaitForValue("document.title", "ready"));
    }
};

TEST_F(PageBridgeTest, CallsTheMethodAndSetsTheResultBeforeAlertReturns)
{
    LaunchBridgePage();
    EXPECT_EQ(Bridge("DQEN<===>UISetWindowTitle<===>Hello"), "");
    EXPECT_EQ(nib_->window().Window().Title(), "Hello");
    EXPECT_EQ(Bridge("DQEN<===>UISetWindowTitle"), "{\"_error\":\"1\"}");
}

}  // namespace tolktest
