#include "Common/source/mac/TQInitManager.h"
#include "Common/source/xplat/LogFactory.h"
#include "Sorvel/source/mac/SorvelCommonTQEngine.h"
#include "Sorvel/source/mac/TesselUtils.h"
#include "Sorvel/source/xplat/JSMethodPublisher.h"
#include "Sorvel/source/xplat/SorvelJSPublisherUtilities.h"

#include <gtest/gtest.h>

#include <boost/noncopyable.hpp>

#include <stdexcept>

namespace {

typedef std::vector<std::string> Args;

class ScriptPublisher : private boost::noncopyable, public JSMethodPublisher<ScriptPublisher> {
public:
    ScriptPublisher()
    {
        RegisterJSMemberMethod("Log", &ScriptPublisher::Log);
        RegisterJSMemberMethod("GetSessionData", &ScriptPublisher::GetSessionData);
        RegisterJSMemberMethod("Throw", &ScriptPublisher::Throw);
    }

    std::string Log(const Args& arguments)
    {
        calls.push_back(arguments);
        return "{}";
    }
    std::string GetSessionData(const Args&)
    {
        return SorvelJSPublisherUtilities::MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultWrongArgumentCount,
                                                            {{"key", "{S\xC3\xA9SSION}"}});
    }
    std::string Throw(const Args&) { throw std::runtime_error("handler trouble"); }

    std::vector<Args> calls;
};

class SorvelCommonTQEngineTest : public ::testing::Test {
protected:
    SorvelCommonTQEngineTest() : bridge_((InitializeTessel(), publisher_)) {}

    // Evaluates a script that must succeed and answers its value as text.
    std::string Eval(const std::string& script)
    {
        Mivor::Variant result;
        std::string error = "unset";
        EXPECT_TRUE(bridge_.EvalScript(script, result, error)) << error;
        EXPECT_EQ(error, "");
        return TesselUtils::MivorToUTF8(result.toString());
    }

    // Evaluates a script that must fail and answers the error text.
    std::string EvalError(const std::string& script)
    {
        Mivor::Variant result;
        std::string error;
        EXPECT_FALSE(bridge_.EvalScript(script, result, error));
        return error;
    }

    ScriptPublisher publisher_;
    SorvelCommonTQEngine bridge_;
};

}  // namespace

TEST_F(SorvelCommonTQEngineTest, ScriptsCallMethodsByNameAndGetJSONText)
{
    EXPECT_EQ(Eval("var answer = Log(4, 'x'); typeof answer + ' ' + answer"), "string {}");
    ASSERT_EQ(publisher_.calls.size(), 1u);
    EXPECT_EQ(publisher_.calls[0], (Args{"4", "x"}));
    EXPECT_EQ(Eval("var e = eval('(' + GetSessionData() + ')'); e._error + ' ' + e.key"), "1 {S\xC3\xA9SSION}");

    Eval("Log(1.5, true, null, undefined, [1, 'two'], {}, '', 0755, 1e21, 'a\\u0000b')");
    ASSERT_EQ(publisher_.calls.size(), 2u);
    EXPECT_EQ(publisher_.calls[1], (Args{"1.5", "true", "null", "undefined", "1,two", "[object Object]", "", "493",
                                         "1e+21", std::string("a\0b", 3)}));
}

TEST_F(SorvelCommonTQEngineTest, AFailedInvocationIsAScriptErrorOfCode24)
{
    EXPECT_EQ(Eval("try { Throw(); 'no error' } catch (e) { 'code ' + e.code }"), "code 24");
    const std::string error = EvalError("\nThrow('x');");
    EXPECT_NE(error.find("Throw failed with error code 24 (line 2)"), std::string::npos) << error;
    EXPECT_EQ(Eval("Log('after')"), "{}") << "the engine's error was cleared";
}

TEST_F(SorvelCommonTQEngineTest, EvaluationErrorsCarryTheirFullText)
{
    EXPECT_EQ(EvalError("var x = ;").find("SyntaxError"), 0u);
    EXPECT_EQ(EvalError("\n\nthrow new TypeError('bad \xC3\xA9tat');"), "TypeError: bad \xC3\xA9tat (line 3)");
    EXPECT_EQ(EvalError("NoSuchMethod()").find("ReferenceError"), 0u);

    Mivor::Variant result;
    std::string error;
    ASSERT_TRUE(bridge_.EvalScript("var language = 'de_DE'; language", result, error));
    EXPECT_TRUE(result.isString());
    ASSERT_TRUE(bridge_.EvalScript("var n = 7;", result, error));
    EXPECT_TRUE(result.isUndefined());
}

TEST_F(SorvelCommonTQEngineTest, AStrayNulDoesNotCutTheScriptShort)
{
    EXPECT_EQ(Eval(std::string("var s = 'a\0b'; s.length", 23)), "3");
    // Cut at the NUL, this would run only its first statement and count as a success.
    EvalError(std::string("var ok = 1;\0 Log('never');", 26));
    EXPECT_TRUE(publisher_.calls.empty());
}

TEST_F(SorvelCommonTQEngineTest, EvaluationRaisesTheSorvelLoggerToDebug)
{
    Logger* logger = LogFactory::Instance().GetLogger("Sorvel");
    ASSERT_NE(logger, nullptr);
    logger->SetLevel(LogAppender::kLogInfo);
    EvalError("syntax error here");
    EXPECT_EQ(logger->GetLevel(), LogAppender::kLogDebug);
}

TEST(SorvelCommonTQEngineLifetimeTest, ScriptGlobalsGoWithTheBridge)
{
    InitializeTessel();
    ScriptPublisher publisher;
    const std::size_t before = Mivor::Heap::liveBlocks();
    {
        SorvelCommonTQEngine bridge(publisher);
        EXPECT_GT(Mivor::Heap::liveBlocks(), before);
    }
    EXPECT_EQ(Mivor::Heap::liveBlocks(), before);
}
