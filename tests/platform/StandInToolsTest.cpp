// The stand-in system tools as programs: what they accept, print and leave behind.
#include "Common/source/mac/ExecUtils.h"

#include "platform/files/DiskImages.h"
#include "platform/files/Files.h"
#include "platform/formats/PropertyList.h"

#include "tests/support/PayloadImages.h"
#include "tests/support/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct ToolRun {
    int code = -1;
    std::string output;
};

ToolRun RunTool(const std::vector<std::string>& args, const std::string& input = std::string())
{
    std::vector<char> output;
    bool ioError = false;
    ToolRun run;
    run.code = ExecUtils::RunExecutable(args, input.data(), input.size(), &output, ioError, true);
    run.output.assign(output.begin(), output.end());
    return run;
}

class StandInToolsTest : public tolktest::SystemRootTest {
protected:
    std::string Md5() const { return sysroot_.Path("/sbin/md5"); }
    std::string HdiUtil() const { return sysroot_.Path("/usr/bin/hdiutil"); }

    std::string Folder(const std::string& name) const
    {
        const std::string folder = sysroot_.Scratch() + "/" + name;
        tolktest::MakeFolders(folder);
        return folder;
    }

    ToolRun Attach(const std::string& image, const std::string& mountPoint, bool readOnly = false)
    {
        std::vector<std::string> args = {HdiUtil(), "attach", "-private"};
        if (readOnly)
            args.push_back("-readonly");
        args.insert(args.end(), {"-stdinpass", "-mountpoint", mountPoint, "-plist", image});
        return RunTool(args, "passphrase\n");
    }

    ToolRun Eject(const std::string& target) { return RunTool({HdiUtil(), "eject", target}); }
};

TEST_F(StandInToolsTest, Md5PrintsTheDigestOfItsInput)
{
    EXPECT_EQ(RunTool({Md5(), "-q"}).output, "d41d8cd98f00b204e9800998ecf8427e\n");
    EXPECT_EQ(RunTool({Md5(), "-q"}, "Payload.zip").output, "769d25bfa1c6d9df3aace02bbcacbf13\n");
    EXPECT_EQ(RunTool({Md5()}, "Payload.dmg").output, "b896d58f9dd61720d220485429b5b0ed\n");

    const std::string file = sysroot_.Scratch() + "/payload";
    tolktest::WriteTextFile(file, std::string(100000, 'x') + "end");
    const ToolRun quiet = RunTool({Md5(), "-q", file});
    const ToolRun plain = RunTool({Md5(), file});
    ASSERT_EQ(quiet.code, 0);
    ASSERT_EQ(quiet.output.size(), 33u);
    EXPECT_EQ(plain.output, "MD5 (" + file + ") = " + quiet.output);
    EXPECT_EQ(RunTool({Md5(), "-q"}, std::string(100000, 'x') + "end").output, quiet.output);

    EXPECT_EQ(RunTool({Md5(), "-q", sysroot_.Scratch() + "/missing"}).code, 1);
    EXPECT_EQ(RunTool({Md5(), "-z"}).code, 1);
}

TEST_F(StandInToolsTest, AttachReportsTheWholeDiskThenTheMountedPartition)
{
    const std::string image = tolktest::MakeFolderImage(sysroot_.Scratch(), "Payload.dmg");
    const std::string mountPoint = Folder("mount");
    const ToolRun attach = Attach(image, mountPoint);
    ASSERT_EQ(attach.code, 0);

    platform::PropertyValuePtr report;
    ASSERT_TRUE(platform::ParsePropertyList(attach.output, report));
    platform::ConstPropertyValuePtr entities = report->Get("system-entities");
    ASSERT_TRUE(entities);
    ASSERT_EQ(entities->ArrayItems().size(), 2u);
    std::string text;
    EXPECT_TRUE(entities->ArrayItems()[0]->GetString("dev-entry", text));
    EXPECT_EQ(text, "/dev/disk1");
    EXPECT_FALSE(entities->ArrayItems()[0]->Get("mount-point"));
    EXPECT_TRUE(entities->ArrayItems()[1]->GetString("dev-entry", text));
    EXPECT_EQ(text, "/dev/disk1s1");
    EXPECT_TRUE(entities->ArrayItems()[1]->GetString("mount-point", text));
    EXPECT_EQ(text, mountPoint);
    EXPECT_TRUE(fs::exists(sysroot_.Path("/dev/disk1s1")));

    // A second image gets a device of its own, and cannot share a mount point.
    const std::string second = tolktest::MakeFileImage(sysroot_.Scratch(), "Second.tar", platform::kDiskImageTar);
    EXPECT_EQ(Attach(second, mountPoint).code, 1);
    const std::string secondMount = Folder("second");
    const ToolRun other = Attach(second, secondMount);
    ASSERT_EQ(other.code, 0);
    EXPECT_NE(other.output.find("<string>/dev/disk2s1</string>"), std::string::npos);

    // Eject by device or by mount point; each takes away its own image only.
    EXPECT_EQ(Eject(secondMount).output, "\"disk2\" unmounted.\n\"disk2\" ejected.\n");
    EXPECT_TRUE(fs::is_empty(secondMount));
    EXPECT_EQ(tolktest::DescribeTree(mountPoint), tolktest::DescribeTree(image));
    EXPECT_EQ(Eject("/dev/disk1").code, 0);
    EXPECT_TRUE(fs::is_empty(mountPoint));
    EXPECT_FALSE(fs::exists(sysroot_.Path("/dev/disk1s1")));
    EXPECT_EQ(Eject("/dev/disk1").code, 1);
}

