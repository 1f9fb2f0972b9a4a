// scripts/make-sysroot as a user runs it: with the root folder alone it takes the stand-in tools
// from $TOLK_BUILD_DIR, and it refuses, naming what is missing, to lay out a root without them.
#include "support/ProgramRun.h"
#include "support/TempSystemRoot.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

using ::testing::HasSubstr;

namespace {

namespace fs = std::filesystem;

class MakeSysrootTest : public tolktest::SystemRootTest {
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

TEST_F(MakeSysrootTest, OneArgumentLaysOutTheToolsOrSaysWhichAreMissing)
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
