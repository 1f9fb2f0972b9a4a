// The calls of a stored uninstall script that the engine plays without compiling them: what reads
// as calls, and that calls play as their compiled text would.
#include "QENTestSupport.h"

#include "QEN/source/mac/QENStoredScriptCalls.h"

#include <gtest/gtest.h>

using namespace qentest;

namespace {

const char* const kCode = "{11111111-2222-3333-4444-555555555555}";

class QENStoredScriptCallsTest : public QENRunTest {
protected:
    // Plays a stored script that fails, once as it stands and once with a last line that makes
    // every piece of it compiled: the commands journaled and the error logged, of each.
    void PlayFailingTwice(const std::string& script, std::vector<std::vector<std::string> >& journals,
                          std::vector<std::string>& errors)
    {
        for (const std::string& played : {script, script + "var compiled = 1;\n"}) {
            WriteUninstallScript(kCode, played);
            journal_->clear();
            log_.lines.clear();
            QENEngineMac remover(controller_, log_, std::string(kCode), clientProperties_);
            AddTestCommands(remover, journal_);
            EXPECT_FALSE(remover.UninstallQENPayload());
            journals.push_back(JournalLines());
            const std::size_t failed = log_.Index("1 JavaScript processing failed with error:");
            ASSERT_LT(failed + 1, log_.lines.size()) << log_.Dump();
            errors.push_back(log_.lines[failed + 1]);
        }
    }
};

// The calls as "line:Name(arguments)", a condition as "if line:Name(arguments)" before its call;
// "compiled" when the text is no calls.
std::string ReadCalls(const std::string& text)
{
    std::vector<Pelvo::Engine::CallStatement> calls;
    if (!QENStoredScriptCalls::Read(text, 0, text.size(), 1, calls))
        return "compiled";
    std::string read;
    const auto show = [&](const Pelvo::Engine::CallStatement& call) {
        read += std::to_string(call.line) + ":" + call.name + "(";
        for (std::uint32_t i = 0; i < call.arguments.length(); ++i) {
            const Mivor::Variant& argument = call.arguments[i];
            read += i == 0 ? "" : ",";
            read += argument.isString() ? "'" + QENScUtils::MivorStringToUTF8StdString(argument.getString()) + "'"
                                        : std::to_string(static_cast<long long>(argument.getDouble()));
        }
        read += ")";
    };
    for (const Pelvo::Engine::CallStatement& call : calls) {
        read += read.empty() ? "" : " ";
        if (call.condition) {
            read += "if ";
            show(*call.condition);
            read += " ";
        }
        show(call);
    }
    return read;
}

}  // namespace

TEST(QENStoredScriptCallsReadTest, OnlyCallsWithPlainLiteralsReadAsCalls)
{
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"A('x', \"y\", 0, 123456789012345);\n\nB();\n", "1:A('x','y',0,123456789012345) 3:B()"},
        {"A('caf\xC3\xA9 \xF0\x9F\x98\x80');", "1:A('caf\xC3\xA9 \xF0\x9F\x98\x80')"},
        {"if (C('x'))\t{\n\tA(1);\n}\nB();\n", "if 1:C('x') 2:A(1) 4:B()"},
        {"if (C()) { A(); }\n", "if 1:C() 1:A()"},
        // What only the compiled text reads right: escapes, octal and inexact numbers, characters
        // that end a line or are no UTF-8 in a string, a lower-case name, two statements on a line.
        {"A('it\\'s');\n", "compiled"},
        {"A(012);\n", "compiled"},
        {"A(1234567890123456);\n", "compiled"},
        {"A('\xE2\x80\xA8');\n", "compiled"},
        {"A('\xE2\x80\xA9');\n", "compiled"},
        {"A('\t');\n", "compiled"},
        {"A('\xC0\xAF');\n", "compiled"},
        {"A('\xED\xA0\x80');\n", "compiled"},
        {"A('\xE2\x82');\n", "compiled"},
        {"a();\n", "compiled"},
        {"A(); B();\n", "compiled"},
        {"A()\n", "compiled"},
        {"if (C()) { A(); } B();\n", "compiled"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReadCalls(c.first), c.second) << c.first;
}

TEST_F(QENStoredScriptCallsTest, APieceOfCallsPlaysAsItsCompiledTextWould)
{
    // The same lines, once only calls with literal arguments (played without compiling), once with
    // a last line that makes the piece compiled: the same commands run, the same error ends them.
    const std::string calls =
        "TestCommand('caf\xC3\xA9 \xF0\x9F\x98\x80');\nTestCommand(\"two\");\n"
        "SetFractionComplete(1, 3);\nQENDeleteFile();\nTestCommand('never');\n";
    std::vector<std::vector<std::string> > journals;
    std::vector<std::string> errors;
    PlayFailingTwice(calls, journals, errors);
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(journals[0], (std::vector<std::string>{"perform caf\xC3\xA9 \xF0\x9F\x98\x80", "perform two",
                                                     "rollback two", "rollback caf\xC3\xA9 \xF0\x9F\x98\x80"}));
    EXPECT_EQ(journals[1], journals[0]);
    EXPECT_NE(errors[0].find("(line 4)"), std::string::npos) << errors[0];
    EXPECT_EQ(errors[1], errors[0]);
}

TEST_F(QENStoredScriptCallsTest, EntriesWithConditionsPlayAsTheirCompiledTextWould)
{
    // Entries with a condition, as the engine stores them (three lines) and as makers write them
    // (one line): played as calls, and compiled, they run the same commands and fail the same way.
    const std::string present = sysroot_.Scratch() + "/present";
    tolktest::WriteTextFile(present, "here");
    const std::string missing = sysroot_.Scratch() + "/missing";
    const std::string calls = "if (QENPathExists('" + present +
                              "'))\t{\n\tTestCommand('present');\n}\n"
                              "SetFractionComplete(1, 4);\n"
                              "if (QENPathExists('" +
                              missing +
                              "')) { TestCommand('absent'); }\n"
                              "if (QENPathExists(\"" +
                              present +
                              "\")) { TestCommand(\"one line\"); }\n"
                              "if (QENPathExists('" +
                              present +
                              "'))\t{\n\tQENDeleteFile();\n}\n"
                              "TestCommand('never');\n";
    const std::string badCondition = "TestCommand('first');\nif (QENPathExists())\t{\n\tTestCommand('x');\n}\n";
    for (const auto& expected :
         {std::make_pair(calls, std::string("(line 8)")), std::make_pair(badCondition, std::string("(line 2)"))}) {
        std::vector<std::vector<std::string> > journals;
        std::vector<std::string> errors;
        PlayFailingTwice(expected.first, journals, errors);
        ASSERT_EQ(errors.size(), 2u);
        EXPECT_EQ(journals[1], journals[0]);
        EXPECT_NE(errors[0].find(expected.second), std::string::npos) << errors[0];
        EXPECT_EQ(errors[1], errors[0]);
    }
    WriteUninstallScript(kCode, calls);
    journal_->clear();
    QENEngineMac remover(controller_, log_, std::string(kCode), clientProperties_);
    AddTestCommands(remover, journal_);
    EXPECT_FALSE(remover.UninstallQENPayload());
    EXPECT_EQ(JournalLines(), (std::vector<std::string>{"perform present", "perform one line", "rollback one line",
                                                        "rollback present"}));
}
