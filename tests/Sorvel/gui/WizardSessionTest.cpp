// The wizard over a payload session: its title, and the bootstrapper clean-up when it quits.
#include "WizardFixture.h"

#include "PayloadSessionManager.h"
#include "caps.h"
#include "capsiHooks.h"

#include "platform/GuiApplication.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tolktest {

class WizardSessionTest : public WizardTest {
protected:
    void SetUp() override
    {
        WizardTest::SetUp();
        if (IsSkipped())
            return;
        capsiSetRunningAsRootForTesting(1);
        CopyExamplePayloads();
        WriteResource("main.html", kBridgePage);
        Launch();
        ASSERT_TRUE(WaitForValue("document.title", "ready"));
        boost::shared_ptr<PayloadSessionManager> session = engine_->GetPayloadSessionManager();
        ASSERT_TRUE(session);
        sessionKey_ = session->GetSessionKey();
    }

    void TearDown() override
    {
        capsiSetRunningAsRootForTesting(-1);
        WizardTest::TearDown();
    }

    std::string UninstallScript() const
    {
        return sysroot_.Path("/Library/Application Support/Orvex/Uninstall") + "/" + sessionKey_ + ".js";
    }

    // What the bootstrapper's install leaves: its uninstall script and the session's collection,
    // in which nothing is installed.
    void RecordBootstrapper()
    {
        MakeFolders(std::filesystem::path(UninstallScript()).parent_path().string());
        WriteTextFile(UninstallScript(), "");
        capsiSession* database = nullptr;
        ASSERT_EQ(capsOpenSession(&database), kCapsOK);
        ASSERT_EQ(capsAddCollection(database, sessionKey_.c_str(), "{EAA9F4CF-E360-4950-BA50-519B03622F12}"), kCapsOK);
        ASSERT_EQ(capsCloseSession(database), kCapsOK);
    }

    std::string sessionKey_;
};

TEST_F(WizardSessionTest, TheTitleNamesTheDriverPayloadsProduct)
{
    EXPECT_EQ(nib_->window().Window().Title(), "Orvex Sketchbook Setup");
}

TEST_F(WizardSessionTest, QuittingAnInitialisedSessionWithNothingInstalledRemovesTheBootstrapper)
{
    RecordBootstrapper();
    // The page marks the session initialised through the data-access publisher.
    EXPECT_EQ(Bridge("DQEN<===>SetSessionInitialized<===>1"), "{ \"success\": 1 }");
    ASSERT_TRUE(engine_->GetSessionInitialized());
    EXPECT_EQ(Bridge("DQEN<===>UIExitDialog<===>"), "");
    EXPECT_TRUE(platform::GuiApplication::IsTerminating());
    EXPECT_FALSE(std::filesystem::exists(UninstallScript()));
}

TEST_F(WizardSessionTest, QuittingASessionThePageNeverInitialisedKeepsTheBootstrapper)
{
    RecordBootstrapper();
    EXPECT_EQ(Bridge("DQEN<===>UIExitDialog<===>"), "");
    EXPECT_TRUE(platform::GuiApplication::IsTerminating());
    EXPECT_TRUE(std::filesystem::exists(UninstallScript()));
}

TEST_F(WizardSessionTest, QuittingWhileBootstrappingKeepsTheBootstrapper)
{
    RecordBootstrapper();
    engine_->SetSessionInitialized(true);
    engine_->bootstrapping_ = true;
    platform::GuiApplication::Terminate();
    EXPECT_TRUE(std::filesystem::exists(UninstallScript()));
}

}  // namespace tolktest