TEST_F(StandInToolsTest, AttachWantsAnEmptyExistingMountPoint)
{
    const std::string image = tolktest::MakeFolderImage(sysroot_.Scratch(), "Payload.dmg");
    const std::string busy = Folder("busy");
    tolktest::WriteTextFile(busy + "/own.txt", "mine");
    EXPECT_EQ(Attach(image, busy).code, 1);
    EXPECT_EQ(tolktest::DescribeTree(busy), std::vector<std::string>{"own.txt mine"});
    EXPECT_EQ(Attach(image, sysroot_.Scratch() + "/missing").code, 1);
    EXPECT_FALSE(fs::exists(sysroot_.Path("/dev/disk1")));
}

TEST_F(StandInToolsTest, EjectLeavesWhatWasAddedSinceTheAttach)
{
    const std::string image = tolktest::MakeFolderImage(sysroot_.Scratch(), "Payload.dmg");
    const std::string mountPoint = Folder("mount");
    ASSERT_EQ(Attach(image, mountPoint).code, 0);
    tolktest::WriteTextFile(mountPoint + "/Assets/added.txt", "added");
    tolktest::WriteTextFile(mountPoint + "/Proxy.xml", "changed");
    ASSERT_EQ(Eject(mountPoint).code, 0);
    EXPECT_EQ(tolktest::DescribeTree(mountPoint), (std::vector<std::string>{"Assets dir", "Assets/added.txt added"}));
    // A writable attach is a copy: what was written there never reached the image.
    EXPECT_EQ(tolktest::DescribeTree(image), tolktest::DescribeTree(tolktest::MakeFolderImage(Folder("x"), "y.dmg")));
}

