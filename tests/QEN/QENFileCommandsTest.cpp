#include "QENFileCommandTestSupport.h"

#include "QEN/source/mac/QENChmodCommand.h"
#include "QEN/source/mac/QENChownCommand.h"
#include "QEN/source/mac/QENCopyFileCommand.h"
#include "QEN/source/mac/QENCopySymlinkCommand.h"
#include "QEN/source/mac/QENCreateDirectoryCommand.h"
#include "QEN/source/mac/QENCreateMacAliasCommand.h"
#include "QEN/source/mac/QENCreateSymlinkCommand.h"
#include "QEN/source/mac/QENDeleteDirectoryCommand.h"
#include "QEN/source/mac/QENDeleteFileCommand.h"
#include "QEN/source/mac/QENDeleteSymlinkCommand.h"
#include "QEN/source/mac/QENRegisterApplicationsCommand.h"
#include "QEN/source/mac/QENRetargetMacAliasCommand.h"
#include "QEN/source/mac/QENSetDisplayAttributesCommand.h"

#include "platform/SystemRoot.h"
#include "platform/desktop/LaunchServices.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <functional>

using namespace qentest;
using Lines = std::vector<std::string>;

namespace {

class QENFileCommandsTest : public QENFileCommandTest {
protected:
    // One command's round trip: the state its perform leaves and the lines it logs. "@BACKUP@"
    // in a line stands for the command's backup file.
    struct RoundTrip {
        std::string name;
        std::function<void()> prepare;
        std::function<QENCommandPtr()> make;
        std::function<std::string()> state;
        std::string after;
        Lines performLog;
        Lines rollbackLog;
        std::function<std::string(const QENCommandPtr&)> backup = nullptr;
    };

    static Lines WithBackup(Lines lines, const std::string& backup)
    {
        for (std::string& line : lines) {
            const std::string::size_type at = line.find("@BACKUP@");
            if (at != std::string::npos)
                line.replace(at, 8, backup);
        }
        return lines;
    }

    // perform -> check -> rollback -> check the original is back and the backup gone, then
    // perform -> commit -> check the change stays and the backup is gone.
    void Run(const RoundTrip& trip)
    {
        SCOPED_TRACE(trip.name);
        trip.prepare();
        const std::string before = trip.state();
        QENCommandPtr command = trip.make();
        EXPECT_EQ(command->GetName(), trip.name);
        NewLines();
        ASSERT_TRUE(command->Perform()) << log_.Dump();
        std::string backup = trip.backup ? trip.backup(command) : std::string();
        EXPECT_EQ(NewLines(), WithBackup(trip.performLog, backup));
        EXPECT_EQ(trip.state(), trip.after);
        EXPECT_TRUE(backup.empty() || Exists(backup));
        ASSERT_TRUE(command->Rollback()) << log_.Dump();
        EXPECT_EQ(NewLines(), WithBackup(trip.rollbackLog, backup));
        EXPECT_EQ(trip.state(), before);
        EXPECT_TRUE(backup.empty() || !Exists(backup));

        QENCommandPtr again = trip.make();
        ASSERT_TRUE(again->Perform());
        backup = trip.backup ? trip.backup(again) : std::string();
        ASSERT_TRUE(again->Commit());
        EXPECT_EQ(trip.state(), trip.after);
        EXPECT_TRUE(backup.empty() || !Exists(backup));
    }

    // Sets the process's file-creation mask while the test runs.
    struct ScopedUmask {
        explicit ScopedUmask(mode_t mask) : saved(umask(mask)) {}
        ~ScopedUmask() { umask(saved); }
        mode_t saved;
    };
};

std::string Quoted(const std::string& text)
{
    return "\"" + text + "\"";
}

}  // namespace

