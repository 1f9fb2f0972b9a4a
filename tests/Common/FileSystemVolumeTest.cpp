#include "Common/source/mac/FileSystemUtilsMac.h"
#include "Common/source/xplat/FileSystemUtils.h"
#include "Common/source/xplat/FileSystemVolume.h"

#include "platform/PlatformSettings.h"
#include "platform/files/Volumes.h"

#include "tests/support/PayloadImages.h"
#include "tests/support/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>

namespace {

// A mount table of our own: the machine's root plus folders of the scratch area mounted from
// devices that are files of the scratch area, with a block-device class folder that says which
// disks are removable.
class FileSystemVolumeTest : public tolktest::SystemRootTest {
protected:
    void SetUp() override
    {
        const std::string s = sysroot_.Scratch();
        for (const char* folder : {"/mnt/usb/sub", "/mnt/disk", "/mnt/vague", "/mnt/net", "/mnt/My Disk", "/dev",
                                   "/sys/devices/sdb/sdb1", "/sys/devices/sdc/sdc1", "/sys/class/block"})
            tolktest::MakeFolders(s + folder);
        for (const char* device : {"/dev/sdb1", "/dev/sdc1", "/dev/sdd1"})
            tolktest::WriteTextFile(s + device, "");
        tolktest::WriteTextFile(s + "/sys/devices/sdb/removable", "1\n");
        tolktest::WriteTextFile(s + "/sys/devices/sdc/removable", "0\n");
        symlink((s + "/sys/devices/sdb/sdb1").c_str(), (s + "/sys/class/block/sdb1").c_str());
        symlink((s + "/sys/devices/sdc/sdc1").c_str(), (s + "/sys/class/block/sdc1").c_str());

        const std::string table =
            "27 1 254:0 / / rw,relatime - ext4 /dev/vda rw\n"
            "40 27 8:17 / " + s + "/mnt/usb rw,relatime - vfat " + s + "/dev/sdb1 rw\n"
            "41 27 8:33 / " + s + "/mnt/disk rw,relatime - ext4 " + s + "/dev/sdc1 rw\n"
            "42 27 8:49 / " + s + "/mnt/vague rw,relatime shared:1 - xfs " + s + "/dev/sdd1 rw\n"
            "43 27 0:50 / " + s + "/mnt/net rw,relatime - nfs4 server:/export rw\n"
            "44 27 8:65 / " + s + "/mnt/My\\040Disk rw,relatime - ext4 " + s + "/dev/sdd1 rw\n";
        tolktest::WriteTextFile(s + "/mountinfo", table);
        platform::SetMountTableForTesting(s + "/mountinfo");
        platform::SetBlockClassFolderForTesting(s + "/sys/class/block");
    }

    void TearDown() override
    {
        platform::SetMountTableForTesting("");
        platform::SetBlockClassFolderForTesting("");
    }

    FileSystemVolume Volume(const std::string& scratchPath) const
    {
        return FileSystemVolume(FileSystemPath(sysroot_.Scratch() + scratchPath));
    }

    std::string RootOf(const FileSystemVolume& volume) const
    {
        FileSystemPath root;
        EXPECT_TRUE(volume.RootPath(root));
        return root.AsUTF8String();
    }
};

TEST_F(FileSystemVolumeTest, VolumeOfAPathThatDoesNotExistYet)
{
    EXPECT_EQ(RootOf(Volume("/mnt/usb/sub/not/yet")), sysroot_.Scratch() + "/mnt/usb");
    EXPECT_EQ(RootOf(Volume("/mnt/My Disk/x")), sysroot_.Scratch() + "/mnt/My Disk");
    EXPECT_EQ(RootOf(FileSystemVolume(FileSystemPath("/"))), "/");

    bool isRoot = false;
    EXPECT_TRUE(FileSystemUtils::IsVolumeRoot(FileSystemPath(sysroot_.Scratch() + "/mnt/usb"), isRoot));
    EXPECT_TRUE(isRoot);
    EXPECT_TRUE(FileSystemUtils::IsVolumeRoot(FileSystemPath(sysroot_.Scratch() + "/mnt/usb/sub"), isRoot));
    EXPECT_FALSE(isRoot);
    EXPECT_TRUE(FileSystemUtils::IsVolumeRoot(FileSystemPath("/"), isRoot));
    EXPECT_TRUE(isRoot);
    EXPECT_TRUE(Volume("/mnt/usb/sub") == Volume("/mnt/usb"));
    EXPECT_TRUE(Volume("/mnt/usb") != Volume("/mnt/disk"));
}

TEST_F(FileSystemVolumeTest, NoVolumeThroughARegularFile)
{
    tolktest::WriteTextFile(sysroot_.Scratch() + "/plain", "");
    try {
        Volume("/plain/x");
        ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "Unable to locate volume for path.");
    }
}

