// The built SetupPatcher run against a temporary system root, with patch folders beside a copy
// of it: its output lines, exit codes and the files it copies.
#include "PatcherRun.h"

#include "tests/support/ProgramRun.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace patchertest;
using tolktest::ReadTextFile;
using tolktest::WriteTextFile;

class SetupPatcherRun : public tolktest::SystemRootTest {
protected:
    void SetUp() override
    {
        patchDir_ = sysroot_.Scratch() + "/Patch";
        program_ = PlacePatcher(patchDir_);
        for (const char* name : {"PatchZR7_1.0", "PatchZR7_1.1"}) {
            tolktest::MakeFolders(patchDir_ + "/" + name + "/Setup.app/Contents/MacOS");
            WriteTextFile(patchDir_ + "/" + name + "/Setup.app/Contents/MacOS/Setup", name);
            WriteTextFile(patchDir_ + "/" + name + "/added.txt", name);
        }
    }

    std::string Installed(const std::string& relative) const
    {
        return ReadTextFile(InstallFolder(sysroot_) + "/" + relative);
    }

    std::string patchDir_;
    std::string program_;
};

TEST_F(SetupPatcherRun, NothingInstalled)
{
    const PatcherResult result = RunPatcher(program_, {});
    EXPECT_EQ(1, result.exitCode);
    EXPECT_EQ("No ZR7 install setup found\n", result.output);
}

TEST_F(SetupPatcherRun, LoadsNoWindowingLibraries)
{
    const std::vector<std::string> objects = tolktest::LoadedObjects(program_, {});
    EXPECT_FALSE(objects.empty());
    std::string found;
    EXPECT_FALSE(tolktest::LoadsWindowing(objects, found)) << found;
}

TEST_F(SetupPatcherRun, VersionWithoutPatch)
{
    InstallSetup(sysroot_, "2.0.0.0");
    PatcherResult result = RunPatcher(program_, {});
    EXPECT_EQ(2, result.exitCode);
    EXPECT_EQ("No patch for Setup version 2.0\n", result.output);

    InstallSetup(sysroot_, "1.0.5");  // three components: 0x00010005
    result = RunPatcher(program_, {"-v"});
    EXPECT_EQ(2, result.exitCode);
    EXPECT_EQ("Version: 10005\nNo patch for Setup version 0.1\n", result.output);
    EXPECT_EQ("old program", Installed("Setup.app/Contents/MacOS/Setup"));
}

TEST_F(SetupPatcherRun, Version10CopiesItsPatchContentsOverTheInstallation)
{
    InstallSetup(sysroot_, "1.0.0.23");
    WriteTextFile(InstallFolder(sysroot_) + "/kept.txt", "kept");
    const PatcherResult result = RunPatcher(program_, {"-x", "v"});
    EXPECT_EQ(0, result.exitCode);
    EXPECT_EQ("Exit code: 0\n", result.output);
    EXPECT_EQ("PatchZR7_1.0", Installed("Setup.app/Contents/MacOS/Setup"));
    EXPECT_EQ("PatchZR7_1.0", Installed("added.txt"));
    EXPECT_EQ("kept", Installed("kept.txt"));
    EXPECT_TRUE(std::filesystem::exists(InstallFolder(sysroot_) + "/Setup.app/Contents/Info.plist"));
    EXPECT_FALSE(std::filesystem::exists(InstallFolder(sysroot_) + "/PatchZR7_1.0"));
}

TEST_F(SetupPatcherRun, Version11AndModulo256)
{
    InstallSetup(sysroot_, "1.1.3.40");
    EXPECT_EQ(0, RunPatcher(program_, {}).exitCode);
    EXPECT_EQ("PatchZR7_1.1", Installed("added.txt"));

    InstallSetup(sysroot_, "1.256.0.1");  // packs as 1.0
    EXPECT_EQ(0, RunPatcher(program_, {}).exitCode);
    EXPECT_EQ("PatchZR7_1.0", Installed("added.txt"));
}

TEST_F(SetupPatcherRun, VerboseInAnyCaseAndPosition)
{
    InstallSetup(sysroot_, "1.0.0.23");
    const std::string target = InstallFolder(sysroot_) + "/";
    const PatcherResult result = RunPatcher(program_, {"one", "-V", "two"});
    EXPECT_EQ(0, result.exitCode);
    const std::string command =
        "Executing command: /bin/cp -rfvT --remove-destination -- " + patchDir_ + "/PatchZR7_1.0/ \"" + target + "\"\n";
    EXPECT_EQ(0u, result.output.find("Version: 1000017\n" + command)) << result.output;
    EXPECT_NE(std::string::npos, result.output.find("added.txt")) << "cp lists what it copies";
    const std::string last = "Exit code: 0\n";
    EXPECT_EQ(result.output.size() - last.size(), result.output.rfind(last));
}

TEST_F(SetupPatcherRun, ProgramPathWithoutFolderUsesWorkingFolder)
{
    InstallSetup(sysroot_, "1.1.0.0");
    EXPECT_EQ(0, RunPatcher(program_, {}, patchDir_, "SetupPatcher").exitCode);
    EXPECT_EQ("PatchZR7_1.1", Installed("added.txt"));

    InstallSetup(sysroot_, "1.0.0.0");
    EXPECT_EQ(0, RunPatcher(program_, {}, patchDir_, "/SetupPatcher").exitCode);
    EXPECT_EQ("PatchZR7_1.0", Installed("added.txt"));
}
