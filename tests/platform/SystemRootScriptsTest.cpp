// The scripts that lay out system roots, as a user runs them: make-sysroot with the root folder
// alone takes the stand-in tools from $TOLK_BUILD_DIR, and refuses, naming what is missing, to lay
// out a root without them; the example's wizard runner never deletes a root that a running Setup
// uses.
#include "tests/support/Deadline.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/TempSystemRoot.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

using ::testing::HasSubstr;

namespace {

namespace fs = std::filesystem;

class SystemRootScriptsTest : public tolktest::SystemRootTest {
protected:
    tolktest::ProgramResult MakeSysroot(const std::string& root, const std::string& buildDir)
    {
        setenv("TOLK_BUILD_DIR", buildDir.c_str(), 1);
        tolktest::ProgramResult result =
            tolktest::RunCapturingOutput("/bin/bash", {TOLK_SOURCE_DIR "/scripts/make-sysroot", root});
        unsetenv("TOLK_BUILD_DIR");
        return result;
    }
};

}  // namespace

TEST_F(SystemRootScriptsTest, OneArgumentLaysOutTheToolsOrSaysWhichAreMissing)
{
    const std::string root = sysroot_.Scratch() + "/root";
    const tolktest::ProgramResult made = MakeSysroot(root, TOLK_BINARY_DIR);
    ASSERT_EQ(made.exitCode, 0) << made.errorOutput;
    EXPECT_EQ(access((root + "/usr/bin/hdiutil").c_str(), X_OK), 0);
    EXPECT_EQ(access((root + "/System/Library/Frameworks/Carbon.framework/Versions/A/Support/LaunchCFMApp").c_str(),
                     X_OK),
              0);

    // A build folder without the tools: nothing is laid out, and the message names the list.
    const std::string empty = sysroot_.Scratch() + "/empty-build";
    tolktest::MakeFolders(empty);
    const tolktest::ProgramResult unbuilt = MakeSysroot(sysroot_.Scratch() + "/root2", empty);
    EXPECT_NE(unbuilt.exitCode, 0);
    EXPECT_THAT(unbuilt.errorOutput, HasSubstr(empty + "/platform/tools/tools.list is missing"));
    EXPECT_FALSE(fs::exists(sysroot_.Scratch() + "/root2"));

    // A listed tool that was not built is named.
    tolktest::MakeFolders(empty + "/platform/tools");
    tolktest::WriteTextFile(empty + "/platform/tools/tools.list", "hdiutil /usr/bin/hdiutil\n");
    const tolktest::ProgramResult partly = MakeSysroot(sysroot_.Scratch() + "/root3", empty);
    EXPECT_NE(partly.exitCode, 0);
    EXPECT_THAT(partly.errorOutput, HasSubstr("not built: " + empty + "/platform/tools/hdiutil"));
    EXPECT_FALSE(fs::exists(sysroot_.Scratch() + "/root3"));
}

TEST_F(SystemRootScriptsTest, TheWizardRunnerLeavesARootThatARunningSetupUses)
{
    // A stand-in "Setup" that runs on the build folder's root until it is killed.
    const std::string build = sysroot_.Scratch() + "/build";
    const std::string root = build + "/sysroot";
    const std::string setup = sysroot_.Scratch() + "/bin/Setup";
    const std::string ready = sysroot_.Scratch() + "/ready";
    tolktest::MakeFolders(root);
    tolktest::MakeFolders(sysroot_.Scratch() + "/bin");
    fs::copy_file("/bin/bash", setup);
    setenv("TOLK_SYSTEM_ROOT", (build + "/./sysroot").c_str(), 1);
    tolktest::RunningProgram running(setup, {"-c", "touch '" + ready + "'; while :; do sleep 1; done"});
    setenv("TOLK_SYSTEM_ROOT", sysroot_.Root().c_str(), 1);
    ASSERT_TRUE(tolktest::WaitUntil([&]() { return fs::exists(ready) || running.HasEnded(); }));
    ASSERT_TRUE(fs::exists(ready)) << "the stand-in Setup ended before it was ready";

    const tolktest::ProgramResult refused =
        tolktest::RunCapturingOutput("/bin/bash", {TOLK_SOURCE_DIR "/scripts/run-example-wizard", "--fresh", build});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_THAT(refused.errorOutput, HasSubstr(root + " is in use by a running Setup"));
    EXPECT_TRUE(fs::is_directory(root));
}
