// The built Setup in silent mode on the example media, with one system call made to fail once
// (the step killer's fail mode): a removal whose database write fails, an upgrade that cannot
// remove a folder of the old version. Each such run fails, says why and is taken back; the next
// run finishes the work and leaves nothing behind. Between runs the installation database holds
// no mark of a run.
#include "SilentExampleFixture.h"

#include "Common/source/xplat/NamedLock.h"
#include "tests/support/OtherUser.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/sem.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::UnorderedElementsAre;

namespace {

using namespace silenttest;

class SilentSetupFailedStepTest : public SilentExampleTest {
protected:
    // Runs Setup with the step of `fail` ("CALL:TEXT:N") failing with EIO.
    tolktest::ProgramResult RunFailing(const std::string& fail, const std::vector<std::string>& arguments)
    {
        std::vector<std::string> all = {"--mode=silent"};
        all.insert(all.end(), arguments.begin(), arguments.end());
        return tolktest::RunCapturingOutput(SETUP_PROGRAM, all, "", "", [&fail] {
            // A sanitizer build's runtime need not come first with the step killer preloaded.
            const char* asan = std::getenv("ASAN_OPTIONS");
            const std::string options = std::string(asan != nullptr ? asan : "") + ":verify_asan_link_order=0";
            return setenv("LD_PRELOAD", TOLK_STEP_KILLER, 1) == 0 && setenv("TOLK_STEP_FAIL", fail.c_str(), 1) == 0 &&
                   setenv("ASAN_OPTIONS", options.c_str(), 1) == 0;
        });
    }
    std::vector<std::string> Marks() { return Query("SELECT key FROM pcd_meta ORDER BY key"); }
    const std::vector<std::string> kOnlySchemaRows = {"schema_compatibility_version", "schema_version"};
};

}  // namespace

TEST_F(SilentSetupFailedStepTest, ARemovalWhoseDatabaseWriteFailsIsTakenBackAndTheNextOneFinishes)
{
    ASSERT_EQ(Deploy("install").exitCode, 0);
    EXPECT_EQ(Marks(), kOnlySchemaRows);
    const std::vector<std::string> remove = {"--installerParent=" + medium_,
                                             "--deploymentFile=" + medium_ + "/deployment/remove.xml"};
    // Each payload's stored script removes its record: the n-th write of the journal fails.
    int failed = 0;
    for (int n = 1; n < 10; ++n) {
        tolktest::ProgramResult result = RunFailing("open:caps.db-journal:" + std::to_string(n), remove);
        if (result.exitCode == 0)
            break;
        ++failed;
        EXPECT_EQ(result.exitCode, 22) << result.output << result.errorOutput;
        EXPECT_THAT(result.errorOutput, HasSubstr("Setup: cause:"));
        // Every payload still recorded can be removed later: its stored script is there.
        for (const std::string& code : Query("SELECT payloadID FROM tolk_collection_payload WHERE installState = 2")) {
            // Font Check is another maker's installer: its record is all there is of it.
            EXPECT_TRUE(code == kFontCheck || fs::exists(Orvex("/Uninstall/" + code + ".js"))) << n << " " << code;
        }
        EXPECT_EQ(InstalledPayloads().size(), 3u) << n;
        EXPECT_EQ(Marks(), kOnlySchemaRows);
    }
    EXPECT_GE(failed, 2);
    tolktest::ProgramResult result = Deploy("remove");
    ASSERT_EQ(result.exitCode, 0) << result.output << result.errorOutput;
    ExpectNothingOfTheSuite();
    EXPECT_EQ(Marks(), kOnlySchemaRows);
}

