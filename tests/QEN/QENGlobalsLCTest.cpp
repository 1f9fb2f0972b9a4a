#include "QENTestSupport.h"

#include "Common/source/mac/TQInitManager.h"

#include "tests/support/ScriptEval.h"

#include <gtest/gtest.h>

#include <set>

using qentest::Journal;
using qentest::RecordingController;
using qentest::RecordingLog;

namespace {

// The globals over a core engine in a script engine of their own, with TestCommand beside them.
class QENGlobalsLCTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine_.reset(new QENEngine(controller_, log_, "{id}", QENEngine::PropertyMap{{"client", "c"}, {"b", "2"}}));
        scripts_ = Pelvo::Engine::createEngine(Pelvo::Engine::kTypeJavaScript);
        ASSERT_TRUE(scripts_);
        Mivor::LiveObject* global = scripts_->getInterface(Pelvo::Engine::kLiveObjectInterface)->getGlobalObject();
        globals_ = new QENGlobalsLC(*engine_, controller_, engine_->Log());
        ASSERT_EQ(global->addComponent(globals_), 0);
        globals_->release();
        qentest::TestCommandsLC* commands = new qentest::TestCommandsLC(*engine_, journal_);
        ASSERT_EQ(global->addComponent(commands), 0);
        commands->release();
    }

    std::string Eval(const std::string& script) { return tolktest::Eval(*scripts_, script); }

    // The code a script call ends with (0 when it succeeds).
    std::string Code(const std::string& call) { return Eval("try { " + call + "; 0 } catch (e) { e.code }"); }

    TQInitManager scripting_;
    RecordingLog log_;
    RecordingController controller_;
    Journal journal_{new std::vector<std::string>};
    std::unique_ptr<QENEngine> engine_;
    Pelvo::EnginePtr scripts_;
    QENGlobalsLC* globals_ = nullptr;
};

}  // namespace

TEST_F(QENGlobalsLCTest, TableHasTheConstantsThenTheFunctionsEachWithItsOwnIdentifier)
{
    std::set<std::uint32_t> ids;
    std::size_t constants = 0;
    std::size_t functions = 0;
    for (const Mivor::LivePropertyInfo* entry = QENGlobalsLC::myTable; entry->name != nullptr; ++entry) {
        ids.insert(entry->id);
        if (entry->flags == 0x10001) {
            EXPECT_EQ(functions, 0u) << entry->name;
            ++constants;
        } else {
            EXPECT_EQ(entry->flags, 0x10005u) << entry->name;
            ++functions;
        }
    }
    EXPECT_EQ(constants, 16u);
    EXPECT_EQ(functions, 50u);
    EXPECT_EQ(ids.size(), 66u);
    EXPECT_STREQ(QENGlobalsLC::myTable[16].name, "QENChmodCommand");
    EXPECT_STREQ(QENGlobalsLC::myTable[16 + 42].name, "QENAddToUninstallScript");
    EXPECT_STREQ(QENGlobalsLC::myTable[63].name, "QENRegisterApplications");
    EXPECT_STREQ(QENGlobalsLC::myTable[65].name, "QENSetStatusArgument");
    for (const QENGlobalsLC::FunctionEntry* entry = QENGlobalsLC::myFunctions; entry->body != nullptr; ++entry)
        EXPECT_EQ(ids.count(entry->id), 1u) << entry->id;
}

TEST_F(QENGlobalsLCTest, ConstantsReadAsTheirIntegersAndCannotBeChanged)
{
    EXPECT_EQ(Eval("DISPLAY_ATTRIBUTE_IS_INVISIBLE + ',' + DISPLAY_ATTRIBUTE_HAS_CUSTOM_ICON"), "1,2");
    EXPECT_EQ(Eval("ORVEX_FILE_TYPE_UNKNOWN + ',' + ORVEX_FILE_TYPE_FONT_OTF + ',' + ORVEX_FILE_TYPE_JSX"), "0,3,9");
    EXPECT_EQ(Eval("ORVEX_FILE_TYPE_RESERVED"), "4294967295");
    EXPECT_EQ(Eval("[kCapsDomainInstaller, kCapsDomainKuv, kCapsDomainInstallProperties].join()"), "0,3,5");
    EXPECT_EQ(Eval("kCapsDomainKuv = 9; kCapsDomainKuv"), "3");
}

TEST_F(QENGlobalsLCTest, UnknownIdentifiersAnswerUndefinedOrCode24)
{
    Mivor::Variant result;
    result.setInt(5);
    Mivor::Error error;
    EXPECT_EQ(globals_->get(nullptr, 0x12345678, result, &error), 0);
    EXPECT_TRUE(result.isUndefined());
    result.setInt(5);
    EXPECT_EQ(globals_->call(nullptr, 0x12345678, Mivor::Array(), result, &error), 24);
    EXPECT_TRUE(result.isUndefined());
    EXPECT_EQ(error.getCode(), 24);
}

TEST_F(QENGlobalsLCTest, ProcessingResultsBecomeScriptResultsAndCodes)
{
    Mivor::Variant result;
    EXPECT_EQ(QENGlobalsLC::SetProcessingResult(QENEngine::kCommandPerformed, result), 0);
    EXPECT_TRUE(result.getBool());
    EXPECT_EQ(QENGlobalsLC::SetProcessingResult(QENEngine::kCommandFailed, result), 0);
    EXPECT_TRUE(result.isBoolean());
    EXPECT_FALSE(result.getBool());
    EXPECT_EQ(QENGlobalsLC::SetProcessingResult(QENEngine::kCommandTerminated, result), -34);
    EXPECT_FALSE(result.getBool());
    EXPECT_EQ(QENGlobalsLC::SetProcessingResult(static_cast<QENEngine::ProcessCommandResult>(7), result), -36);
    EXPECT_FALSE(result.getBool());

    EXPECT_EQ(Eval("TestCommand('a')"), "true");
    EXPECT_EQ(Eval("TestCommand('b', 'fail-perform')"), "false");
    controller_.stopAt = controller_.asked + 1;
    EXPECT_EQ(Code("TestCommand('c')"), "-34");
    EXPECT_EQ(*journal_, (std::vector<std::string>{"perform a", "perform b"}));
    EXPECT_EQ(engine_->PerformedCommandCount(), 1u);
}

