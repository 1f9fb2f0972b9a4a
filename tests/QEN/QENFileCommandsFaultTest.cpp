// The file, link and alias commands when a script names what does not exist or the world changes
// under them: nothing given away, overwritten, lost or left behind.
#include "QENFileCommandTestSupport.h"

#include "QEN/source/mac/QENChmodCommand.h"
#include "QEN/source/mac/QENChownCommand.h"
#include "QEN/source/mac/QENCopyFileCommand.h"
#include "QEN/source/mac/QENCreateDirectoryCommand.h"
#include "QEN/source/mac/QENCreateSymlinkCommand.h"
#include "QEN/source/mac/QENDeleteDirectoryCommand.h"
#include "QEN/source/mac/QENDeleteFileCommand.h"
#include "QEN/source/mac/QENRetargetMacAliasCommand.h"
#include "QEN/source/mac/QENSetDisplayAttributesCommand.h"

#include "Common/source/xplat/FileSystemUtils.h"

#include "platform/FaultInjection.h"
#include "platform/Folders.h"
#include "platform/files/ChangedObject.h"
#include "platform/files/Files.h"

#include "tests/support/OtherUser.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>

using namespace qentest;
using Lines = std::vector<std::string>;

namespace {

class QENFileCommandsFaultTest : public QENFileCommandTest {
protected:
    void TearDown() override { platform::SetFaultHookForTesting(platform::FaultHook()); }

    // A folder of nobody's own, that no other user can write, and a link of nobody's.
    void NobodysFolder(const std::string& name)
    {
        tolktest::MakeFolders(At(name));
        ASSERT_EQ(chown(At(name).c_str(), tolktest::NobodyUser(), tolktest::NobodyGroup()), 0);
        ASSERT_EQ(chmod(At(name).c_str(), 0755), 0);
    }
    void NobodysLink(const std::string& name, const std::string& text)
    {
        unlink(At(name).c_str());
        ASSERT_EQ(symlink(text.c_str(), At(name).c_str()), 0) << name;
        ASSERT_EQ(lchown(At(name).c_str(), tolktest::NobodyUser(), tolktest::NobodyGroup()), 0) << name;
    }
    // A file, or a folder, with the owner and mode.
    void FileOf(const std::string& name, uid_t owner, mode_t mode)
    {
        tolktest::WriteTextFile(At(name), name);
        ASSERT_EQ(chown(At(name).c_str(), owner, owner), 0);
        ASSERT_EQ(chmod(At(name).c_str(), mode), 0);
    }
    void FolderOf(const std::string& name, uid_t owner, mode_t mode)
    {
        tolktest::MakeFolders(At(name));
        ASSERT_EQ(chown(At(name).c_str(), owner, owner), 0);
        ASSERT_EQ(chmod(At(name).c_str(), mode), 0);
    }
};

}  // namespace

TEST_F(QENFileCommandsFaultTest, ChownWithAnUnknownNameFailsInsteadOfGivingTheFileToRoot)
{
    tolktest::WriteTextFile(At("file"), "");
    const std::string owner = OwnerOf(At("file"));
    QENChownCommand unknownUser(log_, P("file"), "no-such-user-of-tolk", "0");
    QENChownCommand unknownGroup(log_, P("file"), "0", "no-such-group-of-tolk");
    QENChownCommand tooLarge(log_, P("file"), "4294967296", "0");
    EXPECT_EQ(log_.lines[0], "2 Unable to resolve user \"no-such-user-of-tolk\" for path \"" + At("file") + "\"");
    EXPECT_EQ(log_.lines[3], "2 Unable to resolve group \"no-such-group-of-tolk\" for path \"" + At("file") + "\"");
    EXPECT_EQ(log_.lines[4], "2 Unable to resolve user \"4294967296\" for path \"" + At("file") + "\"");
    NewLines();

    EXPECT_FALSE(unknownUser.Perform());
    EXPECT_EQ(NewLines(),
              Lines{"2 Unable to set owner and group of \"" + At("file") +
                    "\" to user \"no-such-user-of-tolk\" and group \"0\""});
    EXPECT_FALSE(unknownGroup.Perform());
    EXPECT_FALSE(tooLarge.Perform());
    EXPECT_EQ(OwnerOf(At("file")), owner);
}

