// File operations where the file system refuses an attribute or a move fails half-way: nothing
// half made may stay behind, and the reason must be there for the log.
#include "Common/source/mac/FileSystemUtilsMac.h"
#include "Common/source/xplat/FileSystemUtils.h"
#include "Common/source/xplat/LogFactory.h"
#include "Common/source/xplat/XmlDocument.h"

#include "platform/FaultInjection.h"
#include "platform/files/ExtendedAttributes.h"
#include "platform/files/Files.h"
#include "platform/files/ResourceFork.h"
#include "platform/files/TrustedPath.h"

#include "tests/support/Deadline.h"
#include "tests/support/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>

using tolktest::SystemRootTest;

class FileOperationsFaultTest : public SystemRootTest {
protected:
    void SetUp() override
    {
        if (!platform::FolderSupportsExtendedAttributes(sysroot_.Scratch()))
            GTEST_SKIP() << "the file system keeps no user attributes";
    }
    void TearDown() override { platform::SetFaultHookForTesting(platform::FaultHook()); }

    std::string Scratch(const std::string& name) const { return sysroot_.Scratch() + "/" + name; }
    FileSystemPath P(const std::string& name) const { return FileSystemPath(Scratch(name)); }

    void GiveResourceFork(const std::string& name)
    {
        platform::ResourceMap fork;
        platform::Resource resource;
        resource.type = 0x49434e23;  // 'ICN#'
        resource.id = -16496;
        resource.data = "icon";
        ASSERT_TRUE(fork.Add(resource));
        ASSERT_EQ(platform::WriteResourceFork(Scratch(name), fork), 0);
    }

    // Makes every attribute write fail as a file system without room for it does.
    static void RefuseAttributes(int error)
    {
        platform::SetFaultHookForTesting([error](const std::string& operation, const std::string&) {
            return operation == "setxattr" ? error : 0;
        });
    }

    std::size_t Entries() const
    {
        std::vector<FileSystemPath> children;
        FileSystemUtils::ChildrenForDirectory(FileSystemPath(sysroot_.Scratch()), children);
        return children.size();
    }
};

TEST_F(FileOperationsFaultTest, ACopyWhoseForkIsRefusedLeavesNoTarget)
{
    tolktest::WriteTextFile(Scratch("source"), "data");
    GiveResourceFork("source");
    RefuseAttributes(ENOSPC);
    Logger* log = LogFactory::Instance().GetLogger("Sorvel");
    ASSERT_NE(log, nullptr);
    log->SetLogfilePath(Scratch("session.log"));
    EXPECT_FALSE(FileSystemUtils::CopyFile(P("source"), P("copy")));
    log->SetLogfilePath("Sorvel");
    EXPECT_FALSE(FileSystemUtils::Exists(P("copy")));
    EXPECT_NE(FileSystemUtils::LastFailureReason().find("too large"), std::string::npos)
        << FileSystemUtils::LastFailureReason();
    // The session log says why.
    EXPECT_NE(tolktest::ReadTextFile(Scratch("session.log")).find(FileSystemUtils::LastFailureReason()), std::string::npos);

    // A move that has to copy fails the same way and keeps the source.
    platform::SetFaultHookForTesting([](const std::string& operation, const std::string&) {
        return operation == "rename" ? EXDEV : operation == "setxattr" ? ENOTSUP : 0;
    });
    EXPECT_FALSE(FileSystemUtils::MoveFile(P("source"), P("moved")));
    EXPECT_FALSE(FileSystemUtils::Exists(P("moved")));
    EXPECT_EQ(tolktest::ReadTextFile(Scratch("source")), "data");
    EXPECT_NE(FileSystemUtils::LastFailureReason().find("does not keep extended attributes"), std::string::npos);
}

