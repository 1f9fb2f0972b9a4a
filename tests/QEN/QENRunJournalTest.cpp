// The run journal read back by the next run: a run whose process died is taken back step by
// step, one that died after committing its records is finished, and a running one is left alone.
// The dead runs are real processes that journal real changes and end without finishing.
#include "QENRunJournalTestSupport.h"

#include "platform/LockedFile.h"

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