TEST_F(QENFileCommandsFaultTest, AFileGivenToTheUserWhoseFolderHoldsItIsGivenBackOnRollback)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "giving a file away needs root";
    // A folder of the user's own (a home, say), that nobody else can write.
    tolktest::MakeFolders(At("home"));
    ASSERT_EQ(chown(At("home").c_str(), tolktest::NobodyUser(), tolktest::NobodyGroup()), 0);
    tolktest::WriteTextFile(At("home/prefs"), "prefs");
    ASSERT_EQ(chmod(At("home/prefs").c_str(), 0644), 0);
    const std::string before = OwnerOf(At("home/prefs")) + " " + ModeOf(At("home/prefs"));

    QENChownCommand chown(log_, P("home/prefs"), std::to_string(tolktest::NobodyUser()),
                          std::to_string(tolktest::NobodyGroup()));
    QENChmodCommand chmod(log_, P("home/prefs"), 0600);
    ASSERT_TRUE(chown.Perform());
    ASSERT_TRUE(chmod.Perform());
    EXPECT_EQ(OwnerOf(At("home/prefs")) + " " + ModeOf(At("home/prefs")),
              std::to_string(tolktest::NobodyUser()) + ":" + std::to_string(tolktest::NobodyGroup()) + " 600");
    // The run failed: undone newest first.
    EXPECT_TRUE(chmod.Rollback());
    EXPECT_TRUE(chown.Rollback());
    EXPECT_EQ(OwnerOf(At("home/prefs")) + " " + ModeOf(At("home/prefs")), before);
}

TEST_F(QENFileCommandsFaultTest, NoCommandReachesRootsFilesThroughAUsersLinksWithoutNames)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "links of another user need root";
    // In a home of nobody's, links of his whose texts have no names ("/", "."), inside chains
    // that end in a folder of root's beside it.
    NobodysFolder("home");
    tolktest::WriteTextFile(At("payload"), "payload");
    NobodysLink("home/R", "/");
    NobodysLink("home/dr", "R" + At("Root"));
    NobodysLink("home/X", ".");
    NobodysLink("home/ed", "X/../Root");
    const std::string nobody = std::to_string(tolktest::NobodyUser());
    const std::vector<std::function<QENCommand*(const std::string&)> > commands = {
        [&](const std::string& via) { return new QENCopyFileCommand(log_, P("payload"), P(via + "/x")); },
        [&](const std::string& via) { return new QENChmodCommand(log_, P(via + "/secret"), 0666); },
        [&](const std::string& via) { return new QENChownCommand(log_, P(via + "/secret"), nobody, nobody); },
        [&](const std::string& via) { return new QENDeleteFileCommand(log_, P(via + "/secret")); },
    };
    for (const char* via : {"home/dr", "home/ed"}) {
        for (std::size_t i = 0; i < commands.size(); ++i) {
            SCOPED_TRACE(std::string(via) + " " + std::to_string(i));
            std::filesystem::remove_all(At("Root"));
            tolktest::MakeFolders(At("Root"));
            FileOf("Root/secret", 0, 0600);
            const std::vector<std::string> before = tolktest::DescribeTree(At("Root"), true);
            const std::unique_ptr<QENCommand> command(commands[i](via));
            EXPECT_FALSE(command->Perform());
            EXPECT_EQ(tolktest::DescribeTree(At("Root"), true), before);
        }
    }
}