TEST_F(FileOperationsFaultTest, ACopyNeedsNoAttributesWhereTheSourceHasNothingToKeep)
{
    tolktest::WriteTextFile(Scratch("source"), "plain");
    // Only the has-been-placed flag, which a copy drops anyway.
    platform::FinderInfo info;
    info.SetFlags(0x0100);
    ASSERT_EQ(platform::WriteFinderInfo(Scratch("source"), info), 0);
    RefuseAttributes(ENOTSUP);
    ASSERT_TRUE(FileSystemUtils::CopyFile(P("source"), P("copy")));
    EXPECT_EQ(tolktest::ReadTextFile(Scratch("copy")), "plain");
    EXPECT_TRUE(FileSystemUtils::LastFailureReason().empty());
}

TEST_F(FileOperationsFaultTest, ASwapWhoseSecondMoveFailsPutsTheFirstBack)
{
    tolktest::WriteTextFile(Scratch("a"), "first");
    tolktest::WriteTextFile(Scratch("b"), "second");
    GiveResourceFork("b");
    const std::string second = Scratch("b");
    // No exchange, and the second file can only move by a copy, which its fork makes fail.
    platform::SetFaultHookForTesting([second](const std::string& operation, const std::string& path) {
        if (operation == "exchange")
            return EINVAL;
        if (operation == "rename" && path == second)
            return EXDEV;
        return operation == "setxattr" ? ENOSPC : 0;
    });
    EXPECT_FALSE(FileSystemUtils::SwapFiles(P("a"), P("b")));
    EXPECT_EQ(tolktest::ReadTextFile(Scratch("a")), "first");
    EXPECT_EQ(tolktest::ReadTextFile(Scratch("b")), "second");
    EXPECT_EQ(Entries(), 2u);
}

TEST_F(FileOperationsFaultTest, ASwapThatCannotRestoreThrowsAndKeepsTheTemporaryFile)
{
    tolktest::WriteTextFile(Scratch("a"), "first");
    tolktest::WriteTextFile(Scratch("b"), "second");
    GiveResourceFork("a");
    GiveResourceFork("b");
    const std::string first = Scratch("a");
    // Only the first file's move aside works; every later move has to copy, and copies fail.
    platform::SetFaultHookForTesting([first](const std::string& operation, const std::string& path) {
        if (operation == "exchange")
            return EINVAL;
        if (operation == "rename" && path != first)
            return EXDEV;
        return operation == "setxattr" ? ENOSPC : 0;
    });
    try {
        FileSystemUtils::SwapFiles(P("a"), P("b"));
        FAIL() << "expected an exception";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "Unable to restore first file in failed SwapFiles operation.");
    }
    EXPECT_FALSE(FileSystemUtils::Exists(P("a")));
    EXPECT_EQ(tolktest::ReadTextFile(Scratch("b")), "second");
    std::vector<FileSystemPath> children;
    ASSERT_TRUE(FileSystemUtils::ChildrenForDirectory(FileSystemPath(sysroot_.Scratch()), children));
    ASSERT_EQ(children.size(), 2u);
    const FileSystemPath& kept = children[0].NameAsUTF8String() == "b" ? children[1] : children[0];
    EXPECT_EQ(kept.NameAsUTF8String().substr(0, 5), ".temp");
    EXPECT_EQ(tolktest::ReadTextFile(kept.AsUTF8String()), "first");
}