TEST_F(QENFileCommandsTest, FileAndFolderCommandsRoundTrip)
{
    const ScopedUmask restrictive(077);
    const std::string uid = std::to_string(geteuid());
    const std::string gid = std::to_string(getegid());
    Run({"QENCopyFileCommand",
         [&] { tolktest::WriteTextFile(At("source"), "payload"); },
         [&] { return QENCommandPtr(new QENCopyFileCommand(log_, P("source"), P("copy"))); },
         [&] { return ContentOf(At("copy")); },
         "payload",
         {"5 Copying file " + Quoted(At("source")) + " to " + Quoted(At("copy")), "5 Copied"},
         {"5 Deleting file copy at " + Quoted(At("copy")), "5 Deleted"}});
    Run({"QENDeleteFileCommand",
         [&] { tolktest::WriteTextFile(At("prefs"), "settings"); },
         [&] { return QENCommandPtr(new QENDeleteFileCommand(log_, P("prefs"))); },
         [&] { return ContentOf(At("prefs")); },
         "<missing>",
         {"5 Saving file at " + Quoted(At("prefs")) + " to temporary location", "5 Saved to \"@BACKUP@\""},
         {"5 Restoring file at " + Quoted(At("prefs")) + " from backup at \"@BACKUP@\"", "5 Restored"},
         [](const QENCommandPtr& command) {
             // Parked on the file's own volume: the user's folder in the system root's temporary folder.
             const FileSystemPath& backup = static_cast<QENDeleteFileCommand&>(*command).BackupPath();
             EXPECT_EQ(backup.Parent().AsUTF8String(),
                       platform::SystemRoot::Resolve("/tmp/folders." + std::to_string(geteuid())));
             return backup.AsUTF8String();
         }});
    // The mode is exact whatever the file-creation mask.
    Run({"QENCreateDirectoryCommand",
         [] {},
         [&] { return QENCommandPtr(new QENCreateDirectoryCommand(log_, P("Open"), 0777)); },
         [&] { return ModeOf(At("Open")); },
         "777",
         {"5 Creating directory at " + Quoted(At("Open")) + " with mode 0777", "5 Created"},
         {"5 Deleting created directory at " + Quoted(At("Open")), "5 Deleted"}});
    Run({"QENDeleteDirectoryCommand",
         [&] {
             tolktest::MakeFolders(At("Cache"));
             ASSERT_EQ(chmod(At("Cache").c_str(), 01775), 0);
         },
         [&] { return QENCommandPtr(new QENDeleteDirectoryCommand(log_, P("Cache"))); },
         [&] { return ModeOf(At("Cache")) + " " + OwnerOf(At("Cache")); },
         "<missing> <missing>",
         {"5 Saved permissions of 1775 for " + Quoted(At("Cache")), "5 Saved owner of " + uid + " and group of " + gid,
          "5 Deleting directory " + Quoted(At("Cache")), "5 Deleted"},
         {"5 Recreating directory at " + Quoted(At("Cache")) + " with mode 1775",
          "5 Restoring ownership to owner " + uid + " and group " + gid, "5 Recreated"}});
    // The set-id and sticky bits come back too.
    Run({"QENChmodCommand",
         [&] {
             tolktest::WriteTextFile(At("tool"), "");
             ASSERT_EQ(chmod(At("tool").c_str(), 04755), 0);
         },
         [&] { return QENCommandPtr(new QENChmodCommand(log_, P("tool"), 0644)); },
         [&] { return ModeOf(At("tool")); },
         "644",
         {"5 Saved permissions of 4755", "5 Setting permissions to 0644", "5 Set"},
         {"5 Restoring permissions for " + Quoted(At("tool")) + " to 4755", "5 Restored"}});
}

TEST_F(QENFileCommandsTest, ChownRoundTripKeepsTheSetIdBits)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "giving a file away needs root";
    Run({"QENChownCommand",
         [&] {
             tolktest::WriteTextFile(At("helper"), "");
             ASSERT_EQ(chown(At("helper").c_str(), 0, 8765), 0);
             ASSERT_EQ(chmod(At("helper").c_str(), 06755), 0);
         },
         [&] { return QENCommandPtr(new QENChownCommand(log_, P("helper"), "0", "80")); },
         [&] { return OwnerOf(At("helper")) + " " + ModeOf(At("helper")); },
         "0:80 6755",
         {"5 Saved owner 0 and group 8765 for " + Quoted(At("helper")), "5 Setting owner to 0 and group to 80",
          "5 Set"},
         {"5 Restoring owner to 0 and group to 8765 for " + Quoted(At("helper")), "5 Restored"}});
}

