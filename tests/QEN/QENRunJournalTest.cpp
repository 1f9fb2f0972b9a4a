// The run journal read back by the next run: a run whose process died is taken back step by
// step, one that died after committing its records is finished, and a running one is left alone.
// The dead runs are real processes that journal real changes and end without finishing.
#include "QENRunJournalTestSupport.h"

#include "QEN/source/mac/QENCAPSRunSession.h"

#include "platform/files/LockedFile.h"
#include "platform/files/TrustedPath.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

using namespace qentest;

namespace {

namespace fs = std::filesystem;

using QENRunJournalTest = RunJournalTest;

}  // namespace

TEST_F(QENRunJournalTest, ARunThatDiedIsTakenBackAndOneThatCommittedIsFinished)
{
    tolktest::WriteTextFile(S("chmodded"), "c");
    chmod(S("chmodded").c_str(), 0644);
    tolktest::MakeFolders(S("removed-folder"));
    chmod(S("removed-folder").c_str(), 0750);
    symlink("target", S("link").c_str());
    tolktest::WriteTextFile(S("replaced"), "original");
    // A run that is still going (this process's own) is left alone, by the dead run's start too.
    QENRunJournal running(log_);
    ASSERT_TRUE(running.Begin("running"));
    DeadRun([this](QENRunJournal& journal) {
        journal.Intend(QENUndoStep(QENUndoStep::kRemoveDirectory, S("made")));
        mkdir(S("made").c_str(), 0755);
        journal.PerformedAsIntended();
        journal.Intend(QENUndoStep(QENUndoStep::kRemoveFile, S("made/copy")));
        tolktest::WriteTextFile(S("made/copy"), "copy");
        journal.PerformedAsIntended();
        chmod(S("chmodded").c_str(), 0600);
        journal.Performed(QENUndoStep(QENUndoStep::kSetMode, S("chmodded"), "", 0644));
        rmdir(S("removed-folder").c_str());
        journal.Performed(QENUndoStep(QENUndoStep::kRecreateDirectory, S("removed-folder"), "", 0750, getuid(), getgid()));
        unlink(S("link").c_str());
        journal.Performed(QENUndoStep(QENUndoStep::kRecreateSymlink, S("link"), "target"));
        std::rename(S("replaced").c_str(), S(".backup").c_str());
        journal.Performed(QENUndoStep(QENUndoStep::kRestoreFile, S("replaced"), S(".backup")));
        journal.PerformedWithoutUndo("QENSpawnCommand");
        // Killed in the middle of a copy: part of it is there.
        journal.Intend(QENUndoStep(QENUndoStep::kRemoveFile, S("replaced")));
        tolktest::WriteTextFile(S("replaced"), "par");
    });
    // Each journal ends in the zero-filled space reserved for its next records.
    ASSERT_EQ(Journals().size(), 2u);
    for (const std::string& journal : Journals()) {
        EXPECT_EQ(fs::file_size(journal), platform::LockedFile::kFirstReserve);
        EXPECT_EQ(tolktest::ReadTextFile(journal).back(), '\0');
    }

    RecoverInterruptedRuns();
    EXPECT_FALSE(fs::exists(S("made")));
    EXPECT_EQ(Mode(S("chmodded")), 0644u);
    EXPECT_EQ(Mode(S("removed-folder")), 0750u);
    EXPECT_EQ(fs::read_symlink(S("link")), "target");
    EXPECT_EQ(tolktest::ReadTextFile(S("replaced")), "original");
    EXPECT_FALSE(fs::exists(S(".backup")));
    EXPECT_TRUE(log_.Has("3 Unable to take back QENSpawnCommand of the interrupted run")) << log_.Dump();
    EXPECT_EQ(Journals().size(), 1u);

    // Committed: the run is finished instead, its backups and the files it was to delete go.
    tolktest::WriteTextFile(S("stored-script.js"), "old script");
    DeadRun([this](QENRunJournal& journal) {
        std::rename(S("replaced").c_str(), S(".backup").c_str());
        journal.Performed(QENUndoStep(QENUndoStep::kRestoreFile, S("replaced"), S(".backup")));
        tolktest::WriteTextFile(S("replaced"), "new");
        journal.DeleteWhenCommitted(FileSystemPath(S("stored-script.js")));
        journal.RecordsCommitted();
    });
    RecoverInterruptedRuns();
    EXPECT_EQ(tolktest::ReadTextFile(S("replaced")), "new");
    EXPECT_FALSE(fs::exists(S(".backup")));
    EXPECT_FALSE(fs::exists(S("stored-script.js")));
    running.Finish();
    EXPECT_TRUE(Journals().empty());
}

