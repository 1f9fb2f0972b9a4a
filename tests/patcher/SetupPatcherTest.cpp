// The patcher's own routines: version packing, the installed bundle's version, path and
// argument helpers, the copy command.
#include "patcher/SetupPatcher.h"

#include "PatcherRun.h"

#include <gtest/gtest.h>

using namespace SetupPatcher;

TEST(SetupPatcherVersion, PacksOneBytePerComponentLastLowest)
{
    EXPECT_EQ(0x01000017u, VersionStrToUInt32("1.0.0.23"));
    EXPECT_EQ(0x01010205u, VersionStrToUInt32("1.1.2.5"));
    EXPECT_EQ(0x0A04u, VersionStrToUInt32("10.4"));
    EXPECT_EQ(0x010002u, VersionStrToUInt32("1.0b2"));
    EXPECT_EQ(0x00010005u, VersionStrToUInt32("1.0.5"));
    EXPECT_EQ(0x010002u, VersionStrToUInt32("v1..0-2 "));  // leading and repeated separators skipped
}

TEST(SetupPatcherVersion, KeepsLastFourComponentsEachModulo256)
{
    EXPECT_EQ(0x01000001u, VersionStrToUInt32("1.256.0.1"));
    EXPECT_EQ(0x02030405u, VersionStrToUInt32("1.2.3.4.5"));
    // A run of digits far beyond 32 bits still counts modulo 256 (10^30 = 0 mod 256, +7).
    EXPECT_EQ(0x0107u, VersionStrToUInt32("1.1000000000000000000000000000007"));
    EXPECT_EQ(0u, VersionStrToUInt32(""));
    EXPECT_EQ(0u, VersionStrToUInt32("beta"));
}

class SetupPatcherBundle : public tolktest::SystemRootTest {
protected:
    std::uint32_t InstalledVersion() const
    {
        return GetBndleVersion(patchertest::InstallFolder(sysroot_) + "/Setup.app");
    }
};

TEST_F(SetupPatcherBundle, ReadsCFBundleVersion)
{
    EXPECT_EQ(0u, InstalledVersion());  // nothing installed
    patchertest::InstallSetup(sysroot_, "1.1.3.40");
    EXPECT_EQ(0x01010328u, InstalledVersion());
}

TEST_F(SetupPatcherBundle, UnreadableVersionIsZero)
{
    patchertest::InstallSetupWithInfo(sysroot_, "<key>CFBundleName</key><string>Setup</string>");
    EXPECT_EQ(0u, InstalledVersion());
    patchertest::InstallSetupWithInfo(sysroot_, "<key>CFBundleVersion</key><integer>1</integer>");
    EXPECT_EQ(0u, InstalledVersion());
    patchertest::InstallSetup(sysroot_, "1.0.0.1\xC3\xA9");  // not ASCII
    EXPECT_EQ(0u, InstalledVersion());
    patchertest::InstallSetup(sysroot_, "1.0.0.1" + std::string(249, ' '));  // 256 characters
    EXPECT_EQ(0u, InstalledVersion());
    patchertest::InstallSetup(sysroot_, "1.0.0.1" + std::string(248, ' '));  // 255 still fit
    EXPECT_EQ(0x01000001u, InstalledVersion());
}

TEST(SetupPatcherPaths, GetParentDirCutsAtLastSlash)
{
    std::string path = "/Volumes/Patch/SetupPatcher";
    EXPECT_EQ("/Volumes/Patch", GetParentDir(path));
    EXPECT_EQ("/Volumes/Patch", path);
    for (const char* bare : {"SetupPatcher", "/SetupPatcher", ""}) {
        path = bare;
        EXPECT_EQ("", GetParentDir(path)) << bare;
    }
    path = "a/b/";
    EXPECT_EQ("a/b", GetParentDir(path));
}

TEST(SetupPatcherPaths, AppendPathAddsOneSlash)
{
    std::string path;
    EXPECT_EQ("PatchZR7_1.0", AppendPath(path, "PatchZR7_1.0"));
    path = "/a";
    EXPECT_EQ("/a/b", AppendPath(path, "b"));
    path = "/a/";
    EXPECT_EQ("/a/b", AppendPath(path, "b"));
}

TEST(SetupPatcherArgs, FindArgAnswersHighestMatchIgnoringCase)
{
    const char* argv[] = {"-v", "x", "-V", "-vv", "-v", "y"};
    EXPECT_EQ(4, FindArg(6, argv, "-v"));
    EXPECT_EQ(2, FindArg(4, argv, "-v"));
    EXPECT_EQ(0, FindArg(2, argv, "-v"));  // the program name never counts
    EXPECT_EQ(0, FindArg(0, argv, "-v"));
}

TEST(SetupPatcherCopy, CommandCopiesContentsAndNeverReadsOptionsFromNames)
{
    const std::vector<std::string> command = CopyCommand("-p/PatchZR7_1.0", "/R1", true);
    EXPECT_EQ((std::vector<std::string>{"/bin/cp", "-rfvT", "--remove-destination", "--", "-p/PatchZR7_1.0/", "/R1/"}),
              command);
    EXPECT_EQ("-rfT", CopyCommand("P", "/R1/", false)[1]);
    EXPECT_EQ("/R1/", CopyCommand("P", "/R1/", false)[5]);
    EXPECT_EQ("/bin/cp -rfvT --remove-destination -- \"/a b/\\\"\\$(x)\\`/\" /R1/",
              CommandText(CopyCommand("/a b/\"$(x)`", "/R1", true)));
}

TEST(SetupPatcherCopy, RunCommandAnswersExitStatusNotWaitStatus)
{
    EXPECT_EQ(0, RunCommand({"/bin/sh", "-c", "exit 0"}));
    EXPECT_EQ(1, RunCommand({"/bin/sh", "-c", "exit 1"}));
    EXPECT_EQ(128 + 9, RunCommand({"/bin/sh", "-c", "kill -9 $$"}));
    EXPECT_EQ(127, RunCommand({"/nonexistent/program"}));
}