TEST_F(FileOperationsFaultTest, AnAliasWhoseAttributesAreRefusedIsNotLeftBehind)
{
    tolktest::WriteTextFile(Scratch("target"), "");
    tolktest::WriteTextFile(Scratch("icons"), "");
    GiveResourceFork("icons");
    const FileSystemPath icons = P("icons");
    for (int error : {ENOTSUP, ENOSPC}) {
        RefuseAttributes(error);
        EXPECT_FALSE(FileSystemUtilsMac::CreateMacAlias(P("alias"), P("target"), &icons));
        EXPECT_FALSE(FileSystemUtils::Exists(P("alias")));
        EXPECT_FALSE(FileSystemUtils::LastFailureReason().empty());
    }

    // A retarget whose new fork is refused keeps the old record.
    platform::SetFaultHookForTesting(platform::FaultHook());
    tolktest::WriteTextFile(Scratch("other"), "");
    ASSERT_TRUE(FileSystemUtilsMac::CreateMacAlias(P("alias"), P("target"), nullptr));
    RefuseAttributes(ENOSPC);
    EXPECT_FALSE(FileSystemUtilsMac::RetargetMacAlias(P("alias"), P("other")));
    FileSystemPath target;
    ASSERT_TRUE(FileSystemUtilsMac::GetMacAliasTarget(P("alias"), target));
    EXPECT_EQ(target.AsUTF8String(), Scratch("target"));

    EXPECT_FALSE(FileSystemUtilsMac::SetDisplayAttributes(P("target"), 1, 1));
    std::uint32_t attributes = 7;
    ASSERT_TRUE(FileSystemUtilsMac::GetDisplayAttributes(P("target"), attributes));
    EXPECT_EQ(attributes, 0u);
}

TEST_F(FileOperationsFaultTest, AnAliasIsWholeOrNotThereWhenItsIconsNearTheAttributeLimit)
{
    tolktest::WriteTextFile(Scratch("target"), "");
    tolktest::WriteTextFile(Scratch("icons"), "");
    // Grow the icon until the icon source refuses it: the largest icon the file system keeps,
    // plus the alias record, may be more than an alias file can keep.
    platform::ResourceMap fork;
    platform::Resource icon;
    icon.type = 0x69636e73;  // 'icns'
    icon.id = -16496;
    for (std::size_t size = 1024; size <= (1u << 20); size += 256) {
        platform::ResourceMap larger;
        icon.data.assign(size, 'i');
        ASSERT_TRUE(larger.Add(icon));
        if (platform::WriteResourceFork(Scratch("icons"), larger) != 0)
            break;
        fork = larger;
    }
    ASSERT_EQ(platform::WriteResourceFork(Scratch("icons"), fork), 0);

    const FileSystemPath icons = P("icons");
    if (FileSystemUtilsMac::CreateMacAlias(P("alias"), P("target"), &icons)) {
        platform::ResourceMap kept;
        ASSERT_EQ(platform::ReadResourceFork(Scratch("alias"), kept), 0);
        EXPECT_EQ(kept.Resources().size(), 2u);
    } else {
        EXPECT_FALSE(FileSystemUtils::Exists(P("alias")));
        EXPECT_NE(FileSystemUtils::LastFailureReason().find("too large"), std::string::npos)
            << FileSystemUtils::LastFailureReason();
    }
}