TEST_F(QENRunJournalTest, ARunWhoseRecordsAreInIsFinishedEvenWithoutItsJournalsMark)
{
    // Killed between the commit of its records (with their mark) and the journal's own mark: the
    // records name the new file, so the run is finished, not taken back.
    tolktest::WriteTextFile(S("replaced"), "original");
    DeadRun([this](QENRunJournal& journal) {
        std::rename(S("replaced").c_str(), S(".backup").c_str());
        journal.Performed(QENUndoStep(QENUndoStep::kRestoreFile, S("replaced"), S(".backup")));
        tolktest::WriteTextFile(S("replaced"), "new");
        QENCAPSRunSession records;
        if (!journal.MarkRecordsInDatabase())
            _exit(3);
    });
    ASSERT_EQ(Rows("SELECT count(*) FROM pcd_meta WHERE key LIKE 'run %'", 1), Strings{"1"});
    RecoverInterruptedRuns();
    EXPECT_EQ(tolktest::ReadTextFile(S("replaced")), "new");
    EXPECT_FALSE(fs::exists(S(".backup")));
    EXPECT_TRUE(Journals().empty());
    EXPECT_NE(log_.Dump().find("Finishing an interrupted run whose records were committed"), std::string::npos)
        << log_.Dump();

    // The next run's mark drops the marks of runs that have ended; without one in the database a
    // dead run is taken back.
    DeadRun([this](QENRunJournal& journal) {
        journal.Intend(QENUndoStep(QENUndoStep::kRemoveFile, S("made")));
        tolktest::WriteTextFile(S("made"), "made");
        QENCAPSRunSession records;
        if (!journal.MarkRecordsInDatabase())
            _exit(3);
        journal.RecordsCommitted();
    });
    EXPECT_EQ(Rows("SELECT count(*) FROM pcd_meta WHERE key LIKE 'run %'", 1), Strings{"1"});
    DeadRun([this](QENRunJournal& journal) {
        journal.Intend(QENUndoStep(QENUndoStep::kRemoveFile, S("unrecorded")));
        tolktest::WriteTextFile(S("unrecorded"), "unrecorded");
    });
    RecoverInterruptedRuns();
    EXPECT_TRUE(fs::exists(S("made")));
    EXPECT_FALSE(fs::exists(S("unrecorded")));
}