TEST_F(QENFileCommandsFaultTest, AModeOrOwnerGoesBackOnlyToTheFileItWasReadFrom)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "files of another user need root";
    // nobody swaps a link in his home, after the change, between his folder that holds root's
    // file and folder and his other folder that holds his own set-id file and open folder. Where
    // the file system finds objects by their handles, the value goes back to the object it was
    // read from, wherever the path leads; elsewhere it is refused. Never to the other object.
    NobodysFolder("home");
    NobodysFolder("home/A");
    NobodysFolder("home/B");
    // A file removed is gone to a handle, but only missing at its path.
    platform::ObjectIdentity removed;
    {
        FileOf("probe", 0, 0600);
        platform::ChangedObject probe;
        ASSERT_EQ(probe.Open(At("probe")), 0);
        removed = probe.Identity();
        ASSERT_EQ(unlink(At("probe").c_str()), 0);
    }
    bool setIdKept = true;
    const bool byHandle = platform::GiveBackMode(At("probe"), removed, 0600, setIdKept) == EPERM;
    const std::string nobodys = std::to_string(tolktest::NobodyUser()) + ":" + std::to_string(tolktest::NobodyUser());
    enum Kind { kChmod, kChown, kDeleteDirectory };
    const struct {
        Kind kind;
        const char* first;
        const char* then;
    } rows[] = {{kChmod, "A", "B"}, {kChmod, "B", "A"},           {kChown, "A", "B"},
                {kChown, "B", "A"}, {kDeleteDirectory, "A", "B"}, {kDeleteDirectory, "B", "A"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.kind) + " " + row.first);
        FileOf("home/A/f", 0, 0600);
        FileOf("home/B/f", tolktest::NobodyUser(), 04777);
        FolderOf("home/A/d", 0, 0700);
        FolderOf("home/B/d", tolktest::NobodyUser(), 01777);
        NobodysLink("home/L", row.first);
        const char* const name = row.kind == kDeleteDirectory ? "/d" : "/f";
        const std::string changed = At(std::string("home/") + row.first + name);
        const std::string before = OwnerOf(changed) + " " + ModeOf(changed);
        std::unique_ptr<QENCommand> command;
        if (row.kind == kChmod)
            command.reset(new QENChmodCommand(log_, P("home/L/f"), 0640));
        else if (row.kind == kChown)
            command.reset(new QENChownCommand(log_, P("home/L/f"), "1", "1"));
        else
            command.reset(new QENDeleteDirectoryCommand(log_, P("home/L/d")));
        ASSERT_TRUE(command->Perform());
        const std::string other = At(std::string("home/") + row.then + name);
        if (row.kind == kDeleteDirectory) {
            ASSERT_EQ(rmdir(other.c_str()), 0);
        }
        const std::string untouched = OwnerOf(other) + " " + ModeOf(other);
        NobodysLink("home/L", row.then);

        EXPECT_EQ(command->Rollback(), byHandle);
        EXPECT_EQ(OwnerOf(other) + " " + ModeOf(other), untouched);
        // (nobody's set-id file, user 1's meanwhile, comes back without its set-id bits.)
        if (byHandle)
            EXPECT_EQ(OwnerOf(changed) + " " + ModeOf(changed),
                      row.kind == kChown && row.first == std::string("B") ? nobodys + " 777" : before);
        else
            EXPECT_THAT(FileSystemUtils::LastFailureReason(),
                        ::testing::StartsWith("Refused to give back the " +
                                              std::string(row.kind == kChown ? "owner" : "mode")));
    }
}

TEST_F(QENFileCommandsFaultTest, AnotherUsersFileBecomesNoSetIdProgramOfAnotherOwner)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "files of another user need root";
    NobodysFolder("home");
    const std::string nobody = std::to_string(tolktest::NobodyUser());
    // Root's file given to nobody, who makes it a set-id program of his: the rollback gives it
    // back to root with the mode it had, not with his.
    FileOf("home/f", 0, 0600);
    QENChownCommand give(log_, P("home/f"), nobody, nobody);
    ASSERT_TRUE(give.Perform());
    ASSERT_EQ(chmod(At("home/f").c_str(), 04777), 0);
    EXPECT_TRUE(give.Rollback());
    EXPECT_EQ(OwnerOf(At("home/f")) + " " + ModeOf(At("home/f")), "0:0 600");
    // Root's set-id program given to nobody, who could rewrite it meanwhile: given back without
    // its set-id bits. And nobody's set-id file given to root keeps none.
    FileOf("home/g", 0, 04755);
    QENChownCommand lend(log_, P("home/g"), nobody, nobody);
    ASSERT_TRUE(lend.Perform());
    EXPECT_TRUE(lend.Rollback());
    EXPECT_EQ(OwnerOf(At("home/g")) + " " + ModeOf(At("home/g")), "0:0 755");
    FileOf("home/h", tolktest::NobodyUser(), 06755);
    QENChownCommand take(log_, P("home/h"), "0", "0");
    ASSERT_TRUE(take.Perform());
    EXPECT_EQ(OwnerOf(At("home/h")) + " " + ModeOf(At("home/h")), "0:0 755");
    // Root's set-id program that the run let everyone write is given back without its bits.
    FileOf("home/i", 0, 04755);
    QENChmodCommand open(log_, P("home/i"), 0777);
    ASSERT_TRUE(open.Perform());
    EXPECT_TRUE(open.Rollback());
    EXPECT_EQ(OwnerOf(At("home/i")) + " " + ModeOf(At("home/i")), "0:0 755");
}

