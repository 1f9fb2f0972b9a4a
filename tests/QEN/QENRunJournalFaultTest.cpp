// A run whose journal cannot have space reserved ahead (the file size limit stands in for a full
// disk) records with writes instead, from the start or from where the reserved space ran out,
// and its journal is read and the run taken back all the same.
#include "QENRunJournalTestSupport.h"

#include "platform/files/LockedFile.h"

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