TEST_F(QENRunJournalTest, OnlyJournalsThatNobodyElseCouldWriteAreTakenOverAndOnlyWhenTheDatabaseTells)
{
    // A database that cannot be read cannot tell whether a dead run's records are in: its journal
    // waits for a later run.
    DeadRun([this](QENRunJournal& journal) {
        journal.Intend(QENUndoStep(QENUndoStep::kRemoveFile, S("made")));
        tolktest::WriteTextFile(S("made"), "made");
    });
    const std::string database = tolktest::ReadTextFile(DbFile());
    tolktest::WriteTextFile(DbFile(), std::string(4096, 'x'));
    RecoverInterruptedRuns();
    EXPECT_TRUE(fs::exists(S("made")));
    EXPECT_EQ(Journals().size(), 1u);
    EXPECT_NE(log_.Dump().find("is left for a later run"), std::string::npos) << log_.Dump();
    tolktest::WriteTextFile(DbFile(), database);

    if (geteuid() != 0)
        GTEST_SKIP() << "planting a journal of another user needs root";
    // Planted by another user, in a folder that others may change, or with a second name (a link
    // to a file of records that root keeps elsewhere): refused, left as it is.
    const std::string journal = Journals()[0];
    const std::string folder = Base() + "/caps";
    const std::string refused = "Refusing the run journal " + journal + ": Refused to read \"" + journal + "\", ";
    ASSERT_EQ(chown(journal.c_str(), 65534, 65534), 0);
    RecoverInterruptedRuns();
    EXPECT_TRUE(fs::exists(S("made")));
    const std::string planted = refused + "a file of user " + platform::DescribeUser(65534) + " in \"" +
                                fs::canonical(folder).string() + "\": only a plain file with one name";
    EXPECT_NE(log_.Dump().find(planted), std::string::npos) << log_.Dump();
    ASSERT_EQ(chown(journal.c_str(), 0, 0), 0);
    ASSERT_EQ(chmod(folder.c_str(), 0777), 0);
    RecoverInterruptedRuns();
    EXPECT_TRUE(fs::exists(S("made")));
    const std::string open =
        "the folder \"" + fs::canonical(folder).string() + "\" on its way can be written by every user";
    EXPECT_NE(log_.Dump().find(refused + "a file of user " + platform::DescribeUser(0) + ": " + open),
              std::string::npos)
        << log_.Dump();
    ASSERT_EQ(chmod(folder.c_str(), 0755), 0);
    tolktest::WriteTextFile(S("precious"), "precious");
    tolktest::WriteTextFile(S("records"), "H\tplanted\t1\nI\tremove-file\t" + S("precious") + "\t\t0\t0\t0\n");
    const std::string linked = folder + "/run-linked.journal";
    ASSERT_EQ(link(S("records").c_str(), linked.c_str()), 0);
    RecoverInterruptedRuns();
    EXPECT_FALSE(fs::exists(S("made")));
    EXPECT_EQ(tolktest::ReadTextFile(S("precious")), "precious");
    EXPECT_NE(log_.Dump().find("Refusing the run journal " + linked + ": Refused to read \"" + linked +
                               "\", a file with 2 names of user " + platform::DescribeUser(0)),
              std::string::npos)
        << log_.Dump();
    EXPECT_EQ(Journals(), std::vector<std::string>{linked});
}

TEST_F(QENRunJournalTest, CopiesThatWritersLeftHalfWrittenGoUnlessTheirWriterLives)
{
    const std::string backup = Base() + "/backup";
    tolktest::MakeFolders(backup);
    tolktest::WriteTextFile(backup + "/caps.db.Ab3dE6", "half a copy");
    tolktest::WriteTextFile(backup + "/caps.db.Ab3dE6-journal", "its journal");
    tolktest::WriteTextFile(UninstallFolder() + "/{CODE}.js.newXy12Z9", "half a script");
    tolktest::WriteTextFile(UninstallFolder() + "/{CODE}.js.newLive00", "being written");
    tolktest::WriteTextFile(UninstallFolder() + "/{CODE}.js", "the script");
    const int live = open((UninstallFolder() + "/{CODE}.js.newLive00").c_str(), O_RDONLY);
    ASSERT_GE(live, 0);
    ASSERT_EQ(flock(live, LOCK_EX), 0);
    RecoverInterruptedRuns();
    close(live);
    EXPECT_FALSE(fs::exists(backup + "/caps.db.Ab3dE6"));
    EXPECT_FALSE(fs::exists(backup + "/caps.db.Ab3dE6-journal"));
    EXPECT_FALSE(fs::exists(UninstallFolder() + "/{CODE}.js.newXy12Z9"));
    EXPECT_TRUE(fs::exists(UninstallFolder() + "/{CODE}.js.newLive00"));
    EXPECT_TRUE(fs::exists(UninstallFolder() + "/{CODE}.js"));
    // The backup copy was missing, behind the database: it is made.
    EXPECT_TRUE(fs::exists(backup + "/caps.db"));
}