TEST_F(QENFileCommandsFaultTest, WhatIsMadeInAnotherUsersHomeForHimIsHisAndGoesOnRollback)
{
    if (!tolktest::CanRunAsNobody())
        GTEST_SKIP() << "cannot run as another user here";
    // The wizard's copy that runs as root for nobody, whose home is the user domain's.
    ASSERT_TRUE(tolktest::LetOthersThrough(sysroot_.Base()));
    NobodysFolder("home");
    std::string problem;
    ASSERT_EQ(platform::SetUserDomainHome(At("home"), tolktest::NobodyUser(), problem), 0) << problem;
    std::string prefs;
    ASSERT_EQ(platform::FindFolder(platform::kUserDomain, platform::FourCharCode('p', 'r', 'e', 'f'), true, prefs), 0);
    tolktest::WriteTextFile(At("payload"), "data");
    QENCreateDirectoryCommand folder(log_, FileSystemPath(prefs + "/Orvex"), 0755);
    QENCopyFileCommand copy(log_, P("payload"), FileSystemPath(prefs + "/Orvex/settings.plist"));
    QENCreateSymlinkCommand link(log_, FileSystemPath(prefs + "/Orvex/current"), "settings.plist");
    QENCopyFileCommand outside(log_, P("payload"), P("outside"));
    ASSERT_TRUE(folder.Perform());
    ASSERT_TRUE(copy.Perform());
    ASSERT_TRUE(link.Perform());
    ASSERT_TRUE(outside.Perform());
    ASSERT_TRUE(platform::WriteFileAtomically(prefs + "/Orvex/written.plist", "written"));

    const std::string nobodys = std::to_string(tolktest::NobodyUser()) + ":" + std::to_string(tolktest::NobodyGroup());
    for (const char* name : {"", "/settings.plist", "/current", "/written.plist"})
        EXPECT_EQ(OwnerOf(prefs + "/Orvex" + name), nobodys) << name;
    EXPECT_EQ(ContentOf(prefs + "/Orvex/settings.plist"), "data");
    EXPECT_EQ(OwnerOf(At("outside")), OwnerOf(At("payload")));
    // Where a link of his there leads, to a folder of his elsewhere, it is his too.
    NobodysFolder("elsewhere");
    NobodysLink(prefs.substr(At("").size()) + "/Out", At("elsewhere"));
    QENCopyFileCommand through(log_, P("payload"), FileSystemPath(prefs + "/Out/settings.plist"));
    EXPECT_TRUE(through.Perform());
    EXPECT_EQ(OwnerOf(At("elsewhere/settings.plist")), nobodys);
    // In a folder of root's there, left by an earlier Setup, root makes it as before.
    tolktest::MakeFolders(prefs + "/Legacy");
    QENCopyFileCommand legacy(log_, P("payload"), FileSystemPath(prefs + "/Legacy/settings.plist"));
    EXPECT_TRUE(legacy.Perform());
    EXPECT_EQ(OwnerOf(prefs + "/Legacy/settings.plist"), OwnerOf(At("payload")));
    // A failed run takes them away again, newest first.
    ASSERT_EQ(unlink((prefs + "/Orvex/written.plist").c_str()), 0);
    EXPECT_TRUE(outside.Rollback());
    EXPECT_TRUE(link.Rollback());
    EXPECT_TRUE(copy.Rollback());
    EXPECT_TRUE(folder.Rollback());
    EXPECT_EQ(OwnerOf(prefs + "/Orvex"), "<missing>");
    EXPECT_EQ(OwnerOf(At("outside")), "<missing>");
}

