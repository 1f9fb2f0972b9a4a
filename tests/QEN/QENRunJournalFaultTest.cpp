// A run whose journal cannot have space reserved ahead (the file size limit stands in for a full
// disk) records with writes instead, from the start or from where the reserved space ran out,
// and its journal is read and the run taken back all the same. A mode that a dead run replaced is
// given back only to the file it was read from, whatever another user put at its path since.
#include "QENRunJournalTestSupport.h"

#include "QEN/source/mac/QENChmodCommand.h"

#include "platform/files/LockedFile.h"

#include "tests/support/OtherUser.h"

#include <algorithm>

using namespace qentest;

namespace {

using QENRunJournalFaultTest = RunJournalTest;

}  // namespace

TEST_F(QENRunJournalFaultTest, ARunWhoseJournalSpaceCannotBeReservedRecordsWithWrites)
{
    const std::size_t reserve = platform::LockedFile::kFirstReserve;
    // No space at all; and the first step reserved but not the second, after enough records to
    // fill the first.
    for (const rlim_t limit : {reserve / 16, reserve + reserve / 2}) {
        SCOPED_TRACE(limit);
        tolktest::WriteTextFile(S("chmodded"), "c");
        chmod(S("chmodded").c_str(), 0644);
        DeadRun(
            [&](QENRunJournal& journal) {
                journal.Intend(QENUndoStep(QENUndoStep::kRemoveFile, S("early")));
                tolktest::WriteTextFile(S("early"), "early");
                journal.PerformedAsIntended();
                const std::string filler = S(std::string(200, 'f'));
                for (std::size_t written = 0; limit > reserve && written <= reserve; written += filler.size())
                    journal.Intend(QENUndoStep(QENUndoStep::kRemoveFile, filler));
                chmod(S("chmodded").c_str(), 0600);
                journal.Performed(QENUndoStep(QENUndoStep::kSetMode, S("chmodded"), "", 0644));
                journal.Intend(QENUndoStep(QENUndoStep::kRemoveFile, S("late")));
                tolktest::WriteTextFile(S("late"), "late");
            },
            limit);
        // Written through, without space reserved ahead: no NUL, the last record whole.
        ASSERT_EQ(Journals().size(), 1u);
        const std::string text = tolktest::ReadTextFile(Journals().front());
        EXPECT_EQ(std::count(text.begin(), text.end(), '\0'), 0);
        EXPECT_EQ(text.back(), '\n');

        RecoverInterruptedRuns();
        EXPECT_FALSE(std::filesystem::exists(S("early")));
        EXPECT_FALSE(std::filesystem::exists(S("late")));
        EXPECT_EQ(Mode(S("chmodded")), 0644u);
        EXPECT_TRUE(Journals().empty());
    }
}

TEST_F(QENRunJournalFaultTest, ADeadRunsModeGoesBackOnlyToTheFileItWasReadFrom)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "files of another user need root";
    // nobody's home, with a link of his to his folder that holds his own set-id file; once the run
    // died, he points it at his folder that holds root's file.
    for (const char* folder : {"home", "home/A", "home/B"}) {
        tolktest::MakeFolders(S(folder));
        ASSERT_EQ(chown(S(folder).c_str(), tolktest::NobodyUser(), tolktest::NobodyGroup()), 0);
    }
    tolktest::WriteTextFile(S("home/A/f"), "root's");
    ASSERT_EQ(chmod(S("home/A/f").c_str(), 0600), 0);
    tolktest::WriteTextFile(S("home/B/f"), "nobody's");
    ASSERT_EQ(chown(S("home/B/f").c_str(), tolktest::NobodyUser(), tolktest::NobodyGroup()), 0);
    ASSERT_EQ(chmod(S("home/B/f").c_str(), 04777), 0);
    ASSERT_EQ(symlink("B", S("home/L").c_str()), 0);
    ASSERT_EQ(lchown(S("home/L").c_str(), tolktest::NobodyUser(), tolktest::NobodyGroup()), 0);
    DeadRun([this](QENRunJournal& journal) {
        RecordingLog log;
        QENChmodCommand command(log, FileSystemPath(S("home/L/f")), 0640);
        QENUndoStep step;
        if (!command.Perform() || !command.UndoAfterPerform(step))
            _exit(3);
        journal.Performed(step);
    });
    ASSERT_EQ(Mode(S("home/B/f")), 0640u);
    ASSERT_EQ(unlink(S("home/L").c_str()), 0);
    ASSERT_EQ(symlink("A", S("home/L").c_str()), 0);
    ASSERT_EQ(lchown(S("home/L").c_str(), tolktest::NobodyUser(), tolktest::NobodyGroup()), 0);

    RecoverInterruptedRuns();
    EXPECT_EQ(Mode(S("home/A/f")), 0600u);
    EXPECT_TRUE(Journals().empty()) << log_.Dump();
}
