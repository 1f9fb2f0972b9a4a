#include "Common/source/mac/DiskImageMounter.h"
#include "Common/source/xplat/FileSystemUtils.h"

#include "platform/SystemRoot.h"
#include "tests/support/PayloadImages.h"
#include "tests/support/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

typedef std::vector<std::string> Arguments;

// The MD5 of "Payload.zip" as the digest tool prints it, less its line end.
const char* const kPayloadZipDigest = "769d25bfa1c6d9df3aace02bbcacbf13";

std::vector<char> Bytes(const std::string& text)
{
    return std::vector<char>(text.begin(), text.end());
}

std::string Entity(const std::string& body)
{
    return "<dict>" + body + "</dict>";
}

std::string AttachReport(const std::string& entities)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict><key>system-entities</key><array>" +
           entities + "</array></dict></plist>";
}

class DiskImageMounterTest : public tolktest::SystemRootTest {
protected:
    void SetUp() override { tolktest::RecordToolCalls(sysroot_); }

    std::string HdiUtil() const { return sysroot_.Path("/usr/bin/hdiutil"); }
    std::string Md5() const { return sysroot_.Path("/sbin/md5"); }

    Arguments AttachCall(const std::vector<std::string>& flags, const std::string& mountPoint, const std::string& image)
    {
        Arguments call = {HdiUtil(), "attach"};
        call.insert(call.end(), flags.begin(), flags.end());
        Arguments rest = {"-stdinpass", "-mountpoint", mountPoint, "-plist", image};
        call.insert(call.end(), rest.begin(), rest.end());
        return call;
    }

    std::vector<std::string> ExpectedTree()
    {
        const std::string source = sysroot_.Scratch() + "/expected";
        tolktest::WritePayloadTree(source);
        return tolktest::DescribeTree(source);
    }

    // The stand-in tool's devices still present under the root (the start-up disk excepted).
    std::vector<std::string> AttachedDevices()
    {
        std::vector<std::string> devices;
        for (const fs::directory_entry& entry : fs::directory_iterator(sysroot_.Path("/dev"))) {
            if (entry.path().filename() != "disk0s2")
                devices.push_back(entry.path().filename().string());
        }
        return devices;
    }
};

TEST_F(DiskImageMounterTest, MountHiddenLaysOutAFolderImageAndUnmountTakesItAway)
{
    const std::string image = tolktest::MakeFolderImage(sysroot_.Scratch(), "Payload.dmg");
    std::string mountPointText;
    {
        DiskImageMounter mounter{FileSystemPath(image)};
        EXPECT_FALSE(mounter.IsMounted());
        ASSERT_TRUE(mounter.MountHidden());
        EXPECT_TRUE(mounter.IsMounted());

        FileSystemPath mountPoint;
        FileSystemPath devEntry;
        ASSERT_TRUE(mounter.GetMountPoint(mountPoint));
        ASSERT_TRUE(mounter.GetDevEntry(devEntry));
        mountPointText = mountPoint.AsUTF8String();
        // In the system root's temporary folder, where the next run on the root finds a mount
        // that a run left.
        EXPECT_EQ(mountPointText.rfind(platform::SystemRoot::Resolve("/tmp/.tempdir"), 0), 0u) << mountPointText;
        EXPECT_EQ(devEntry.AsUTF8String(), "/dev/disk1s1");
        EXPECT_EQ(tolktest::DescribeTree(mountPointText), tolktest::DescribeTree(image));

        ASSERT_TRUE(mounter.Unmount());
        EXPECT_FALSE(mounter.IsMounted());
        EXPECT_FALSE(mounter.GetMountPoint(mountPoint));
        EXPECT_TRUE(fs::is_empty(mountPointText));
        EXPECT_TRUE(AttachedDevices().empty());

        // The mounter's folder is made once and used again.
        ASSERT_TRUE(mounter.MountHidden());
        ASSERT_TRUE(mounter.GetMountPoint(mountPoint));
        EXPECT_EQ(mountPoint.AsUTF8String(), mountPointText);

        const std::vector<Arguments> calls = tolktest::RecordedToolCalls(sysroot_);
        const std::vector<Arguments> expected = {
            {Md5(), "-q"},
            AttachCall({"-private", "-readonly"}, mountPointText, image),
            {HdiUtil(), "eject", "/dev/disk1s1"},
            {Md5(), "-q"},
            AttachCall({"-private", "-readonly"}, mountPointText, image),
        };
        EXPECT_EQ(calls, expected);
    }
    // The destructor ejects and removes the folder.
    EXPECT_FALSE(fs::exists(mountPointText));
    EXPECT_TRUE(AttachedDevices().empty());
    EXPECT_EQ(tolktest::RecordedToolCalls(sysroot_).back(), (Arguments{HdiUtil(), "eject", "/dev/disk1s1"}));
}