TEST_F(QENFileCommandsFaultTest, ACopyGoesIntoTheFolderItsCheckFoundNotThroughALinkPlantedSince)
{
    tolktest::WriteTextFile(At("payload"), "data");
    tolktest::MakeFolders(At("Sub"));
    tolktest::MakeFolders(At("Elsewhere"));
    QENCopyFileCommand copy(log_, P("payload"), P("Sub/new"));
    QENUndoStep step;
    ASSERT_TRUE(copy.UndoBeforePerform(step));
    ASSERT_EQ(rename(At("Sub").c_str(), At("Moved").c_str()), 0);
    ASSERT_EQ(symlink("Elsewhere", At("Sub").c_str()), 0);

    EXPECT_TRUE(copy.Perform());
    struct stat info;
    EXPECT_NE(lstat(At("Elsewhere/new").c_str(), &info), 0);
    EXPECT_EQ(ContentOf(At("Moved/new")), "data");
}

TEST_F(QENFileCommandsFaultTest, RestoringADeletedFileNeverOverwritesWhatTookItsPlace)
{
    tolktest::WriteTextFile(At("prefs"), "original");
    QENDeleteFileCommand remove(log_, P("prefs"));
    ASSERT_TRUE(remove.Perform());
    const std::string backup = remove.BackupPath().AsUTF8String();
    tolktest::WriteTextFile(At("prefs"), "newcomer");

    EXPECT_FALSE(remove.Rollback());
    EXPECT_EQ(log_.lines.back(),
              "2 Unable to restore file at \"" + At("prefs") + "\" from backup at \"" + backup + "\"");
    EXPECT_EQ(ContentOf(At("prefs")), "newcomer");
    EXPECT_EQ(ContentOf(backup), "original");

    // Without a successful perform there is nothing to commit or restore.
    QENDeleteFileCommand failed(log_, P("missing"));
    EXPECT_FALSE(failed.Perform());
    EXPECT_FALSE(failed.Commit());
    EXPECT_FALSE(failed.Rollback());
}

TEST_F(QENFileCommandsFaultTest, DeletedFilesAreParkedOnlyInTheTemporaryFolderAtTheirBackupsPath)
{
    // A run keeps its volume's temporary folder open from one deletion to the next. Here the folder
    // is put elsewhere between two deletions and a new one of the user's own takes its path (with
    // the first backup moved over): the second file must go into the folder at that path, where
    // its backup is known to be, so that rolling back brings both files back.
    tolktest::WriteTextFile(At("first"), "one");
    tolktest::WriteTextFile(At("second"), "two");
    QENDeleteFileCommand first(log_, P("first"));
    ASSERT_TRUE(first.Perform());
    const std::string folder = first.BackupPath().Parent().AsUTF8String();
    const std::string name = first.BackupPath().NameAsUTF8String();
    ASSERT_EQ(rename(folder.c_str(), (folder + ".old").c_str()), 0);
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    ASSERT_EQ(rename((folder + ".old/" + name).c_str(), (folder + "/" + name).c_str()), 0);

    QENDeleteFileCommand second(log_, P("second"));
    ASSERT_TRUE(second.Perform());
    EXPECT_EQ(second.BackupPath().Parent().AsUTF8String(), folder);
    EXPECT_EQ(ContentOf(second.BackupPath().AsUTF8String()), "two");
    EXPECT_TRUE(second.Rollback());
    EXPECT_TRUE(first.Rollback());
    EXPECT_EQ(ContentOf(At("first")), "one");
    EXPECT_EQ(ContentOf(At("second")), "two");
    EXPECT_EQ(rmdir((folder + ".old").c_str()), 0);  // nothing was left in the folder put aside

    // A commit removes its backup from the folder at the path too.
    QENDeleteFileCommand again(log_, P("second"));
    ASSERT_TRUE(again.Perform());
    EXPECT_TRUE(again.Commit());
    EXPECT_EQ(ContentOf(again.BackupPath().AsUTF8String()), "<missing>");
}

