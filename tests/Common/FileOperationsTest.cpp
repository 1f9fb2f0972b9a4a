#include "Common/source/mac/FileSystemUtilsMac.h"
#include "Common/source/xplat/FileSystemUtils.h"

#include "platform/FaultInjection.h"
#include "platform/SystemRoot.h"
#include "platform/files/ExtendedAttributes.h"
#include "platform/files/ResourceFork.h"
#include "platform/files/TrustedPath.h"

#include "tests/support/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <regex>

using tolktest::SystemRootTest;

namespace {

mode_t ModeOf(const std::string& path)
{
    struct stat info;
    return lstat(path.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0;
}

ino_t InodeOf(const std::string& path)
{
    struct stat info;
    return lstat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

FileSystemPath P(const std::string& text)
{
    return FileSystemPath(text);
}

}  // namespace

class FileOperationsTest : public SystemRootTest {
protected:
    void TearDown() override { platform::SetFaultHookForTesting(platform::FaultHook()); }

    std::string Scratch(const std::string& name) const { return sysroot_.Scratch() + "/" + name; }
    bool Attributes() const { return platform::FolderSupportsExtendedAttributes(sysroot_.Scratch()); }

    // A file with Finder information (type, creator, flags) and a resource fork.
    void WriteRichFile(const std::string& path, const std::string& data, std::uint16_t flags)
    {
        tolktest::WriteTextFile(path, data);
        platform::FinderInfo info;
        info.SetFileType(0x54455854);  // TEXT
        info.SetCreator(0x74747874);   // ttxt
        info.SetFlags(flags);
        ASSERT_EQ(platform::WriteFinderInfo(path, info), 0);
        platform::ResourceMap fork;
        platform::Resource resource;
        resource.type = 0x53545220;  // 'STR '
        resource.id = 128;
        resource.name = "greeting";
        resource.data = "hello";
        ASSERT_TRUE(fork.Add(resource));
        ASSERT_EQ(platform::WriteResourceFork(path, fork), 0);
    }
};

TEST_F(FileOperationsTest, CopyKeepsEveryForkDatesAndMode)
{
    if (!Attributes())
        GTEST_SKIP() << "the file system keeps no user attributes";
    // More than one 16 KB piece, so that the copy loop runs several times.
    const std::string data(40000, 'd');
    WriteRichFile(Scratch("source"), data, 0x0100 | 0x4000);
    ASSERT_EQ(chmod(Scratch("source").c_str(), 04750), 0);
    const struct timespec times[2] = {{1000000000, 0}, {1100000000, 500}};
    ASSERT_EQ(utimensat(AT_FDCWD, Scratch("source").c_str(), times, 0), 0);

    ASSERT_TRUE(FileSystemUtils::CopyFile(P(Scratch("source")), P(Scratch("copy"))));
    // Dates first: reading the copy would move its access date.
    struct stat copied;
    ASSERT_EQ(stat(Scratch("copy").c_str(), &copied), 0);
    EXPECT_EQ(copied.st_mtim.tv_sec, 1100000000);
    EXPECT_EQ(copied.st_mtim.tv_nsec, 500);
    EXPECT_EQ(copied.st_atim.tv_sec, 1000000000);
    EXPECT_EQ(tolktest::ReadTextFile(Scratch("copy")), data);
    platform::FinderInfo info;
    ASSERT_EQ(platform::ReadFinderInfo(Scratch("copy"), info), 0);
    EXPECT_EQ(info.FileType(), 0x54455854u);
    EXPECT_EQ(info.Creator(), 0x74747874u);
    EXPECT_EQ(info.Flags(), 0x4000) << "the has-been-placed flag is cleared, the others stay";
    std::string sourceFork, copyFork;
    ASSERT_EQ(platform::GetExtendedAttribute(Scratch("source"), platform::kResourceForkAttribute, sourceFork), 0);
    ASSERT_EQ(platform::GetExtendedAttribute(Scratch("copy"), platform::kResourceForkAttribute, copyFork), 0);
    EXPECT_EQ(copyFork, sourceFork);
    // The set-user-id bit survives: the mode is set after everything that would clear it.
    EXPECT_EQ(ModeOf(Scratch("copy")), 04750u);
}

TEST_F(FileOperationsTest, CopyNeverOverwritesNorWritesThroughALink)
{
    tolktest::WriteTextFile(Scratch("source"), "new");
    tolktest::WriteTextFile(Scratch("existing"), "keep");
    EXPECT_FALSE(FileSystemUtils::CopyFile(P(Scratch("source")), P(Scratch("existing"))));
    EXPECT_EQ(tolktest::ReadTextFile(Scratch("existing")), "keep");

    ASSERT_EQ(symlink(Scratch("elsewhere").c_str(), Scratch("dangling").c_str()), 0);
    EXPECT_FALSE(FileSystemUtils::CopyFile(P(Scratch("source")), P(Scratch("dangling"))));
    EXPECT_FALSE(FileSystemUtils::Exists(P(Scratch("elsewhere"))));

    tolktest::MakeFolders(Scratch("folder"));
    EXPECT_FALSE(FileSystemUtils::CopyFile(P(Scratch("folder")), P(Scratch("folder-copy"))));
    // A named pipe is refused rather than waited on.
    ASSERT_EQ(mkfifo(Scratch("pipe").c_str(), 0600), 0);
    EXPECT_FALSE(FileSystemUtils::CopyFile(P(Scratch("pipe")), P(Scratch("pipe-copy"))));
    EXPECT_FALSE(FileSystemUtils::CopyFile(P(Scratch("missing")), P(Scratch("missing-copy"))));
    EXPECT_FALSE(FileSystemUtils::CopyFile(P(Scratch("source")), P(Scratch("no/such/folder/copy"))));
    EXPECT_FALSE(FileSystemUtils::Exists(P(Scratch("folder-copy"))));
    EXPECT_FALSE(FileSystemUtils::Exists(P(Scratch("missing-copy"))));

    // A name with ":" is an ordinary name here.
    EXPECT_TRUE(FileSystemUtils::CopyFile(P(Scratch("source")), P(Scratch("a:b"))));
    EXPECT_EQ(tolktest::ReadTextFile(Scratch("a:b")), "new");
}

TEST_F(FileOperationsTest, MoveRenamesOnlyRegularFilesOntoNothing)
{
    tolktest::WriteTextFile(Scratch("source"), "moved");
    const ino_t inode = InodeOf(Scratch("source"));
    ASSERT_TRUE(FileSystemUtils::MoveFile(P(Scratch("source")), P(Scratch("target"))));
    EXPECT_FALSE(FileSystemUtils::Exists(P(Scratch("source"))));
    EXPECT_EQ(InodeOf(Scratch("target")), inode);

    tolktest::WriteTextFile(Scratch("other"), "other");
    EXPECT_FALSE(FileSystemUtils::MoveFile(P(Scratch("other")), P(Scratch("target"))));
    EXPECT_EQ(tolktest::ReadTextFile(Scratch("other")), "other");
    EXPECT_EQ(tolktest::ReadTextFile(Scratch("target")), "moved");

    ASSERT_EQ(symlink(Scratch("nowhere").c_str(), Scratch("dangling").c_str()), 0);
    EXPECT_FALSE(FileSystemUtils::MoveFile(P(Scratch("other")), P(Scratch("dangling"))));
    EXPECT_FALSE(FileSystemUtils::MoveFile(P(Scratch("dangling")), P(Scratch("moved-link"))));
    tolktest::MakeFolders(Scratch("folder"));
    EXPECT_FALSE(FileSystemUtils::MoveFile(P(Scratch("folder")), P(Scratch("moved-folder"))));
    EXPECT_FALSE(FileSystemUtils::Exists(P(Scratch("moved-link"))));
    EXPECT_FALSE(FileSystemUtils::Exists(P(Scratch("moved-folder"))));
}

TEST_F(FileOperationsTest, MoveAcrossVolumesCopiesAndRemovesTheSource)
{
    tolktest::WriteTextFile(Scratch("source"), "far");
    ASSERT_EQ(chmod(Scratch("source").c_str(), 0604), 0);
    platform::SetFaultHookForTesting([](const std::string& operation, const std::string&) {
        return operation == "rename" ? EXDEV : 0;
    });
    ASSERT_TRUE(FileSystemUtils::MoveFile(P(Scratch("source")), P(Scratch("target"))));
    EXPECT_FALSE(FileSystemUtils::Exists(P(Scratch("source"))));
    EXPECT_EQ(tolktest::ReadTextFile(Scratch("target")), "far");
    EXPECT_EQ(ModeOf(Scratch("target")), 0604u);
}

TEST_F(FileOperationsTest, MoveDoesNotReplaceATargetThatAppearsAfterTheCheck)
{
    tolktest::WriteTextFile(Scratch("source"), "mine");
    const std::string intruder = Scratch("target");
    platform::SetFaultHookForTesting([intruder](const std::string& operation, const std::string&) {
        if (operation == "rename")
            tolktest::WriteTextFile(intruder, "theirs");
        return 0;
    });
    EXPECT_FALSE(FileSystemUtils::MoveFile(P(Scratch("source")), P(Scratch("target"))));
    EXPECT_EQ(tolktest::ReadTextFile(Scratch("target")), "theirs");
    EXPECT_EQ(tolktest::ReadTextFile(Scratch("source")), "mine");
}

TEST_F(FileOperationsTest, SwapExchangesInOneStepAndThroughTheFallback)
{
    tolktest::WriteTextFile(Scratch("a"), "first");
    tolktest::WriteTextFile(Scratch("b"), "second");
    ASSERT_EQ(chmod(Scratch("a").c_str(), 0600), 0);
    ASSERT_EQ(chmod(Scratch("b").c_str(), 0644), 0);
    ASSERT_TRUE(FileSystemUtils::SwapFiles(P(Scratch("a")), P(Scratch("b"))));
    EXPECT_EQ(tolktest::ReadTextFile(Scratch("a")), "second");
    EXPECT_EQ(tolktest::ReadTextFile(Scratch("b")), "first");
    EXPECT_EQ(ModeOf(Scratch("a")), 0644u);

    platform::SetFaultHookForTesting([](const std::string& operation, const std::string&) {
        return operation == "exchange" ? EINVAL : 0;
    });
    ASSERT_TRUE(FileSystemUtils::SwapFiles(P(Scratch("a")), P(Scratch("b"))));
    EXPECT_EQ(tolktest::ReadTextFile(Scratch("a")), "first");
    EXPECT_EQ(tolktest::ReadTextFile(Scratch("b")), "second");
    std::vector<FileSystemPath> children;
    ASSERT_TRUE(FileSystemUtils::ChildrenForDirectory(P(sysroot_.Scratch()), children));
    EXPECT_EQ(children.size(), 2u) << "no temporary file is left behind";

    tolktest::MakeFolders(Scratch("folder"));
    EXPECT_FALSE(FileSystemUtils::SwapFiles(P(Scratch("a")), P(Scratch("folder"))));
    EXPECT_FALSE(FileSystemUtils::SwapFiles(P(Scratch("a")), P(Scratch("missing"))));
    EXPECT_EQ(tolktest::ReadTextFile(Scratch("a")), "first");
}

TEST_F(FileOperationsTest, TemporaryNamesAndCopies)
{
    FileSystemPath name;
    ASSERT_TRUE(FileSystemUtils::TempFilenameInDirectory(P("/x"), name));
    EXPECT_TRUE(std::regex_match(name.AsUTF8String(), std::regex("/x/\\.temp[A-Za-z0-9]{6}")));
    ASSERT_TRUE(FileSystemUtils::TempFilenameInDirectory(P(sysroot_.Scratch()), name));
    EXPECT_EQ(name.Parent().AsUTF8String(), sysroot_.Scratch());
    EXPECT_FALSE(FileSystemUtils::Exists(name));

    tolktest::WriteTextFile(Scratch("original"), "backup me");
    FileSystemPath copy;
    ASSERT_TRUE(FileSystemUtils::CopyFileToTemp(P(Scratch("original")), copy));
    EXPECT_EQ(copy.Parent().AsUTF8String(), "/tmp");
    EXPECT_EQ(tolktest::ReadTextFile(copy.AsUTF8String()), "backup me");
    EXPECT_TRUE(FileSystemUtils::DeleteFile(copy, false));

    ASSERT_EQ(symlink(Scratch("original").c_str(), Scratch("link").c_str()), 0);
    FileSystemPath untouched("/untouched");
    EXPECT_FALSE(FileSystemUtils::CopyFileToTemp(P(Scratch("link")), untouched));
    EXPECT_EQ(untouched.AsUTF8String(), "/untouched");

    FileSystemPath folder;
    ASSERT_TRUE(FileSystemUtilsMac::CreateTemporaryDirectory(folder));
    // In the system root's temporary folder, where the next run on the root finds what a run left.
    EXPECT_EQ(folder.Parent().AsUTF8String(), platform::SystemRoot::Resolve("/tmp"));
    EXPECT_TRUE(std::regex_match(folder.AsUTF8String(), std::regex(".*/\\.tempdir[A-Za-z0-9]{8}")));
    EXPECT_EQ(ModeOf(folder.AsUTF8String()), 0700u);
    EXPECT_TRUE(FileSystemUtilsMac::DeleteDirectory(folder, false));
}

TEST_F(FileOperationsTest, TemporaryMovesStayOnTheVolume)
{
    const std::string file = sysroot_.Path("/Users/Shared/prefs");
    tolktest::WriteTextFile(file, "aside");
    FileSystemPath temp;
    ASSERT_TRUE(FileSystemUtilsMac::MoveFileToTemp(P(file), temp));
    // Into a folder of the user's own, inside the shared temporary folder.
    const std::string own = "folders." + std::to_string(geteuid());
    EXPECT_EQ(temp.Parent().AsUTF8String(), platform::SystemRoot::Resolve("/tmp/" + own));
    EXPECT_EQ(ModeOf(platform::SystemRoot::Resolve("/tmp/" + own)), 0700u);
    EXPECT_EQ(tolktest::ReadTextFile(temp.AsUTF8String()), "aside");
    // A temporary folder removed since it was found is made again.
    std::filesystem::remove_all(temp.Parent().AsUTF8String());
    tolktest::WriteTextFile(file, "again");
    ASSERT_TRUE(FileSystemUtilsMac::MoveFileToTemp(P(file), temp));
    EXPECT_EQ(temp.Parent().AsUTF8String(), platform::SystemRoot::Resolve("/tmp/" + own));
    EXPECT_EQ(ModeOf(platform::SystemRoot::Resolve("/tmp/" + own)), 0700u);
    EXPECT_EQ(tolktest::ReadTextFile(temp.AsUTF8String()), "again");

    // Another volume keeps its moved-aside files in a hidden folder at its root.
    tolktest::MakeFolders(sysroot_.Path("/Volumes/Data"));
    sysroot_.WritePlatformSettings(
        "<plist version=\"1.0\"><dict><key>volumes</key><array>"
        "<dict><key>mount-point</key><string>/</string></dict>"
        "<dict><key>mount-point</key><string>/Volumes/Data</string></dict>"
        "</array></dict></plist>");
    const std::string other = sysroot_.Path("/Volumes/Data/file");
    tolktest::WriteTextFile(other, "on data");
    ASSERT_TRUE(FileSystemUtilsMac::MoveFileToTemp(P(other), temp));
    EXPECT_EQ(temp.Parent().AsUTF8String(), sysroot_.Path("/Volumes/Data/.TemporaryItems/" + own));
    EXPECT_EQ(ModeOf(sysroot_.Path("/Volumes/Data/.TemporaryItems")), 01777u);
    EXPECT_EQ(ModeOf(sysroot_.Path("/Volumes/Data/.TemporaryItems/" + own)), 0700u);
    EXPECT_EQ(tolktest::ReadTextFile(temp.AsUTF8String()), "on data");

    tolktest::WriteTextFile(Scratch("sibling"), "beside");
    ASSERT_TRUE(FileSystemUtilsMac::MoveFileToSiblingTemp(P(Scratch("sibling")), temp));
    EXPECT_EQ(temp.Parent().AsUTF8String(), sysroot_.Scratch());
    EXPECT_EQ(tolktest::ReadTextFile(temp.AsUTF8String()), "beside");
    ASSERT_EQ(symlink(temp.AsUTF8String().c_str(), Scratch("link").c_str()), 0);
    EXPECT_FALSE(FileSystemUtilsMac::MoveFileToSiblingTemp(P(Scratch("link")), temp));
}

TEST_F(FileOperationsTest, AFileMovedAsideInARunIsTakenFromTheFolderNowAtItsPath)
{
    // A run keeps the folders it walked to open; one moved away since is not where files are
    // taken from.
    platform::WalkedFoldersHold run;
    const std::string folder = sysroot_.Path("/Applications/Kept");
    tolktest::MakeFolders(folder);
    tolktest::WriteTextFile(folder + "/first", "first");
    tolktest::WriteTextFile(folder + "/file", "old");
    FileSystemPath temp;
    ASSERT_TRUE(FileSystemUtilsMac::MoveFileToTemp(P(folder + "/first"), temp));
    ASSERT_EQ(rename(folder.c_str(), (folder + ".old").c_str()), 0);
    tolktest::MakeFolders(folder);
    tolktest::WriteTextFile(folder + "/file", "new");
    ASSERT_TRUE(FileSystemUtilsMac::MoveFileToTemp(P(folder + "/file"), temp));
    EXPECT_EQ(tolktest::ReadTextFile(temp.AsUTF8String()), "new");
    EXPECT_EQ(tolktest::ReadTextFile(folder + ".old/file"), "old");
    EXPECT_FALSE(std::filesystem::exists(folder + "/file"));
    // Nor is a folder removed since.
    std::filesystem::remove_all(folder);
    tolktest::MakeFolders(folder);
    tolktest::WriteTextFile(folder + "/file", "newer");
    ASSERT_TRUE(FileSystemUtilsMac::MoveFileToTemp(P(folder + "/file"), temp));
    EXPECT_EQ(tolktest::ReadTextFile(temp.AsUTF8String()), "newer");
}

TEST_F(FileOperationsTest, DeleteAndLoad)
{
    tolktest::WriteTextFile(Scratch("file"), "");
    tolktest::MakeFolders(Scratch("empty"));
    tolktest::MakeFolders(Scratch("full/sub"));
    ASSERT_EQ(symlink(Scratch("file").c_str(), Scratch("link").c_str()), 0);

    std::vector<std::uint8_t> contents{1, 2, 3};
    EXPECT_TRUE(FileSystemUtils::LoadFileContents(P(Scratch("file")), contents));
    EXPECT_TRUE(contents.empty());
    contents.assign(1, 9);
    EXPECT_FALSE(FileSystemUtils::LoadFileContents(P(Scratch("missing")), contents));
    EXPECT_FALSE(FileSystemUtils::LoadFileContents(P(Scratch("full")), contents));
    EXPECT_EQ(contents, std::vector<std::uint8_t>(1, 9));
    const std::string big(100000, 'b');
    tolktest::WriteTextFile(Scratch("big"), big);
    ASSERT_TRUE(FileSystemUtils::LoadFileContents(P(Scratch("big")), contents));
    EXPECT_EQ(std::string(contents.begin(), contents.end()), big);

    EXPECT_TRUE(FileSystemUtils::DeleteFile(P(Scratch("link")), false));
    EXPECT_TRUE(FileSystemUtils::Exists(P(Scratch("file"))));
    EXPECT_TRUE(FileSystemUtils::DeleteFile(P(Scratch("empty")), false));
    EXPECT_FALSE(FileSystemUtils::DeleteFile(P(Scratch("full")), false));
    EXPECT_FALSE(FileSystemUtilsMac::DeleteDirectory(P(Scratch("full")), false));
    EXPECT_TRUE(FileSystemUtilsMac::DeleteDirectory(P(Scratch("full/sub")), false));
}

TEST_F(FileOperationsTest, DirectoriesGetExactModes)
{
    const mode_t saved = umask(077);
    EXPECT_TRUE(FileSystemUtilsMac::CreateDirectory(P(Scratch("exact")), 0755, true));
    EXPECT_TRUE(FileSystemUtilsMac::CreateDirectory(P(Scratch("masked")), 0755, false));
    EXPECT_TRUE(FileSystemUtilsMac::CreateDirectory(P(Scratch("sticky")), 01777, true));
    EXPECT_TRUE(FileSystemUtilsMac::CreateDirectoryPath(P(Scratch("a/b/c")), 0751, true));
    umask(saved);
    EXPECT_EQ(ModeOf(Scratch("exact")), 0755u);
    EXPECT_EQ(ModeOf(Scratch("masked")), 0700u);
    EXPECT_EQ(ModeOf(Scratch("sticky")), 01777u);
    EXPECT_EQ(ModeOf(Scratch("a")), 0751u);
    EXPECT_EQ(ModeOf(Scratch("a/b/c")), 0751u);
    EXPECT_FALSE(FileSystemUtilsMac::CreateDirectory(P(Scratch("exact")), 0755, true));
    EXPECT_FALSE(FileSystemUtilsMac::CreateDirectory(P(Scratch("no/parent")), 0755, true));

    tolktest::WriteTextFile(Scratch("plain"), "");
    EXPECT_TRUE(FileSystemUtilsMac::CreateDirectoryPath(P(Scratch("plain")), 0755, true));
    // A file in the way stops the walk.
    tolktest::WriteTextFile(Scratch("made-file"), "");
    EXPECT_FALSE(FileSystemUtilsMac::CreateDirectoryPath(P(Scratch("made-file/x/y")), 0755, true));
    EXPECT_FALSE(FileSystemUtils::Exists(P(Scratch("made-file/x"))));
}

TEST_F(FileOperationsTest, ModesOwnersAndLengthsOfLinksAndFiles)
{
    tolktest::WriteTextFile(Scratch("file"), "12345");
    ASSERT_EQ(symlink(Scratch("file").c_str(), Scratch("link").c_str()), 0);
    unsigned short mode = 0;
    unsigned int owner = 1, group = 1;
    std::uint64_t length = 0;
    EXPECT_FALSE(FileSystemUtilsMac::GetMode(P(Scratch("link")), mode));
    EXPECT_FALSE(FileSystemUtilsMac::GetOwnerGroup(P(Scratch("link")), owner, group));
    EXPECT_FALSE(FileSystemUtilsMac::GetDataLength(P(Scratch("link")), length));
    EXPECT_FALSE(FileSystemUtilsMac::GetDataLength(P(sysroot_.Scratch()), length));

    EXPECT_TRUE(FileSystemUtilsMac::SetMode(P(Scratch("link")), 02711));
    ASSERT_TRUE(FileSystemUtilsMac::GetMode(P(Scratch("file")), mode));
    EXPECT_EQ(mode, 02711);
    ASSERT_TRUE(FileSystemUtilsMac::GetOwnerGroup(P(Scratch("file")), owner, group));
    EXPECT_EQ(owner, getuid());
    EXPECT_EQ(group, getgid());
    EXPECT_TRUE(FileSystemUtilsMac::SetOwnerGroup(P(Scratch("link")), owner, group));
    ASSERT_TRUE(FileSystemUtilsMac::GetDataLength(P(Scratch("file")), length));
    EXPECT_EQ(length, 5u);
}

TEST_F(FileOperationsTest, SymbolicLinksKeepTheirWholeText)
{
    EXPECT_TRUE(FileSystemUtilsMac::CreateSymlink(P(Scratch("link")), "../nowhere/at all"));
    std::string text;
    ASSERT_TRUE(FileSystemUtilsMac::GetSymlinkDestination(P(Scratch("link")), text));
    EXPECT_EQ(text, "../nowhere/at all");
    EXPECT_FALSE(FileSystemUtilsMac::CreateSymlink(P(Scratch("link")), "other"));

    // Longer than the 1024 bytes a Mac reads at most: read whole, never cut.
    std::string longText;
    while (longText.size() < 3000)
        longText += "segment/";
    ASSERT_TRUE(FileSystemUtilsMac::CreateSymlink(P(Scratch("long")), longText));
    ASSERT_TRUE(FileSystemUtilsMac::GetSymlinkDestination(P(Scratch("long")), text));
    EXPECT_EQ(text, longText);

    EXPECT_FALSE(FileSystemUtilsMac::CreateSymlink(P(Scratch("nul")), std::string("a\0b", 3)));
    EXPECT_FALSE(FileSystemUtils::Exists(P(Scratch("nul"))));
    tolktest::WriteTextFile(Scratch("file"), "");
    text = "kept";
    EXPECT_FALSE(FileSystemUtilsMac::GetSymlinkDestination(P(Scratch("file")), text));
    EXPECT_EQ(text, "kept");
}