// A read-only attach shows the image's own modes and refuses every write, whether it mounts the
// folder image itself, or lays out a copy (an archive, or where mounting is off) and seals it.
TEST_F(StandInToolsTest, ReadOnlyAttachKeepsTheModesAndLeavesTheImageUntouched)
{
    const bool sealed = tolktest::ProcessMayMount();
    const std::string folderImage = tolktest::MakeFolderImage(sysroot_.Scratch(), "Payload.dmg");
    chmod((folderImage + "/Proxy.xml").c_str(), 0640);
    const std::string archive = tolktest::MakeFileImage(sysroot_.Scratch(), "Payload.tar", platform::kDiskImageTar);
    const std::vector<std::string> before = tolktest::DescribeTree(folderImage);
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        if (round == 2)
            sysroot_.WritePlatformSettings("<plist><dict><key>disk-image-mounts</key><false/></dict></plist>");
        const std::string image = round == 1 ? archive : folderImage;
        const std::string mountPoint = Folder("mount" + std::to_string(round));
        ASSERT_EQ(Attach(image, mountPoint, true).code, 0);
        EXPECT_EQ(tolktest::DescribeTree(mountPoint), before);
        struct stat info;
        ASSERT_EQ(stat((mountPoint + "/Assets/tool.sh").c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, 0755u);
        ASSERT_EQ(stat((mountPoint + "/Proxy.xml").c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, round == 1 ? 0644u : 0640u);

        if (sealed && round < 2) {
            EXPECT_EQ(open((mountPoint + "/Proxy.xml").c_str(), O_WRONLY), -1);
            EXPECT_EQ(errno, EROFS);
            EXPECT_NE(chmod((mountPoint + "/Assets").c_str(), 0700), 0);
            EXPECT_NE(mkdir((mountPoint + "/Assets/new").c_str(), 0755), 0);
        } else {
            tolktest::WriteTextFile(mountPoint + "/Proxy.xml", "changed");
        }
        ASSERT_EQ(Eject(mountPoint).code, 0);
        EXPECT_TRUE(fs::is_empty(mountPoint));
        EXPECT_EQ(tolktest::DescribeTree(folderImage), before);
        ASSERT_EQ(stat((folderImage + "/Proxy.xml").c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, 0640u);
    }
}

// Whether a mount stands at the folder (a view of the image rather than a copy).
bool IsMountPoint(const std::string& folder)
{
    std::string table;
    return platform::ReadWholeFile("/proc/self/mountinfo", table) &&
           table.find(" " + folder + " ") != std::string::npos;
}

// A payload script takes modes and owners from the mounted image: every attach shows them as the
// image has them, and an image with a set-id file is shown without being copied.
TEST_F(StandInToolsTest, AttachShowsSetIdBitsAndOwnersAsTheImageHasThem)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to give the image's files owners";
    const std::string folderImage = tolktest::MakeFolderImage(sysroot_.Scratch(), "Payload.dmg");
    const std::string shared = folderImage + "/Assets/shared";
    tolktest::MakeFolders(shared);
    tolktest::WriteTextFile(folderImage + "/Assets/sudo", "#!/bin/sh\n");
    ASSERT_EQ(chown(shared.c_str(), 0, 50), 0);
    ASSERT_EQ(chmod(shared.c_str(), 02775), 0);
    ASSERT_EQ(chmod((folderImage + "/Assets/sudo").c_str(), 04755), 0);
    ASSERT_EQ(lchown((folderImage + "/Proxy.xml").c_str(), 1234, 1235), 0);
    std::string error;
    const std::string archive = sysroot_.Scratch() + "/Payload.tar";
    ASSERT_TRUE(platform::WriteDiskImage(folderImage, archive, platform::kDiskImageTar, "", error)) << error;
    const std::vector<std::string> expected = tolktest::DescribeTree(folderImage, true);
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        if (round == 2)
            sysroot_.WritePlatformSettings("<plist><dict><key>disk-image-mounts</key><false/></dict></plist>");
        const std::string mountPoint = Folder("mount" + std::to_string(round));
        ASSERT_EQ(Attach(round == 1 ? archive : folderImage, mountPoint, true).code, 0);
        EXPECT_EQ(tolktest::DescribeTree(mountPoint, true), expected);
        struct stat info;
        ASSERT_EQ(stat((mountPoint + "/Assets/shared").c_str(), &info), 0);
        EXPECT_EQ(info.st_gid, 50u);
        ASSERT_EQ(stat((mountPoint + "/Proxy.xml").c_str(), &info), 0);
        EXPECT_EQ(info.st_gid, 1235u);
        if (round == 0 && tolktest::ProcessMayMount()) {
            EXPECT_TRUE(IsMountPoint(mountPoint)) << "the folder image was copied";
        }
        ASSERT_EQ(Eject(mountPoint).code, 0);
        EXPECT_TRUE(fs::is_empty(mountPoint));
    }
}

TEST_F(StandInToolsTest, BadCallsChangeNothing)
{
    const std::string image = tolktest::MakeFolderImage(sysroot_.Scratch(), "Payload.dmg");
    const std::string mountPoint = Folder("mount");
    EXPECT_EQ(RunTool({HdiUtil()}).code, 1);
    EXPECT_EQ(RunTool({HdiUtil(), "attach", image}).code, 1);
    EXPECT_EQ(RunTool({HdiUtil(), "attach", "-nobrowse", "-mountpoint", mountPoint, image}).code, 1);
    EXPECT_TRUE(fs::is_empty(mountPoint));
    EXPECT_EQ(
        RunTool({HdiUtil(), "attach", "-stdinpass", "-mountpoint", mountPoint, image}, std::string(4097, 'p')).code, 1);
    EXPECT_TRUE(fs::is_empty(mountPoint));

    // A tool that does not lie at its path under a root refuses to act at all.
    EXPECT_EQ(RunTool({TOLK_BINARY_DIR "/platform/tools/hdiutil", "attach", "-mountpoint", mountPoint, image}).code, 1);
    EXPECT_TRUE(fs::is_empty(mountPoint));
}

}  // namespace