TEST_F(QENFileCommandsFaultTest, RollingBackALinkLeavesWhatReplacedItAlone)
{
    QENCreateSymlinkCommand create(log_, P("link"), "target");
    ASSERT_TRUE(create.Perform());
    ASSERT_EQ(unlink(At("link").c_str()), 0);
    tolktest::WriteTextFile(At("link"), "someone else's file");
    EXPECT_FALSE(create.Rollback());
    EXPECT_EQ(log_.lines.back(), "2 Unable to delete created symlink at \"" + At("link") + "\"");
    EXPECT_EQ(ContentOf(At("link")), "someone else's file");

}

TEST_F(QENFileCommandsFaultTest, AFailedRetargetLeavesTheAliasAndNoBackup)
{
    if (!HasExtendedAttributes())
        GTEST_SKIP() << "the file system keeps no user attributes";
    tolktest::WriteTextFile(At("v1"), "");
    tolktest::WriteTextFile(At("v2"), "");
    tolktest::WriteTextFile(At("plain"), "no alias record");
    ASSERT_TRUE(FileSystemUtilsMac::CreateMacAlias(P("alias"), P("v1"), nullptr));

    QENRetargetMacAliasCommand missingTarget(log_, P("alias"), P("missing"));
    QENRetargetMacAliasCommand noRecord(log_, P("plain"), P("v2"));
    QENRetargetMacAliasCommand noAlias(log_, P("none"), P("v2"));
    EXPECT_FALSE(missingTarget.Perform());
    EXPECT_EQ(log_.lines.back(),
              "2 Unable to retarget Mac alias at \"" + At("alias") + "\" referring to \"" + At("missing") + "\"");
    EXPECT_FALSE(noRecord.Perform());
    EXPECT_FALSE(noAlias.Perform());
    EXPECT_EQ(log_.lines.back(), "2 Unable to preserve original alias file at \"" + At("none") + "\"");
    // The alias file refuses the new record; its copy was made before.
    const std::string alias = At("alias");
    platform::SetFaultHookForTesting([alias](const std::string& operation, const std::string& path) {
        return operation == "setxattr" && path == alias ? EIO : 0;
    });
    QENRetargetMacAliasCommand refused(log_, P("alias"), P("v2"));
    EXPECT_FALSE(refused.Perform());
    platform::SetFaultHookForTesting(platform::FaultHook());

    // Each of the copies made before the retarget failed is gone again.
    const std::string saved = "5 Alias file saved to \"";
    std::size_t copies = 0;
    for (const std::string& line : log_.lines) {
        if (line.compare(0, saved.size(), saved) != 0)
            continue;
        ++copies;
        EXPECT_FALSE(Exists(line.substr(saved.size(), line.size() - saved.size() - 1))) << line;
    }
    EXPECT_EQ(copies, 3u);
    EXPECT_EQ(AliasTargetOf(At("alias")), At("v1"));
    EXPECT_EQ(ContentOf(At("plain")), "no alias record");
}

TEST_F(QENFileCommandsFaultTest, ARefusedDisplayAttributeWriteIsADebugLine)
{
    if (!HasExtendedAttributes())
        GTEST_SKIP() << "the file system keeps no user attributes";
    tolktest::WriteTextFile(At("item"), "");
    platform::SetFaultHookForTesting(
        [](const std::string& operation, const std::string&) { return operation == "setxattr" ? EIO : 0; });
    QENSetDisplayAttributesCommand refused(log_, P("item"), 1, 1);
    EXPECT_FALSE(refused.Perform());
    EXPECT_EQ(log_.lines.back(),
              "5 Unable to set display attributes of \"" + At("item") + "\" to 00000001 with mask 00000001");
    platform::SetFaultHookForTesting(platform::FaultHook());
    EXPECT_EQ(DisplayAttributesOf(At("item")), "0");
}
