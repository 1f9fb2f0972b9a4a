// The wizard over a payload session: its title, and the bootstrapper clean-up when it quits.
#include "WizardFixture.h"

#include "Sorvel/source/mac/SorvelQENPayloadController.h"
#include "Sorvel/source/xplat/PayloadSessionManager.h"
#include "Sorvel/source/xplat/UIThreadOperationManager.h"
#include "caps/caps.h"
#include "caps/capsiHooks.h"
#include "tests/Sorvel/FakeThreadOperation.h"

#include "platform/gui/GuiApplication.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

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

TEST_F(WizardSessionTest, QuittingDuringAnInstallCancelsItAndWaitsForItsRollbackBeforeTheCleanUp)
{
    RecordBootstrapper();
    engine_->SetSessionInitialized(true);
    engine_->SetUIThreadOperationManagerForTesting(
        boost::shared_ptr<UIThreadOperationManager>(new UIThreadOperationManager(nullptr)));

    // An install that goes on until it is told to stop, through the command engine's controls,
    // or until the test lets it finish; when stopped it rolls back, which takes a moment.
    std::atomic<bool> release{false};
    std::atomic<int> rolledBack{0};  // 1 rolled back while the bootstrapper was there, 2 after it was gone
    const std::string bootstrapper = UninstallScript();
    boost::shared_ptr<ThreadOperation> install(new FakeThreadOperation(
        [&release, &rolledBack, bootstrapper](FakeThreadOperation& operation, UIThreadOperationManager& manager) {
            std::vector<UserInterfaceMessagePrompt> prompts;
            SorvelQENPayloadController controller(operation, manager, prompts);
            while (!release) {
                if (!controller.HandleControlMessages()) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(200));
                    rolledBack = std::filesystem::exists(bootstrapper) ? 1 : 2;
                    return 1;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            return 0;
        }));
    ASSERT_TRUE(engine_->InstallPayload(install));

    platform::GuiApplication::Terminate();
    release = true;
    ThreadPayloadOperationState state;
    engine_->FinishInstallThread(false, state);
    EXPECT_EQ(rolledBack, 1) << "the install was stopped and rolled back before the clean-up";
    EXPECT_EQ(state.statusMessage.Code(), ThreadPayloadOperationState::kUnknownStatusCode);
    EXPECT_FALSE(std::filesystem::exists(UninstallScript())) << "nothing of the session stayed installed";
}

}  // namespace tolktest