TEST_F(QENGlobalsLCTest, DatabaseLockRefusesWithTheCallersName)
{
    EXPECT_FALSE(globals_->IsCAPSLocked());
    EXPECT_EQ(globals_->RefuseWhileCAPSLocked("QENCAPSWritePayloadData"), 0);
    EXPECT_TRUE(log_.lines.empty());
    globals_->LockCAPS();
    EXPECT_EQ(globals_->RefuseWhileCAPSLocked("QENGetCapsPayloadDataKeysAndValues"), -33);
    EXPECT_EQ(log_.lines.back(), "2 Unexpected call to QENGetCapsPayloadDataKeysAndValues after CAPS has been locked.");
}

TEST_F(QENGlobalsLCTest, ArgumentConversionsFollowTheScriptLanguage)
{
    Mivor::Variant value;
    EXPECT_EQ(QENGlobalsLC::ToUTF8String(value), "undefined");
    EXPECT_EQ(QENGlobalsLC::ToOptionalUTF8String(value), "");
    value.setNull();
    EXPECT_EQ(QENGlobalsLC::ToUTF8String(value), "null");
    EXPECT_EQ(QENGlobalsLC::ToOptionalUTF8String(value), "");
    value.setDouble(12);
    EXPECT_EQ(QENGlobalsLC::ToUTF8String(value), "12");
    value.setString(QENScUtils::UTF8StdStringToMivorString("/Applications/\xC3\x9C"));
    EXPECT_EQ(QENGlobalsLC::ToPath(value).AsUTF8String(), "/Applications/\xC3\x9C");
    value.clear();
    EXPECT_THROW(QENGlobalsLC::ToPath(value), std::runtime_error);  // "undefined" is no absolute path

    std::vector<std::string> strings{"kept"};
    value.setInt(3);
    EXPECT_FALSE(QENGlobalsLC::ToUTF8StringList(value, strings));
    EXPECT_EQ(strings, std::vector<std::string>{"kept"});
    Mivor::Array& elements = value.makeArray();
    elements.appendUndefined().setInt(1);
    elements.appendUndefined().setBool(true);
    elements.appendUndefined();
    EXPECT_TRUE(QENGlobalsLC::ToUTF8StringList(value, strings));
    EXPECT_EQ(strings, (std::vector<std::string>{"1", "true", "undefined"}));

    capsDomain domain = -1;
    for (int accepted : {0, 3, 5}) {
        value.setInt(accepted);
        EXPECT_TRUE(QENGlobalsLC::VariantToCapsDomain(value, domain));
        EXPECT_EQ(domain, accepted);
    }
    value.setInt(4);
    EXPECT_FALSE(QENGlobalsLC::VariantToCapsDomain(value, domain));
    EXPECT_EQ(domain, 5);
}

TEST_F(QENGlobalsLCTest, PropertyFunctions)
{
    EXPECT_EQ(Eval("QENGetProperty('client')"), "c");
    EXPECT_EQ(Eval("QENGetProperty('missing')"), "undefined");
    EXPECT_EQ(Eval("QENSetProperty('client', 'changed')"), "undefined");
    EXPECT_EQ(Eval("QENSetProperty('a', 1); QENGetProperty('client') + QENGetProperty('a')"), "c1");
    EXPECT_EQ(Eval("QENGetAllPropertyKeys().join()"), "a,b,client");
    EXPECT_EQ(Eval("JSON.stringify(QENGetRawSessionProperties())"), "[[\"b\",\"client\"],[\"2\",\"c\"]]");
    EXPECT_EQ(Code("QENGetProperty()"), "20");
    EXPECT_EQ(Code("QENSetProperty('x')"), "20");
    EXPECT_EQ(Code("QENGetAllPropertyKeys(1)"), "20");
}

TEST_F(QENGlobalsLCTest, LogMessageLevels)
{
    EXPECT_EQ(Eval("QENLogMessage(0, 'debug') && QENLogMessage(1, 'info') && QENLogMessage(2, 'error')"), "true");
    EXPECT_EQ(Code("QENLogMessage(3, 'loud')"), "20");
    EXPECT_EQ(log_.lines, (std::vector<std::string>{"5 debug", "4 info", "2 error",
                                                    "1 Invalid logging level for message loud"}));
    EXPECT_EQ(Code("QENLogMessage(1)"), "20");
}

TEST_F(QENGlobalsLCTest, FractionCompleteReachesTheController)
{
    EXPECT_EQ(Eval("QENSetFractionComplete(1, 4)"), "true");
    EXPECT_EQ(Code("QENSetFractionComplete(1, 0)"), "19");
    EXPECT_EQ(controller_.calls, std::vector<std::string>{"InstallFractionComplete 0.25"});
}

TEST_F(QENGlobalsLCTest, UninstallFunctionsOfTheCoreEngineRecordNothing)
{
    EXPECT_EQ(Eval("QENAddToUninstallScript('x')"), "false");
    EXPECT_EQ(Eval("QENSaveUninstallScript()"), "false");
    EXPECT_EQ(Code("QENAddToUninstallScript()"), "20");
    EXPECT_EQ(Code("QENSaveUninstallScript(1)"), "20");
}
