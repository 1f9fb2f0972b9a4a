// The run journal's records read back as they were written, whatever the paths in them hold, and
// the names that tell a journal in its folder.
#include "QEN/source/mac/QENRunJournalFile.h"

#include "tests/support/TempSystemRoot.h"

#include <filesystem>
#include <tuple>

namespace {

auto Fields(const QENUndoStep& step)
{
    return std::make_tuple(step.kind, step.path, step.other, step.mode, step.owner, step.group, step.device,
                           step.inode);
}

// A step that names the object it changed.
QENUndoStep OfObject(QENUndoStep step)
{
    step.device = 0xfd01;
    step.inode = 0x123456789abcull;
    return step;
}

class QENRunJournalFileTest : public tolktest::SystemRootTest {};

}  // namespace

TEST_F(QENRunJournalFileTest, RecordsReadBackAsWrittenWhateverTheirPathsHold)
{
    const std::vector<std::string> paths = {"/plain",       "/a\ttab",     "/a\nline feed", "/a\\backslash\\t",
                                            {"/a\0nul", 6}, "/trailing\\", "/\\\\n"};
    QENRunJournalFile file;
    ASSERT_TRUE(file.Create(sysroot_.Scratch(), "the\trun\n"));
    EXPECT_TRUE(QENRunJournalFile::IsJournalName(file.Name())) << file.Name();
    for (const std::string& path : paths) {
        file.Intent(QENUndoStep(QENUndoStep::kRestoreFile, path, path + "~", 0755, 501, 20));
        file.PerformedAsIntended();
        file.Performed(OfObject(QENUndoStep(QENUndoStep::kSetMode, path, "", 04711)));
        file.PerformedWithoutUndo(path);
        file.Mount(path);
        file.DeleteWhenCommitted(path);
    }
    file.Committed();
    const std::string bytes = tolktest::ReadTextFile(file.Path());
    const std::string text = bytes.substr(0, bytes.find('\0'));

    QENRunJournalFile::InterruptedRun run;
    QENRunJournalFile::Read(text, run);
    EXPECT_EQ(run.description, "the\trun\n");
    ASSERT_EQ(run.commands.size(), 3 * paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) {
        SCOPED_TRACE(paths[i]);
        const auto* command = &run.commands[3 * i];
        EXPECT_EQ(Fields(command[0].step),
                  Fields(QENUndoStep(QENUndoStep::kRestoreFile, paths[i], paths[i] + "~", 0755, 501, 20)));
        EXPECT_EQ(Fields(command[1].step), Fields(OfObject(QENUndoStep(QENUndoStep::kSetMode, paths[i], "", 04711))));
        EXPECT_FALSE(command[2].hasStep);
        EXPECT_EQ(command[2].name, paths[i]);
    }
    EXPECT_EQ(run.mounts, paths);
    EXPECT_EQ(run.deletions, paths);
    EXPECT_TRUE(run.committed);

    // A last record cut short by its writer's death is not read.
    QENRunJournalFile::InterruptedRun cut;
    QENRunJournalFile::Read(text.substr(0, text.size() - 1), cut);
    EXPECT_FALSE(cut.committed);
    EXPECT_EQ(cut.deletions, paths);

    file.Remove();
    EXPECT_TRUE(std::filesystem::is_empty(sysroot_.Scratch()));
}

TEST_F(QENRunJournalFileTest, NamesTellAJournalAndOneBeingMade)
{
    const struct {
        const char* name;
        bool journal;
        bool beingMade;
    } cases[] = {
        {"run-Ab3dE6.journal", true, false},  {"run-.journal", true, false},     {"run-Ab3dE6", false, false},
        {"Run-Ab3dE6.journal", false, false}, {"caps.db-journal", false, false}, {".run-Ab3dE6", false, true},
        {".run-Ab3dE", false, false},         {".run-Ab3dE67", false, false},    {"run-Ab3dE6.journal~", false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(QENRunJournalFile::IsJournalName(c.name), c.journal) << c.name;
        EXPECT_EQ(QENRunJournalFile::IsNewJournalName(c.name), c.beingMade) << c.name;
    }
}