TEST_F(SystemRootTest, FilesAreMovedAsideOnlyIntoAFolderOfTheirUsersOwnInsideTheSystemRoot)
{
    // A volume whose hidden temporary folder anyone may change, one whose user folder is a link
    // elsewhere, and, for root, one whose folder another user owns: none receives the file; the
    // start-up volume's folder of the user's own does.
    const std::string own = "folders." + std::to_string(geteuid());
    std::string volumes = "<dict><key>mount-point</key><string>/</string></dict>";
    std::vector<std::string> names = {"Open", "Linked"};
    if (geteuid() == 0)
        names.push_back("Foreign");
    for (const std::string& name : names) {
        const std::string hidden = sysroot_.Path("/Volumes/" + name + "/.TemporaryItems");
        tolktest::MakeFolders(hidden);
        ASSERT_EQ(chmod(hidden.c_str(), name == "Open" ? 0777 : 01777), 0);
        volumes += "<dict><key>mount-point</key><string>/Volumes/" + name + "</string></dict>";
    }
    ASSERT_EQ(symlink(sysroot_.Scratch().c_str(), sysroot_.Path("/Volumes/Linked/.TemporaryItems/" + own).c_str()), 0);
    if (geteuid() == 0) {
        ASSERT_EQ(chown(sysroot_.Path("/Volumes/Foreign/.TemporaryItems").c_str(), 4321, 4321), 0);
    }
    sysroot_.WritePlatformSettings("<plist version=\"1.0\"><dict><key>volumes</key><array>" + volumes +
                                   "</array></dict></plist>");
    const std::string ownFolder = sysroot_.Path("/private/tmp/" + own);
    for (const std::string& name : names) {
        const std::string file = sysroot_.Path("/Volumes/" + name + "/file");
        tolktest::WriteTextFile(file, name);
        FileSystemPath temp;
        ASSERT_TRUE(FileSystemUtilsMac::MoveFileToTemp(FileSystemPath(file), temp)) << name;
        EXPECT_EQ(FileSystemPath(temp.Parent().AsUTF8String()), FileSystemPath(ownFolder)) << name;
        EXPECT_EQ(tolktest::ReadTextFile(temp.AsUTF8String()), name);
    }
    EXPECT_TRUE(std::filesystem::is_empty(sysroot_.Scratch()));

    // A file outside the system root is moved aside inside it, not at its own volume's root (the
    // host's "/").
    tolktest::WriteTextFile(sysroot_.Scratch() + "/outside", "outside");
    FileSystemPath temp;
    ASSERT_TRUE(FileSystemUtilsMac::MoveFileToTemp(FileSystemPath(sysroot_.Scratch() + "/outside"), temp));
    EXPECT_EQ(FileSystemPath(temp.Parent().AsUTF8String()), FileSystemPath(ownFolder));
    struct stat info;
    ASSERT_EQ(lstat(ownFolder.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, geteuid());
    EXPECT_EQ(info.st_mode & 07777, 0700u);
}

TEST_F(SystemRootTest, AVolumeThatIgnoresCaseFindsANameInAnyCase)
{
    // The system root's start-up volume is declared not case-sensitive, as a Mac's is.
    const std::string folder = sysroot_.Path("/Applications/Case Test");
    tolktest::MakeFolders(folder);
    tolktest::WriteTextFile(folder + "/Foo.txt", "foo");
    const FileSystemPath other(sysroot_.Path("/applications/CASE TEST/fOO.txt"));
    EXPECT_TRUE(FileSystemUtils::Exists(FileSystemPath(folder + "/foo.txt")));
    EXPECT_TRUE(FileSystemUtils::Exists(other));
    bool isRegular = false;
    EXPECT_TRUE(FileSystemUtilsMac::IsRegularFile(other, isRegular) && isRegular);
    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(FileSystemUtils::LoadFileContents(other, bytes));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "foo");
    unsigned short mode = 0;
    EXPECT_TRUE(FileSystemUtilsMac::SetMode(other, 0600) && FileSystemUtilsMac::GetMode(other, mode));
    EXPECT_EQ(mode, 0600);

    // Another spelling of an existing name is that object: nothing is made beside it.
    EXPECT_FALSE(FileSystemUtils::CopyFile(FileSystemPath(folder + "/Foo.txt"), FileSystemPath(folder + "/FOO.TXT")));
    EXPECT_FALSE(FileSystemUtilsMac::CreateDirectory(FileSystemPath(folder + "/FOO.txt"), 0755, true));
    EXPECT_FALSE(FileSystemUtilsMac::CreateSymlink(FileSystemPath(folder + "/foo.TXT"), "elsewhere"));
    tolktest::WriteTextFile(folder + "/Bar.txt", "bar");
    EXPECT_FALSE(FileSystemUtils::MoveFile(FileSystemPath(folder + "/Bar.txt"), FileSystemPath(folder + "/foo.txt")));
    // New names go into the folder as it is spelt on disk, with their own spelling.
    EXPECT_TRUE(FileSystemUtils::CopyFile(other, FileSystemPath(sysroot_.Path("/APPLICATIONS/case test/Copy.txt"))));
    EXPECT_TRUE(FileSystemUtilsMac::CreateDirectory(FileSystemPath(sysroot_.Path("/applications/case test/Sub")), 0755, true));
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Bar.txt", "Copy.txt", "Foo.txt", "Sub"}));
    EXPECT_FALSE(std::filesystem::exists(sysroot_.Path("/APPLICATIONS")) &&
                 !std::filesystem::equivalent(sysroot_.Path("/APPLICATIONS"), sysroot_.Path("/Applications")));
    EXPECT_TRUE(FileSystemUtils::DeleteFile(FileSystemPath(folder + "/copy.TXT"), false));
    EXPECT_FALSE(FileSystemUtils::Exists(FileSystemPath(folder + "/Copy.txt")));

    // A volume that says it is case-sensitive matches names exactly.
    tolktest::MakeFolders(sysroot_.Path("/Volumes/Exact"));
    sysroot_.WritePlatformSettings("<plist version=\"1.0\"><dict><key>volumes</key><array>"
                                   "<dict><key>mount-point</key><string>/Volumes/Exact</string>"
                                   "<key>case-sensitive</key><true/></dict></array></dict></plist>");
    tolktest::WriteTextFile(sysroot_.Path("/Volumes/Exact/Foo.txt"), "foo");
    EXPECT_FALSE(FileSystemUtils::Exists(FileSystemPath(sysroot_.Path("/Volumes/Exact/foo.txt"))));
    EXPECT_TRUE(FileSystemUtils::CopyFile(FileSystemPath(sysroot_.Path("/Volumes/Exact/Foo.txt")),
                                          FileSystemPath(sysroot_.Path("/Volumes/Exact/FOO.TXT"))));
}