TEST_F(FileSystemVolumeTest, LocalAndRemovable)
{
    bool local = false;
    bool removable = false;
    // A network volume is neither local nor removable.
    EXPECT_TRUE(Volume("/mnt/net").IsLocal(local));
    EXPECT_FALSE(local);
    EXPECT_TRUE(Volume("/mnt/net").IsRemovable(removable));
    EXPECT_FALSE(removable);

    // A partition takes its disk's flag.
    EXPECT_TRUE(Volume("/mnt/usb").IsLocal(local));
    EXPECT_TRUE(local);
    EXPECT_TRUE(Volume("/mnt/usb").IsRemovable(removable));
    EXPECT_TRUE(removable);
    EXPECT_TRUE(Volume("/mnt/disk").IsRemovable(removable));
    EXPECT_FALSE(removable);
    // A disk that says nothing counts as removable.
    EXPECT_TRUE(Volume("/mnt/vague").IsRemovable(removable));
    EXPECT_TRUE(removable);
}

TEST_F(FileSystemVolumeTest, TypeCaseAndName)
{
    std::string type;
    bool caseSensitive = false;
    std::string name;
    EXPECT_TRUE(Volume("/mnt/usb").FileSystemTypeName(type));
    EXPECT_EQ(type, "vfat");
    EXPECT_TRUE(Volume("/mnt/usb").IsCaseSensitive(caseSensitive));
    EXPECT_FALSE(caseSensitive);
    EXPECT_TRUE(Volume("/mnt/disk").IsCaseSensitive(caseSensitive));
    EXPECT_TRUE(caseSensitive);
    EXPECT_TRUE(Volume("/mnt/My Disk").FriendlyNameUTF8(name));
    EXPECT_EQ(name, "My Disk");

    std::uint64_t capacity = 0;
    std::uint64_t freeBytes = 0;
    EXPECT_TRUE(Volume("/mnt/disk").CapacityInBytes(capacity));
    EXPECT_TRUE(Volume("/mnt/disk").FreeSpaceInBytes(freeBytes));
    EXPECT_GT(capacity, 0u);
    EXPECT_LE(freeBytes, capacity);
}

TEST_F(FileSystemVolumeTest, TheSystemRootIsADeclaredStartUpVolume)
{
    FileSystemVolume startup(FileSystemPath(sysroot_.Path("/Applications/New")));
    EXPECT_EQ(RootOf(startup), sysroot_.Root());
    bool answer = false;
    EXPECT_TRUE(startup.IsLocal(answer));
    EXPECT_TRUE(answer);
    EXPECT_TRUE(startup.IsRemovable(answer));
    EXPECT_FALSE(answer);
    EXPECT_TRUE(startup.IsWritable(answer));
    EXPECT_TRUE(answer);
    EXPECT_TRUE(startup.IsCaseSensitive(answer));
    EXPECT_FALSE(answer);
    std::string text;
    EXPECT_TRUE(startup.FriendlyNameUTF8(text));
    EXPECT_EQ(text, "Macintosh HD");
    EXPECT_TRUE(startup.FileSystemTypeName(text));
    EXPECT_EQ(text, "hfs");
}

