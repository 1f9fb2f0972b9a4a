// Stored uninstall scripts of every size play back: a payload that recorded more entries than the
// script engine compiles in one script is still removed, entry by entry, newest first; and every
// shape that entries can take plays as the stored text does when it is evaluated as one script.
#include "QENTestSupport.h"

#include <gtest/gtest.h>

#include <regex>
#include <utility>

using namespace qentest;

namespace {

const char* const kCode = "{11111111-2222-3333-4444-555555555555}";

class QENUninstallScriptFaultTest : public QENRunTest {
protected:
    // Plays the stored script: whether the removal succeeded, with the commands journaled.
    std::pair<bool, std::vector<std::string> > Play(const std::string& script)
    {
        WriteUninstallScript(kCode, script);
        journal_->clear();
        log_.lines.clear();
        QENEngineMac remover(controller_, log_, std::string(kCode), clientProperties_);
        AddTestCommands(remover, journal_);
        const bool removed = remover.UninstallQENPayload();
        return std::make_pair(removed, JournalLines());
    }
};

}  // namespace

TEST_F(QENUninstallScriptFaultTest, EveryRecordedShapePlaysAsTheWholeTextDoes)
{
    // Two pieces (the first ends after the first fraction line). Without its fraction lines the
    // same text is one piece, evaluated whole: the reference.
    const std::string helper = "Helper(p) { TestCommand('undo-' + p + late); }\n";
    const std::string shapes[] = {
        // A declaration after a comment, a label or a lone carriage return, used before it.
        "Helper('a');\nSetFractionComplete(1, 2);\n/* helper */function " + helper + "/**/var late = '!';\n",
        "Helper('a');\nSetFractionComplete(1, 2);\nx:function " + helper + "y:var late = '!';\n",
        "Helper('a');\nSetFractionComplete(1, 2);\nTestCommand('b');\rfunction " + helper + "0;\rvar late;\n",
        // One name declared twice, as functions and as a variable and a function: one script
        // binds the last function at its start, and only an assignment changes it.
        "function " + helper +
            "var late = 1;\nHelper('a');\nSetFractionComplete(1, 2);\n"
            "function Helper(p) { TestCommand('two-' + p); }\nHelper('b');\n",
        "var Helper = function (p) { TestCommand('one-' + p); }, late;\nHelper('a');\nSetFractionComplete(1, 2);\n"
        "function " +
            helper + "Helper('b');\n",
        // A later piece's function is bound once, at the start: what earlier pieces did to it
        // (it replaced itself on its first call, a property was set) stays.
        "Helper('a');\nHelper('b');\nSetFractionComplete(1, 2);\nHelper('c');\nTestCommand(Helper.tag);\n"
        "function Helper(p) { TestCommand('init-' + p); Helper = function (q) { TestCommand('memo-' + q); };"
        " Helper.tag = 'kept'; }\n",
        // ... also where an earlier piece made it so that it cannot be changed.
        "Helper('a');\nObject.freeze(this);\nSetFractionComplete(1, 2);\nHelper('b');\n"
        "function Helper(p) { TestCommand('frozen-' + p); }\n",
        // A directive that opens a later piece opens nothing in one script.
        "var late;\nSetFractionComplete(1, 2);\n'use strict';\nundeclared = 'x';\nTestCommand(undeclared);\n",
        // An entry that goes on past a fraction line.
        "if (TestCommand('a')) {\nSetFractionComplete(1, 2);\nTestCommand('b');\n}\n",
    };
    for (const std::string& shape : shapes) {
        const std::string script = shape + "SetFractionComplete(2, 2);\n";
        const auto whole = Play(std::regex_replace(script, std::regex("SetFractionComplete\\(\\d+, \\d+\\);"), ""));
        ASSERT_TRUE(whole.first) << shape << log_.Dump();
        const auto pieces = Play(script);
        EXPECT_TRUE(pieces.first) << shape << log_.Dump();
        EXPECT_EQ(pieces.second, whole.second) << shape;
    }
    // An error names the line of the whole script, whatever line breaks the pieces before hold.
    const std::string failing =
        "var a;\rvar b;\r\nvar c;\xE2\x80\xA8var d;\xE2\x80\xA9\nSetFractionComplete(1, 2);\nnull.x;\n";
    const std::regex line("\\(line \\d+\\)");
    std::smatch wholeLine;
    ASSERT_FALSE(Play(std::regex_replace(failing, std::regex("SetFractionComplete\\(\\d+, \\d+\\);"), "")).first);
    const std::string wholeLog = log_.Dump();
    ASSERT_TRUE(std::regex_search(wholeLog, wholeLine, line)) << wholeLog;
    ASSERT_FALSE(Play(failing).first);
    EXPECT_NE(log_.Dump().find(wholeLine.str()), std::string::npos) << wholeLine.str() << log_.Dump();
}

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