namespace {

// Puts the folder's modification time back to what it was: as another process's change within
// the same tick of a coarse clock leaves it.
void SetModified(const std::string& folder, const struct timespec& modified)
{
    const struct timespec times[2] = {{0, UTIME_OMIT}, modified};
    ASSERT_EQ(utimensat(AT_FDCWD, folder.c_str(), times, 0), 0);
}

struct timespec Modified(const std::string& folder)
{
    struct stat info;
    EXPECT_EQ(stat(folder.c_str(), &info), 0);
    return info.st_mtim;
}

}  // namespace

TEST_F(SystemRootTest, AChangeWithinATickOfTheFolderTimeIsNotMissed)
{
    // The names of a folder are looked at where its time is within a tick of the look (here a
    // time to come); another process then makes Foo.txt in the same tick.
    const std::string folder = sysroot_.Path("/Applications/Racy");
    tolktest::MakeFolders(folder);
    const struct timespec soon = {time(nullptr) + 3600, 123456789};
    SetModified(folder, soon);
    EXPECT_FALSE(FileSystemUtils::Exists(FileSystemPath(folder + "/foo.txt")));
    tolktest::WriteTextFile(folder + "/Foo.txt", "foo");
    SetModified(folder, soon);
    EXPECT_TRUE(FileSystemUtils::Exists(FileSystemPath(folder + "/foo.txt")));

    // Setup's own change keeps the names up to date with its time; one made by another process
    // in that tick is found once the tick has passed.
    const std::string settled = sysroot_.Path("/Applications/Settled");
    tolktest::MakeFolders(settled);
    SetModified(settled, {time(nullptr) - 3600, 5});
    EXPECT_FALSE(FileSystemUtils::Exists(FileSystemPath(settled + "/bar.txt")));
    ASSERT_TRUE(FileSystemUtils::CopyFile(FileSystemPath(folder + "/Foo.txt"), FileSystemPath(settled + "/Own.txt")));
    const struct timespec own = Modified(settled);
    tolktest::WriteTextFile(settled + "/Bar.txt", "bar");
    SetModified(settled, own);
    EXPECT_TRUE(
        tolktest::WaitUntil([&settled]() { return FileSystemUtils::Exists(FileSystemPath(settled + "/bar.txt")); }));
}