TEST_F(FileSystemVolumeTest, DeclaredSizesAndLocks)
{
    sysroot_.WritePlatformSettings(
        "<plist version=\"1.0\"><dict><key>volumes</key><array><dict>"
        "<key>mount-point</key><string>/Volumes</string>"
        "<key>writable</key><false/><key>capacity</key><integer>5000000000</integer>"
        "<key>free</key><integer>1234</integer>"
        "</dict></array></dict></plist>");
    FileSystemVolume locked(FileSystemPath(sysroot_.Path("/Volumes")));
    std::uint64_t bytes = 0;
    EXPECT_TRUE(locked.CapacityInBytes(bytes));
    EXPECT_EQ(bytes, 5000000000u);
    EXPECT_TRUE(locked.FreeSpaceInBytes(bytes));
    EXPECT_EQ(bytes, 1234u);
    bool writable = true;
    EXPECT_TRUE(locked.IsWritable(writable));
    EXPECT_FALSE(writable);
    // Not mounted from a device: not local, so not removable either.
    bool removable = true;
    EXPECT_TRUE(locked.IsRemovable(removable));
    EXPECT_FALSE(removable);
}

TEST_F(FileSystemVolumeTest, RemovableVolumeRootPath)
{
    FileSystemPath root;
    EXPECT_TRUE(FileSystemVolume(FileSystemPath("/")).RemovableVolumeRootPath("Disk", root));
    EXPECT_EQ(root.AsUTF8String(), "/Volumes/Disk");
    EXPECT_TRUE(Volume("/mnt/disk").RemovableVolumeRootPath("Disk", root));
    EXPECT_EQ(root.AsUTF8String(), sysroot_.Scratch() + "/mnt/disk/Volumes/Disk");
}

TEST_F(FileSystemVolumeTest, AllVolumesAreAppended)
{
    std::vector<boost::shared_ptr<FileSystemVolume> > volumes;
    volumes.push_back(boost::shared_ptr<FileSystemVolume>(new FileSystemVolume(FileSystemPath("/"))));
    ASSERT_TRUE(FileSystemUtilsMac::GetAllVolumes(volumes));
    std::vector<std::string> roots;
    for (const auto& volume : volumes)
        roots.push_back(RootOf(*volume));
    EXPECT_EQ(roots.front(), "/");
    for (const std::string& expected : {std::string("/"), sysroot_.Scratch() + "/mnt/usb", sysroot_.Scratch() + "/mnt/net",
                                        sysroot_.Scratch() + "/mnt/My Disk", sysroot_.Root()})
        EXPECT_NE(std::find(roots.begin() + 1, roots.end(), expected), roots.end()) << expected;
}

