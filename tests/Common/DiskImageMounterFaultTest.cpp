#include "Common/source/mac/DiskImageMounter.h"

#include "tests/support/PayloadImages.h"
#include "tests/support/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

// A disk-image tool that answers what the test puts in its state folder: the attach report and
// exit status, and the eject's exit status; it notes every call's arguments.
const char* const kScriptedTool =
    "#!/bin/sh\n"
    "state=\"$(dirname \"$0\")/../../.tolk/scripted-hdiutil\"\n"
    "echo \"$*\" >> \"$state/calls\"\n"
    "if [ \"$1\" = attach ]; then\n"
    "  while IFS= read -r line; do :; done\n"
    "  /bin/cat \"$state/attach-output\"\n"
    "  read -r status < \"$state/attach-status\"\n"
    "  exit $status\n"
    "fi\n"
    "read -r status < \"$state/eject-status\"\n"
    "exit $status\n";

class DiskImageMounterFaultTest : public tolktest::SystemRootTest {
protected:
    void SetUp() override
    {
        // dirname is no builtin, and the tool gets no PATH: name the state folder outright.
        std::string script = kScriptedTool;
        const std::string marker = "\"$(dirname \"$0\")/../../.tolk/scripted-hdiutil\"";
        script.replace(script.find(marker), marker.size(), "\"" + State() + "\"");
        tolktest::MakeFolders(State());
        tolktest::ReplaceToolWithScript(sysroot_, "/usr/bin/hdiutil", script);
        folder_ = sysroot_.Scratch() + "/mount";
        tolktest::MakeFolders(folder_);
        Answer("", 0, 0);
    }

    std::string State() const { return sysroot_.Path("/.tolk/scripted-hdiutil"); }

    void Answer(const std::string& attachOutput, int attachStatus, int ejectStatus)
    {
        tolktest::WriteTextFile(State() + "/attach-output", attachOutput);
        tolktest::WriteTextFile(State() + "/attach-status", std::to_string(attachStatus) + "\n");
        tolktest::WriteTextFile(State() + "/eject-status", std::to_string(ejectStatus) + "\n");
    }

    std::string Calls() const { return tolktest::ReadTextFile(State() + "/calls"); }

    std::string Report(const std::string& mountPoint) const
    {
        return "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>system-entities</key><array>"
               "<dict><key>dev-entry</key><string>/dev/disk5</string></dict>"
               "<dict><key>dev-entry</key><string>/dev/disk5s1</string><key>mount-point</key><string>" +
               mountPoint + "</string></dict></array></dict></plist>\n";
    }

    std::string Image() const { return sysroot_.Scratch() + "/Payload.dmg"; }

    std::string folder_;
};

TEST_F(DiskImageMounterFaultTest, UnreadableReportStillLetsTheImageBeEjected)
{
    Answer("garbage, not a property list\n", 0, 0);
    DiskImageMounter mounter{FileSystemPath(Image())};
    ASSERT_TRUE(mounter.MountAtPath(FileSystemPath(folder_), 3));
    FileSystemPath path;
    EXPECT_FALSE(mounter.GetMountPoint(path));
    EXPECT_FALSE(mounter.GetDevEntry(path));
    // The eject names the folder the attach asked for.
    ASSERT_TRUE(mounter.Unmount());
    EXPECT_FALSE(mounter.IsMounted());
    EXPECT_EQ(Calls(), "attach -private -readonly -stdinpass -mountpoint " + folder_ + " -plist " + Image() +
                           "\neject " + folder_ + "\n");
}

TEST_F(DiskImageMounterFaultTest, OutputOfAFailedAttachDoesNotSpoilTheNextOne)
{
    Answer("<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>error</key><string>busy</string></dict></plist>\n", 1,
           0);
    DiskImageMounter mounter{FileSystemPath(Image())};
    EXPECT_FALSE(mounter.MountAtPath(FileSystemPath(folder_), 3));
    EXPECT_FALSE(mounter.IsMounted());

    Answer(Report(folder_), 0, 0);
    ASSERT_TRUE(mounter.MountAtPath(FileSystemPath(folder_), 3));
    FileSystemPath mountPoint;
    ASSERT_TRUE(mounter.GetMountPoint(mountPoint));
    EXPECT_EQ(mountPoint.AsUTF8String(), folder_);
}

TEST_F(DiskImageMounterFaultTest, AFailedEjectKeepsTheMounterMountedAndCanBeRetried)
{
    Answer(Report(folder_), 0, 1);
    DiskImageMounter mounter{FileSystemPath(Image())};
    ASSERT_TRUE(mounter.MountAtPath(FileSystemPath(folder_), 3));
    EXPECT_FALSE(mounter.Unmount());
    EXPECT_TRUE(mounter.IsMounted());
    EXPECT_FALSE(mounter.MountHidden());

    // The eject's own output must not cost the mounter what the attach reported.
    FileSystemPath devEntry;
    ASSERT_TRUE(mounter.GetDevEntry(devEntry));
    EXPECT_EQ(devEntry.AsUTF8String(), "/dev/disk5s1");
    Answer("", 0, 0);
    EXPECT_TRUE(mounter.Unmount());
    EXPECT_FALSE(mounter.IsMounted());
    const std::string calls = Calls();
    EXPECT_NE(calls.find("eject /dev/disk5s1\neject /dev/disk5s1\n"), std::string::npos) << calls;
}

TEST_F(DiskImageMounterFaultTest, AHiddenMountFolderWhoseNameWasTakenMeanwhileIsMadeUnderAnother)
{
    DiskImageMounter mounter{FileSystemPath(Image())};
    FileSystemPath taken;
    ASSERT_TRUE(mounter.PlanHiddenMountPoint(taken));
    // Another process makes a folder of that name before the mounter does.
    tolktest::MakeFolders(taken.AsUTF8String());
    Answer(Report(folder_), 0, 0);
    std::vector<std::string> noted;
    ASSERT_TRUE(
        mounter.MountHidden([&noted](const FileSystemPath& folder) { noted.push_back(folder.AsUTF8String()); }));
    ASSERT_EQ(noted.size(), 2u);
    EXPECT_EQ(noted[0], taken.AsUTF8String());
    EXPECT_NE(noted[1], noted[0]);
    EXPECT_NE(Calls().find("-mountpoint " + noted[1] + " -plist"), std::string::npos) << Calls();
    EXPECT_TRUE(std::filesystem::is_directory(noted[1]));
    ASSERT_TRUE(mounter.Unmount());
    mounter.Release();
    EXPECT_FALSE(std::filesystem::exists(noted[1]));
    EXPECT_TRUE(std::filesystem::is_directory(taken.AsUTF8String())) << "the other process's folder stays";
}

}  // namespace