TEST_F(SystemRootTest, AFileIsMovedAsideEvenWhenItsFirstTemporaryNameIsTakenInAnotherSpelling)
{
    // An uninstall moves thousands of files into one temporary folder under random names, and the
    // start-up volume ignores case: a name whose other spelling was already there once made the
    // move fail, so that the file stayed installed (about one uninstall of 10 000 files in 40).
    const std::string file = sysroot_.Path("/Applications/aside");
    tolktest::WriteTextFile(file, "first");
    FileSystemPath temp;
    ASSERT_TRUE(FileSystemUtilsMac::MoveFileToTemp(FileSystemPath(file), temp));
    const std::string folder = temp.Parent().AsUTF8String();
    tolktest::WriteTextFile(folder + "/.tempabcdef", "there before");
    std::vector<std::string> names{".tempABCDEF", ".tempFree01"};
    FileSystemUtils::SetTempNameSourceForTesting([&names]() {
        const std::string name = names.front();
        if (names.size() > 1)
            names.erase(names.begin());
        return name;
    });
    tolktest::WriteTextFile(file, "second");
    const bool moved = FileSystemUtilsMac::MoveFileToTemp(FileSystemPath(file), temp);
    FileSystemUtils::SetTempNameSourceForTesting(std::function<std::string()>());
    ASSERT_TRUE(moved);
    EXPECT_EQ(temp.AsUTF8String(), folder + "/.tempFree01");
    EXPECT_EQ(tolktest::ReadTextFile(folder + "/.tempFree01"), "second");
    EXPECT_EQ(tolktest::ReadTextFile(folder + "/.tempabcdef"), "there before");
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST_F(SystemRootTest, InARunAFileMovedAsideNeverReplacesANameTakenMeanwhile)
{
    // A run reads the temporary folder's names once and keeps them itself: a name that another
    // process takes there meanwhile is unknown to it, and the move must not replace that file.
    platform::WalkedFoldersHold run;
    const std::string file = sysroot_.Path("/Applications/aside");
    tolktest::WriteTextFile(file, "first");
    FileSystemPath temp;
    ASSERT_TRUE(FileSystemUtilsMac::MoveFileToTemp(FileSystemPath(file), temp));
    const std::string folder = temp.Parent().AsUTF8String();
    tolktest::WriteTextFile(folder + "/.tempTaken1", "someone else's");
    std::vector<std::string> names{".tempTaken1", ".tempFree02"};
    FileSystemUtils::SetTempNameSourceForTesting([&names]() {
        const std::string name = names.front();
        if (names.size() > 1)
            names.erase(names.begin());
        return name;
    });
    tolktest::WriteTextFile(file, "second");
    const bool moved = FileSystemUtilsMac::MoveFileToTemp(FileSystemPath(file), temp);
    FileSystemUtils::SetTempNameSourceForTesting(std::function<std::string()>());
    ASSERT_TRUE(moved);
    EXPECT_EQ(temp.AsUTF8String(), folder + "/.tempFree02");
    EXPECT_EQ(tolktest::ReadTextFile(folder + "/.tempTaken1"), "someone else's");
    EXPECT_EQ(tolktest::ReadTextFile(folder + "/.tempFree02"), "second");
}

TEST_F(SystemRootTest, NamedPipesAreRefusedWithoutWaitingForAWriter)
{
    // A pipe in place of Setup.xml, a proxy or a deployment file: each read gives up at once.
    const std::string pipe = sysroot_.Scratch() + "/Setup.xml";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    std::string bytes;
    EXPECT_FALSE(platform::ReadWholeFile(pipe, bytes));
    boost::shared_ptr<XmlDocument> document;
    EXPECT_FALSE(XmlDocument::Load(pipe, document));
    // Not taken for an empty file either.
    std::vector<std::uint8_t> contents(1, 'x');
    EXPECT_FALSE(FileSystemUtils::LoadFileContents(FileSystemPath(pipe), contents));
    EXPECT_EQ(contents, std::vector<std::uint8_t>(1, 'x'));
}