class DiskImageMounterFormatTest : public DiskImageMounterTest,
                                   public ::testing::WithParamInterface<platform::DiskImageFormat> {};

TEST_P(DiskImageMounterFormatTest, ArchiveImagesMountWithTheirWholeContents)
{
    const std::string image = tolktest::MakeFileImage(sysroot_.Scratch(), "Payload.img", GetParam());
    DiskImageMounter mounter{FileSystemPath(image)};
    ASSERT_TRUE(mounter.MountHidden());
    FileSystemPath mountPoint;
    ASSERT_TRUE(mounter.GetMountPoint(mountPoint));
    EXPECT_EQ(tolktest::DescribeTree(mountPoint.AsUTF8String()), ExpectedTree());
    struct stat info;
    ASSERT_EQ(stat((mountPoint.AsUTF8String() + "/Assets/tool.sh").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0755u);  // the image's modes, read-only mount or not
    ASSERT_TRUE(mounter.Unmount());
    EXPECT_TRUE(fs::is_empty(mountPoint.AsUTF8String()));
}

INSTANTIATE_TEST_SUITE_P(Formats, DiskImageMounterFormatTest,
                         ::testing::Values(platform::kDiskImageTar, platform::kDiskImageTarGzip, platform::kDiskImageZip,
                                           platform::kDiskImageISO));

TEST_F(DiskImageMounterTest, MountAtPathPassesOnlyTheFlagsAskedFor)
{
    const std::string image = tolktest::MakeFolderImage(sysroot_.Scratch(), "Payload.dmg");
    const std::string folder = sysroot_.Scratch() + "/mount";
    tolktest::MakeFolders(folder);
    DiskImageMounter mounter{FileSystemPath(image)};

    ASSERT_TRUE(mounter.MountAtPath(FileSystemPath(folder), 0));
    struct stat info;
    ASSERT_EQ(stat((folder + "/Proxy.xml").c_str(), &info), 0);
    EXPECT_NE(info.st_mode & S_IWUSR, 0u);
    ASSERT_TRUE(mounter.Unmount());
    ASSERT_TRUE(mounter.MountAtPath(FileSystemPath(folder), DiskImageMounter::kMountPrivate));
    ASSERT_TRUE(mounter.Unmount());
    ASSERT_TRUE(mounter.MountAtPath(FileSystemPath(folder), DiskImageMounter::kMountReadOnly));
    ASSERT_EQ(stat((folder + "/Proxy.xml").c_str(), &info), 0);
    EXPECT_NE(info.st_mode & S_IWUSR, 0u);
    if (tolktest::ProcessMayMount()) {
        EXPECT_FALSE(FileSystemUtils::CopyFile(FileSystemPath(image + "/Conditions.js"), FileSystemPath(folder + "/new")));
    }
    ASSERT_TRUE(mounter.Unmount());

    const std::vector<Arguments> calls = tolktest::RecordedToolCalls(sysroot_);
    ASSERT_EQ(calls.size(), 9u);
    EXPECT_EQ(calls[1], AttachCall({}, folder, image));
    EXPECT_EQ(calls[4], AttachCall({"-private"}, folder, image));
    EXPECT_EQ(calls[7], AttachCall({"-readonly"}, folder, image));
    EXPECT_TRUE(fs::is_empty(folder));
}

TEST_F(DiskImageMounterTest, ASecondMountIsRefusedWithoutStartingATool)
{
    const std::string image = tolktest::MakeFolderImage(sysroot_.Scratch(), "Payload.dmg");
    const std::string folder = sysroot_.Scratch() + "/mount";
    tolktest::MakeFolders(folder);
    DiskImageMounter mounter{FileSystemPath(image)};
    ASSERT_TRUE(mounter.MountHidden());
    EXPECT_FALSE(mounter.MountHidden());
    EXPECT_FALSE(mounter.MountAtPath(FileSystemPath(folder), 0));
    EXPECT_TRUE(mounter.IsMounted());
    EXPECT_EQ(tolktest::RecordedToolCalls(sysroot_).size(), 2u);
    EXPECT_TRUE(fs::is_empty(folder));
}

TEST_F(DiskImageMounterTest, EncryptedImageOpensWithTheDigestOfItsName)
{
    const std::string image =
        tolktest::MakeFileImage(sysroot_.Scratch(), "Payload.zip", platform::kDiskImageZip, kPayloadZipDigest);
    DiskImageMounter mounter{FileSystemPath(image)};
    ASSERT_TRUE(mounter.MountHidden());
    FileSystemPath mountPoint;
    ASSERT_TRUE(mounter.GetMountPoint(mountPoint));
    EXPECT_EQ(tolktest::DescribeTree(mountPoint.AsUTF8String()), ExpectedTree());
}

TEST_F(DiskImageMounterTest, TheNameItselfIsThePassphraseWhenTheDigestToolFails)
{
    tolktest::ReplaceToolWithScript(sysroot_, "/sbin/md5", "#!/bin/sh\necho 0123456789abcdef0123456789abcdef\nexit 1\n");
    const std::string byName =
        tolktest::MakeFileImage(sysroot_.Scratch(), "Payload.zip", platform::kDiskImageZip, "Payload.zip");
    DiskImageMounter mounter{FileSystemPath(byName)};
    EXPECT_TRUE(mounter.MountHidden());

    tolktest::MakeFolders(sysroot_.Scratch() + "/other");
    const std::string byDigest =
        tolktest::MakeFileImage(sysroot_.Scratch() + "/other", "Payload.zip", platform::kDiskImageZip, kPayloadZipDigest);
    DiskImageMounter other{FileSystemPath(byDigest)};
    EXPECT_FALSE(other.MountHidden());
}

TEST_F(DiskImageMounterTest, AFailedAttachLeavesNothingMounted)
{
    const std::string image =
        tolktest::MakeFileImage(sysroot_.Scratch(), "Payload.zip", platform::kDiskImageZip, "not the passphrase");
    DiskImageMounter mounter{FileSystemPath(image)};
    EXPECT_FALSE(mounter.MountHidden());
    EXPECT_FALSE(mounter.IsMounted());
    FileSystemPath mountPoint;
    EXPECT_FALSE(mounter.GetMountPoint(mountPoint));
    EXPECT_TRUE(AttachedDevices().empty());
    const std::size_t calls = tolktest::RecordedToolCalls(sysroot_).size();
    EXPECT_TRUE(mounter.Unmount());
    EXPECT_EQ(tolktest::RecordedToolCalls(sysroot_).size(), calls);

    DiskImageMounter missing{FileSystemPath(sysroot_.Scratch() + "/Missing.dmg")};
    EXPECT_FALSE(missing.MountHidden());
}

TEST_F(DiskImageMounterTest, MissingToolsStartNothing)
{
    const std::string image = tolktest::MakeFolderImage(sysroot_.Scratch(), "Payload.dmg");
    fs::remove(Md5());
    DiskImageMounter mounter{FileSystemPath(image)};
    EXPECT_FALSE(mounter.MountHidden());
    EXPECT_TRUE(tolktest::RecordedToolCalls(sysroot_).empty());
}

TEST_F(DiskImageMounterTest, UnmountOfAMounterNeverMountedStartsNothing)
{
    DiskImageMounter mounter{FileSystemPath(sysroot_.Scratch() + "/Payload.dmg")};
    EXPECT_TRUE(mounter.Unmount());
    EXPECT_TRUE(tolktest::RecordedToolCalls(sysroot_).empty());
}

TEST(DiskImageMounterReportTest, TheFirstCompleteEntityGivesTheMountPoint)
{
    FileSystemPath mountPoint("/untouched");
    FileSystemPath devEntry("/untouched");
    const std::string report = AttachReport(
        Entity("<key>dev-entry</key><string>/dev/disk2</string>") +
        Entity("<key>dev-entry</key><string>/dev/disk2s1</string><key>mount-point</key><string></string>") +
        Entity("<key>dev-entry</key><integer>3</integer><key>mount-point</key><string>/Volumes/X</string>") +
        "<string>not an entity</string>" +
        Entity("<key>dev-entry</key><string>disk2s1</string><key>mount-point</key><string>/Volumes/Relative</string>") +
        Entity("<key>dev-entry</key><string>/dev/disk2s2</string><key>mount-point</key><string>/Volumes/Payload</string>") +
        Entity("<key>dev-entry</key><string>/dev/disk2s3</string><key>mount-point</key><string>/Volumes/Later</string>"));
    ASSERT_TRUE(DiskImageMounter::ExtractInfoFromMountOutput(Bytes(report), mountPoint, devEntry));
    EXPECT_EQ(mountPoint.AsUTF8String(), "/Volumes/Payload");
    EXPECT_EQ(devEntry.AsUTF8String(), "/dev/disk2s2");
}

TEST(DiskImageMounterReportTest, ReportsWithoutACompleteEntityGiveNothing)
{
    const std::vector<std::string> reports = {
        "",
        "hdiutil: attach failed - no such file\n",
        "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>system-entities</key>",
        AttachReport(""),
        AttachReport(Entity("<key>dev-entry</key><string>/dev/disk2</string>")),
        "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>system-entities</key><string>x</string></dict></plist>",
        "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>/dev/disk2</string></array></plist>",
    };
    for (const std::string& report : reports) {
        FileSystemPath mountPoint("/untouched");
        FileSystemPath devEntry("/untouched");
        EXPECT_FALSE(DiskImageMounter::ExtractInfoFromMountOutput(Bytes(report), mountPoint, devEntry)) << report;
        EXPECT_EQ(mountPoint.AsUTF8String(), "/untouched");
        EXPECT_EQ(devEntry.AsUTF8String(), "/untouched");
    }
}

}  // namespace
