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
    // Each entry holds two texts of its own (the script engine compiles 65 535 constants per
    // script); every 500th is a command, the others only note that they ran.
    const std::size_t count = 50000;
    {
        QENEngineMac installer(controller_, log_, std::string(kCode), clientProperties_);
        for (std::size_t n = 0; n < count; ++n) {
            const std::string texts = "'entry " + std::to_string(n) + "', 'text " + std::to_string(n) + "'";
            // Half of them under a condition, whose block spans lines.
            installer.AddToUninstallInstructions((n % 500 == 0 ? "TestCommand(" : "ran(") + texts + ");",
                                                 n % 2 == 0 ? "QENPayload.mode == 'remove'" : "");
        }
        ASSERT_TRUE(installer.SaveUninstallInstructions());
    }
    // What the script's first lines define, its last line sees, as in one script.
    const std::string script = tolktest::ReadTextFile(UninstallScript(kCode));
    WriteUninstallScript(kCode, "var order = [];\nfunction ran(entry) { order.push(entry); }\n" + script +
                                    "if (order.length != 49900 || order[0] != 'entry 49999' || order[49899] != 'entry 1')\n"
                                    "    throw new Error('not played as one script');\n");

    QENEngineMac remover(controller_, log_, std::string(kCode), clientProperties_);
    AddTestCommands(remover, journal_);
    const bool removed = remover.UninstallQENPayload();
    for (const std::string& line : log_.lines)
        ASSERT_NE(line.compare(0, 2, "1 "), 0) << line;  // no script error
    ASSERT_TRUE(removed);
    const std::vector<std::string> journal = JournalLines();
    ASSERT_EQ(journal.size(), 200u);
    EXPECT_EQ(journal.front(), "perform entry 49500");
    EXPECT_EQ(journal[99], "perform entry 0");
    EXPECT_EQ(journal[100], "commit entry 0");
    EXPECT_EQ(journal.back(), "commit entry 49500");
    EXPECT_EQ(controller_.calls.back(), "InstallComplete 1");
    EXPECT_FALSE(Exists(UninstallScript(kCode)));
}
