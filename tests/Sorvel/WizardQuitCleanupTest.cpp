#include "Sorvel/source/mac/SVLWizardController.h"

#include "caps/caps.h"
#include "caps/capsiHooks.h"

#include "tests/support/TempSystemRoot.h"

#include "platform/Bundle.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

const char kSessionKey[] = "0123456789abcdef0123456789abcde";

// A session's bootstrapper as the command engine left it: an uninstall script under the session
// key whose playback leaves a mark, and the session's collection in the database.
class WizardQuitCleanupTest : public tolktest::SystemRootTest {
protected:
    void SetUp() override
    {
        capsiSetRunningAsRootForTesting(1);
        const std::string bundle = sysroot_.Scratch() + "/Setup.app";
        tolktest::MakeFolders(bundle + "/Contents/SharedSupport");
        for (const char* name : {"InstallSetup.js", "InstallConditionsPrefix.js", "InstallConditionsSuffix.js"})
            std::filesystem::copy_file(std::string(TOLK_SOURCE_DIR "/Sorvel/resources/SharedSupport/") + name,
                                       bundle + "/Contents/SharedSupport/" + name);
        platform::Bundle::SetMainBundlePathForTesting(bundle);
        tolktest::MakeFolders(UninstallFolder());
        tolktest::WriteTextFile(UninstallFolder() + "/" + kSessionKey + ".js", "");
    }

    void TearDown() override
    {
        platform::Bundle::SetMainBundlePathForTesting("");
        capsiSetRunningAsRootForTesting(-1);
    }

    std::string UninstallFolder() const { return sysroot_.Path("/Library/Application Support/Orvex/Uninstall"); }
    bool BootstrapperInstalled() const
    {
        return std::filesystem::exists(UninstallFolder() + "/" + kSessionKey + ".js");
    }

    // The session's collection with one payload, installed or not.
    void RecordCollection(bool payloadInstalled)
    {
        capsiSession* session = nullptr;
        ASSERT_EQ(capsOpenSession(&session), 0);
        ASSERT_EQ(capsAddCollection(session, kSessionKey, "{AAAAAAAA-0000-0000-0000-000000000000}"), 0);
        ASSERT_EQ(capsAddPayload(session, kSessionKey, "{AAAAAAAA-0000-0000-0000-000000000000}", "Family", "Product",
                                 "1.0", "sig", nullptr, nullptr),
                  0);
        ASSERT_EQ(capsSetInstallState(session, kSessionKey, "{AAAAAAAA-0000-0000-0000-000000000000}",
                                      payloadInstalled ? kCapsInstalled : kCapsNotInstalled),
                  0);
        ASSERT_EQ(capsCloseSession(session), 0);
    }
};

}  // namespace

TEST_F(WizardQuitCleanupTest, NothingOfTheSessionInstalledRemovesTheBootstrapper)
{
    RecordCollection(false);
    SVLWizardController::UninstallBootstrapperOfUnusedSession(kSessionKey);
    EXPECT_FALSE(BootstrapperInstalled());
}

TEST_F(WizardQuitCleanupTest, AnInstalledPayloadKeepsTheBootstrapper)
{
    RecordCollection(true);
    SVLWizardController::UninstallBootstrapperOfUnusedSession(kSessionKey);
    EXPECT_TRUE(BootstrapperInstalled());
}

TEST_F(WizardQuitCleanupTest, AnUnknownSessionKeepsTheBootstrapper)
{
    SVLWizardController::UninstallBootstrapperOfUnusedSession(kSessionKey);
    EXPECT_TRUE(BootstrapperInstalled());
}