TEST_F(QENFileCommandsTest, SymbolicLinkCommandsRoundTripWithTheTextAsWritten)
{
    Run({"QENCreateSymlinkCommand",
         [] {},
         [&] { return QENCommandPtr(new QENCreateSymlinkCommand(log_, P("Current"), "Versions/A")); },
         [&] { return LinkText(At("Current")); },
         "Versions/A",
         {"5 Creating symlink at " + Quoted(At("Current")) + " with target \"Versions/A\"", "5 Created"},
         {"5 Deleting created symlink at " + Quoted(At("Current")), "5 Deleted"}});
    Run({"QENDeleteSymlinkCommand",
         [&] { ASSERT_EQ(symlink("../gone", At("dangling").c_str()), 0); },
         [&] { return QENCommandPtr(new QENDeleteSymlinkCommand(log_, P("dangling"))); },
         [&] { return LinkText(At("dangling")); },
         "<no link>",
         {"5 Saved symlink target of \"../gone\" for path " + Quoted(At("dangling")),
          "5 Deleting symlink at " + Quoted(At("dangling")), "5 Deleted"},
         {"5 Recreating symlink at " + Quoted(At("dangling")) + " with a target of \"../gone\"", "5 Recreated"}});
    Run({"QENCopySymlinkCommand",
         [&] { ASSERT_EQ(symlink("lib/libtool.dylib", At("libtool").c_str()), 0); },
         [&] { return QENCommandPtr(new QENCopySymlinkCommand(log_, P("libtool"), P("copy"))); },
         [&] { return LinkText(At("copy")); },
         "lib/libtool.dylib",
         {"5 Copying symlink " + Quoted(At("libtool")) + " to " + Quoted(At("copy")), "5 Copied"},
         {"5 Deleting created symlink at " + Quoted(At("copy")), "5 Deleted"}});
}

TEST_F(QENFileCommandsTest, AliasAndDisplayAttributeCommandsRoundTrip)
{
    if (!HasExtendedAttributes())
        GTEST_SKIP() << "the file system keeps no user attributes";
    tolktest::WriteTextFile(At("v1"), "");
    tolktest::WriteTextFile(At("v2"), "");
    Run({"QENCreateMacAliasCommand",
         [] {},
         [&] { return QENCommandPtr(new QENCreateMacAliasCommand(log_, P("v1 alias"), P("v1"), nullptr)); },
         [&] { return AliasTargetOf(At("v1 alias")); },
         At("v1"),
         {"5 Creating Mac alias at " + Quoted(At("v1 alias")) + " with target " + Quoted(At("v1")), "5 Created"},
         {"5 Deleting created Mac alias at " + Quoted(At("v1 alias")), "5 Deleted"}});
    Run({"QENRetargetMacAliasCommand",
         [&] { ASSERT_TRUE(FileSystemUtilsMac::CreateMacAlias(P("alias"), P("v1"), nullptr)); },
         [&] { return QENCommandPtr(new QENRetargetMacAliasCommand(log_, P("alias"), P("v2"))); },
         [&] { return AliasTargetOf(At("alias")); },
         At("v2"),
         {"5 Saving prior alias file at " + Quoted(At("alias")) + " to temporary location",
          "5 Alias file saved to \"@BACKUP@\"", "5 Retargetting alias file to " + Quoted(At("v2")), "5 Retargetted"},
         {"5 Deleting retargetted alias file at " + Quoted(At("alias")), "5 Deleted",
          "5 Restoring alias file from backup at \"@BACKUP@\"", "5 Restored, deleting backup", "5 Deleted"},
         [](const QENCommandPtr& command) {
             const FileSystemPath& backup = static_cast<QENRetargetMacAliasCommand&>(*command).BackupPath();
             EXPECT_EQ(backup.Parent().AsUTF8String(), "/tmp");
             return backup.AsUTF8String();
         }});
    // Invisible on an item with a custom icon: the icon flag is outside the mask and stays.
    Run({"QENSetDisplayAttributesCommand",
         [&] { ASSERT_TRUE(FileSystemUtilsMac::SetDisplayAttributes(P("v2"), 2, 2)); },
         [&] { return QENCommandPtr(new QENSetDisplayAttributesCommand(log_, P("v2"), 1, 1)); },
         [&] { return DisplayAttributesOf(At("v2")); },
         "3",
         {"5 Saved display attributes of 00000002 for " + Quoted(At("v2"))},
         {"5 Restoring display attributes for " + Quoted(At("v2")) + " to 00000002 with mask 00000001"}});
}