TEST_F(SilentSetupFailedStepTest, AnUpgradeThatCannotRemoveAnOldFolderIsTakenBack)
{
    ASSERT_EQ(Run(medium_ + "/earlier").exitCode, 0);
    tolktest::ProgramResult result = RunFailing("unlinkat:Contents/MacOS", {"--installerParent=" + medium_});
    EXPECT_EQ(result.exitCode, 22) << result.output << result.errorOutput;
    EXPECT_THAT(result.errorOutput, HasSubstr("Setup: cause:"));
    // The earlier version is there as it was.
    EXPECT_THAT(InstalledPayloads(), ElementsAre(kEarlierSuite + " " + kSketchbookOne));
    EXPECT_THAT(tolktest::ReadTextFile(App("/MacOS/Orvex Sketchbook")), HasSubstr("Orvex Sketchbook 1.0"));
    EXPECT_THAT(Tree(Orvex("/Uninstall")), UnorderedElementsAre(kSketchbookOne + ".js", kEarlierSuite + ".js"));
    EXPECT_EQ(Marks(), kOnlySchemaRows);

    result = Run(medium_);
    ASSERT_EQ(result.exitCode, 0) << result.output << result.errorOutput;
    EXPECT_EQ(InstalledPayloads().size(), 3u);
    EXPECT_EQ(Marks(), kOnlySchemaRows);
    result = Deploy("remove");
    ASSERT_EQ(result.exitCode, 0) << result.output << result.errorOutput;
    ExpectNothingOfTheSuite();
    EXPECT_EQ(Marks(), kOnlySchemaRows);
}

TEST_F(SilentSetupFailedStepTest, TheCauseOfTheFirstFailureStaysOnStandardErrorWhateverIsLoggedAfter)
{
    // A medium without the driver payload's image, whose workflow logs one more error at its end.
    const std::string image = medium_ + "/payloads/OrvexSketchbook/OrvexSketchbook.dmg";
    fs::remove_all(image);
    const std::string workflow = medium_ + "/resources/common/scripts/silentWorkflow.js";
    tolktest::WriteTextFile(workflow, tolktest::ReadTextFile(workflow) +
                                          "new ContainerProxy().call('Log', 2, 'A closing line of the workflow.');\n");
    const tolktest::ProgramResult result = Deploy("install");
    EXPECT_EQ(result.exitCode, 22) << result.output << result.errorOutput;
    EXPECT_THAT(result.errorOutput, HasSubstr("Setup: A closing line of the workflow."));
    EXPECT_THAT(result.errorOutput, HasSubstr("Setup: cause: The payload image \"" + image + "\" does not exist.\n"));
    ExpectNothingOfTheSuite();
}

TEST_F(SilentSetupFailedStepTest, AnotherUserOnTheSuiteThatRootInstalledIsToldToRunAsRoot)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root";
    ASSERT_EQ(Deploy("install").exitCode, 0);
    // As after a restart: no semaphore of root's lock is left to refuse the user first.
    semctl(NamedLock::NamedLockPlat("TolkSetupLock").SetId(), 0, IPC_RMID);
    fs::permissions(sysroot_.Base(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                         fs::perms::others_read | fs::perms::others_exec);
    ASSERT_EQ(chown(sysroot_.Home().c_str(), tolktest::NobodyUser(), tolktest::NobodyGroup()), 0);
    for (const std::string action : {"install", "repair", "remove"}) {
        const tolktest::ProgramResult result =
            tolktest::RunCapturingOutput(SETUP_PROGRAM,
                                         {"--mode=silent", "--installerParent=" + medium_,
                                          "--deploymentFile=" + medium_ + "/deployment/" + action + ".xml"},
                                         "", "", tolktest::BecomeNobody);
        if (result.exitCode == tolktest::RunningProgram::kChildSetUpFailed)
            GTEST_SKIP() << "cannot run the program as an unprivileged user";
        EXPECT_EQ(result.exitCode, 22) << action << result.output << result.errorOutput;
        EXPECT_THAT(result.errorOutput, HasSubstr("needs administrator rights")) << action;
        EXPECT_THAT(result.errorOutput, HasSubstr("Run Setup as root.")) << action;
        EXPECT_THAT(result.errorOutput, ::testing::Not(HasSubstr("hdiutil"))) << action;
        EXPECT_EQ(InstalledPayloads().size(), 3u) << action;
    }
}
