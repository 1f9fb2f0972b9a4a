// Stored uninstall scripts of every size play back: a payload that recorded more entries than the
// script engine compiles in one script is still removed, entry by entry, newest first.
#include "QENTestSupport.h"

#include <gtest/gtest.h>

using namespace qentest;

namespace {

const char* const kCode = "{11111111-2222-3333-4444-555555555555}";

class QENUninstallScriptFaultTest : public QENRunTest {};

}  // namespace

TEST_F(QENUninstallScriptFaultTest, FiftyThousandEntriesAreRemovedNewestFirst)
{
    const std::size_t count = 50000;
    {
        QENEngineMac installer(controller_, log_, std::string(kCode), clientProperties_);
        // A condition that spans lines must stay in one piece with its command.
        for (std::size_t n = 0; n < count; ++n)
            installer.AddToUninstallInstructions(
                "TestCommand('entry " + std::to_string(n) + "', 'fault-free " + std::to_string(n) + "');",
                n % 2 == 0 ? "QENPayload.mode == 'remove'" : "");
        ASSERT_TRUE(installer.SaveUninstallInstructions());
    }
    // Variables of the script's start are seen at its end, as in one script.
    const std::string script = tolktest::ReadTextFile(UninstallScript(kCode));
    WriteUninstallScript(kCode, "var first = 1;\n" + script + "if (first !== 1) throw new Error('not one script');\n");

    QENEngineMac remover(controller_, log_, std::string(kCode), clientProperties_);
    AddTestCommands(remover, journal_);
    const bool removed = remover.UninstallQENPayload();
    for (const std::string& line : log_.lines)
        ASSERT_NE(line.compare(0, 2, "1 "), 0) << line;  // no script error
    ASSERT_TRUE(removed);
    const std::vector<std::string> journal = JournalLines();
    ASSERT_EQ(journal.size(), 2 * count);
    EXPECT_EQ(journal.front(), "perform entry 49999");
    EXPECT_EQ(journal[count - 1], "perform entry 0");
    EXPECT_EQ(journal[count], "commit entry 0");
    EXPECT_EQ(journal.back(), "commit entry 49999");
    EXPECT_EQ(controller_.calls.back(), "InstallComplete 1");
    EXPECT_FALSE(Exists(UninstallScript(kCode)));
}