TEST_F(QENFileCommandsTest, RefusalsLeaveWhatIsThereAlone)
{
    tolktest::WriteTextFile(At("file"), "kept");
    tolktest::MakeFolders(At("Full"));
    tolktest::WriteTextFile(At("Full/inside"), "");
    ASSERT_EQ(symlink("file", At("link").c_str()), 0);
    const struct {
        QENCommand* command;
        std::string lastLine;
    } kCases[] = {
        {new QENCopyFileCommand(log_, P("link"), P("file")),
         "2 Unable to copy file from " + Quoted(At("link")) + " to " + Quoted(At("file"))},
        {new QENDeleteFileCommand(log_, P("link")), "2 Unable to preserve original file at " + Quoted(At("link"))},
        {new QENDeleteFileCommand(log_, P("Full")), "2 Unable to preserve original file at " + Quoted(At("Full"))},
        {new QENCreateDirectoryCommand(log_, P("no/parent"), 0755),
         "2 Unable to create directory at " + Quoted(At("no/parent")) + " with mode 0755"},
        {new QENCreateDirectoryCommand(log_, P("file"), 0755),
         "2 Unable to create directory at " + Quoted(At("file")) + " with mode 0755"},
        {new QENDeleteDirectoryCommand(log_, P("Full")), "2 Unable to delete directory " + Quoted(At("Full"))},
        {new QENDeleteDirectoryCommand(log_, P("link")), "2 Unable to get permissions of " + Quoted(At("link"))},
        {new QENChmodCommand(log_, P("link"), 0777), "2 Unable to get permissions of " + Quoted(At("link"))},
        {new QENChownCommand(log_, P("link"), "0", "0"),
         "2 Unable to preserve owner and group of " + Quoted(At("link"))},
        {new QENCreateSymlinkCommand(log_, P("file"), "x"), "2 Unable to create symlink at " + Quoted(At("file"))},
        {new QENDeleteSymlinkCommand(log_, P("file")),
         "2 Unable to preserve symlink target for path " + Quoted(At("file"))},
        {new QENCopySymlinkCommand(log_, P("file"), P("copy")),
         "2 Unable to read symlink target of source file " + Quoted(At("file"))},
        {new QENCopySymlinkCommand(log_, P("link"), P("file")), "2 Unable to create symlink at " + Quoted(At("file"))},
        {new QENSetDisplayAttributesCommand(log_, P("missing"), 1, 1),
         "2 Unable to read display attributes of " + Quoted(At("missing"))},
    };
    for (const auto& entry : kCases) {
        QENCommandPtr command(entry.command);
        EXPECT_FALSE(command->Perform()) << entry.lastLine;
        EXPECT_EQ(log_.lines.back(), entry.lastLine);
    }
    // The folder was kept, after its mode and owner were read.
    EXPECT_EQ(log_.Count("5 Deleting directory " + Quoted(At("Full"))), 1u);
    EXPECT_EQ(ContentOf(At("file")), "kept");
    EXPECT_EQ(LinkText(At("link")), "file");
    EXPECT_EQ(ContentOf(At("Full/inside")), "");
    EXPECT_FALSE(Exists(At("no")));
    EXPECT_FALSE(Exists(At("copy")));
}

TEST_F(QENFileCommandsTest, ChownResolvesNumbersAndNamesWhenBuilt)
{
    QENChownCommand byNumber(log_, P("file"), "501", "20");
    QENChownCommand byName(log_, P("file"), "root", "");
    EXPECT_EQ(log_.lines,
              (Lines{"5 User \"501\" resolved to uid 501 for path " + Quoted(At("file")),
                     "5 Group \"20\" resolved to gid 20 for path " + Quoted(At("file")),
                     "5 User \"root\" resolved to uid 0 for path " + Quoted(At("file")),
                     "5 Group \"\" resolved to gid 0 for path " + Quoted(At("file"))}));
}

TEST_F(QENFileCommandsTest, RegisterApplicationsWarnsForEachFailureAndCannotBeUndone)
{
    tolktest::MakeFolders(At("One.app/Contents"));
    tolktest::MakeFolders(At("Three.app/Contents"));
    QENRegisterApplicationsCommand registration(log_, {P("One.app"), P("Two.app"), P("Three.app")});
    EXPECT_EQ(registration.GetName(), "QENRegisterApplicationsCommand");
    ASSERT_TRUE(registration.Perform());
    EXPECT_EQ(NewLines(),
              (Lines{"5 Registering application at " + Quoted(At("One.app")),
                     "5 Registering application at " + Quoted(At("Two.app")),
                     "3 Attempt to register application at " + Quoted(At("Two.app")) + " failed",
                     "5 Registering application at " + Quoted(At("Three.app"))}));
    EXPECT_FALSE(registration.Rollback());
    EXPECT_EQ(NewLines(), Lines{"5 Rollback of app registration is not supported"});
    std::vector<platform::RegisteredApplication> registered;
    ASSERT_TRUE(platform::ReadApplicationRegistry(registered));
    ASSERT_EQ(registered.size(), 2u);
    EXPECT_EQ(registered[1].path, At("Three.app"));

    QENRegisterApplicationsCommand none(log_, {});
    EXPECT_TRUE(none.Perform());
    EXPECT_TRUE(none.Commit());
    EXPECT_TRUE(NewLines().empty());
}