// Volume answers are kept between queries; a mount, an unmount, a rewritten table or settings
// file, and a declared mount point that appears must each show at the next query.
TEST_F(FileSystemVolumeTest, AnswersFollowMountsAndSettingsAsTheyChange)
{
    EXPECT_EQ(RootOf(Volume("/mnt/usb/sub/x")), sysroot_.Scratch() + "/mnt/usb");
    const std::string s = sysroot_.Scratch();
    tolktest::WriteTextFile(s + "/mountinfo", tolktest::ReadTextFile(s + "/mountinfo") + "45 40 8:18 / " + s +
                                                  "/mnt/usb/sub rw,relatime - ext4 " + s + "/dev/sdc1 rw\n");
    EXPECT_EQ(RootOf(Volume("/mnt/usb/sub/x")), s + "/mnt/usb/sub");
    // A file mounted over beside one that is not: the folder's answer is not the mounted one's.
    tolktest::WriteTextFile(s + "/mnt/disk/plain", "");
    tolktest::WriteTextFile(s + "/mnt/disk/mounted", "");
    tolktest::WriteTextFile(s + "/mountinfo", tolktest::ReadTextFile(s + "/mountinfo") + "46 41 8:19 / " + s +
                                                  "/mnt/disk/mounted rw,relatime - ext4 " + s + "/dev/sdd1 rw\n");
    EXPECT_EQ(RootOf(Volume("/mnt/disk/plain")), s + "/mnt/disk");
    EXPECT_EQ(RootOf(Volume("/mnt/disk/mounted")), s + "/mnt/disk/mounted");
    // A folder reached through a link that is pointed elsewhere in between.
    tolktest::WriteTextFile(s + "/mnt/usb/file", "");
    tolktest::WriteTextFile(s + "/mnt/disk/file", "");
    ASSERT_EQ(symlink("mnt/usb", (s + "/through").c_str()), 0);
    EXPECT_EQ(RootOf(Volume("/through/file")), s + "/mnt/usb");
    ASSERT_EQ(unlink((s + "/through").c_str()), 0);
    ASSERT_EQ(symlink("mnt/disk", (s + "/through").c_str()), 0);
    EXPECT_EQ(RootOf(Volume("/through/file")), s + "/mnt/disk");

    const std::string settings = "<plist version=\"1.0\"><dict><key>volumes</key><array>"
                                 "<dict><key>mount-point</key><string>/Volumes/Later</string></dict>"
                                 "<dict><key>mount-point</key><string>/Volumes</string><key>name</key><string>";
    sysroot_.WritePlatformSettings(settings + "Disk A</string></dict></array></dict></plist>");
    std::string name;
    EXPECT_TRUE(FileSystemVolume(FileSystemPath(sysroot_.Path("/Volumes"))).FriendlyNameUTF8(name));
    EXPECT_EQ(name, "Disk A");
    sysroot_.WritePlatformSettings(settings + "Disk B</string></dict></array></dict></plist>");
    EXPECT_TRUE(FileSystemVolume(FileSystemPath(sysroot_.Path("/Volumes"))).FriendlyNameUTF8(name));
    EXPECT_EQ(name, "Disk B");
    {
        // A run's file operations take the settings as the run found them.
        platform::DeclaredVolumesHold hold;
        EXPECT_TRUE(FileSystemVolume(FileSystemPath(sysroot_.Path("/Volumes"))).FriendlyNameUTF8(name));
        sysroot_.WritePlatformSettings(settings + "Disk C</string></dict></array></dict></plist>");
        EXPECT_TRUE(FileSystemVolume(FileSystemPath(sysroot_.Path("/Volumes"))).FriendlyNameUTF8(name));
        EXPECT_EQ(name, "Disk B");
    }
    EXPECT_TRUE(FileSystemVolume(FileSystemPath(sysroot_.Path("/Volumes"))).FriendlyNameUTF8(name));
    EXPECT_EQ(name, "Disk C");
    EXPECT_EQ(RootOf(FileSystemVolume(FileSystemPath(sysroot_.Path("/Volumes/Later/x")))), sysroot_.Path("/Volumes"));
    tolktest::MakeFolders(sysroot_.Path("/Volumes/Later"));
    EXPECT_EQ(RootOf(FileSystemVolume(FileSystemPath(sysroot_.Path("/Volumes/Later/x")))),
              sysroot_.Path("/Volumes/Later"));

    // The kernel's own table: a mount made after the first query shows, and so does its end.
    platform::SetMountTableForTesting("");
    if (!tolktest::ProcessMayMount())
        return;
    tolktest::MakeFolders(s + "/bound");
    EXPECT_EQ(RootOf(Volume("/bound")), RootOf(Volume("")));
    ASSERT_EQ(mount((s + "/mnt").c_str(), (s + "/bound").c_str(), nullptr, MS_BIND, nullptr), 0);
    const std::string bound = RootOf(Volume("/bound/disk"));
    umount2((s + "/bound").c_str(), MNT_DETACH);
    EXPECT_EQ(bound, s + "/bound");
    EXPECT_EQ(RootOf(Volume("/bound")), RootOf(Volume("")));
}

TEST_F(FileSystemVolumeTest, UnreadableMountTable)
{
    platform::SetMountTableForTesting(sysroot_.Scratch() + "/no-such-table");
    std::vector<boost::shared_ptr<FileSystemVolume> > volumes;
    EXPECT_FALSE(FileSystemUtilsMac::GetAllVolumes(volumes));
    EXPECT_THROW(Volume("/mnt/usb"), std::runtime_error);
}

}  // namespace
