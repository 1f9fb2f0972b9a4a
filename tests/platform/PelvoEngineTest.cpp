#include "platform/Folders.h"
#include "platform/script/Pelvo.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

const Mivor::Encoder& UTF8()
{
    return Mivor::Encoder::getUtf8();
}

std::string Text(const Mivor::String& text)
{
    return text.encode(UTF8());
}

Mivor::String Script(const std::string& utf8)
{
    return Mivor::String(utf8.data(), utf8.size(), UTF8());
}

void StartScripting()
{
    Mivor::InitTerm::init();
    Mivor::InitTerm::setMT();
    ASSERT_TRUE(Pelvo::InitTerm::init());
}

enum : std::uint32_t {
    kAnswer = platform::FourCharCode('a', 'n', 's', 'r'),
    kBig = platform::FourCharCode('b', 'i', 'g', ' '),
    kEcho = platform::FourCharCode('e', 'c', 'h', 'o'),
    kFail = platform::FourCharCode('f', 'a', 'i', 'l'),
    kThrow = platform::FourCharCode('t', 'h', 'r', 'w'),
    kCount = platform::FourCharCode('c', 'n', 't', ' '),
    kNested = platform::FourCharCode('n', 'e', 's', 't'),
    kWorded = platform::FourCharCode('w', 'o', 'r', 'd'),
};

const Mivor::LivePropertyInfo kGlobalsTable[] = {
    {"ANSWER", kAnswer, Mivor::kLiveReadOnlyProperty, 0},
    {"BIG", kBig, Mivor::kLiveReadOnlyProperty, 0},
    {"Echo", kEcho, Mivor::kLiveFunction, 0},
    {"Fail", kFail, Mivor::kLiveFunction, 0},
    {"Throw", kThrow, Mivor::kLiveFunction, 0},
    {"Count", kCount, 0x10045, 0},
    {"Nested", kNested, Mivor::kLiveFunction, 0},
    {"Worded", kWorded, Mivor::kLiveFunction, 0},
    {nullptr, 0, 0, 0},
};

// Script globals as a command engine or a bridge would publish them.
class TestGlobals : public Mivor::LiveComponent {
public:
    TestGlobals() : manager_(kGlobalsTable) { setPropertyManager(&manager_); }

    int get(Mivor::LiveObject* object, std::uint32_t id, Mivor::Variant& result, Mivor::Error* error) override
    {
        askedObject = object;
        result.clear();
        if (id == kAnswer)
            result.setInt(42);
        else if (id == kBig)
            result.setUInt(0xFFFFFFFFu);
        return setError(0, id, error, false);
    }

    int call(Mivor::LiveObject*, std::uint32_t id, const Mivor::Array& arguments, Mivor::Variant& result,
             Mivor::Error* error) override
    {
        result.clear();
        int code = 0;
        switch (id) {
        case kEcho:
            lastArguments = arguments;
            if (arguments.length() > 0)
                result = arguments[0];
            break;
        case kFail:
            code = arguments[0].getInt();
            break;
        case kThrow:
            throw std::runtime_error("native trouble");
        case kCount:
            result.setUInt(arguments.length());
            break;
        case kNested: {
            // An engine made and run inside a native call of another.
            Pelvo::EnginePtr inner = Pelvo::Engine::createEngine(Pelvo::Engine::kTypeJavaScript);
            if (!inner || !inner->eval(arguments[0].toString(), result))
                code = 1;
            break;
        }
        case kWorded:
            error->setMessage(Script("the disk is full"));
            code = 7;
            break;
        default:
            code = Mivor::kErrNoSuchMember;
        }
        return setError(code, id, error, false);
    }

    Mivor::Array lastArguments;
    Mivor::LiveObject* askedObject = nullptr;

private:
    Mivor::LivePropertyManager manager_;
};

enum : std::uint32_t { kValue = platform::FourCharCode('v', 'a', 'l', 'u'), kTwice = platform::FourCharCode('t', 'w', 'c', 'e') };

const Mivor::LivePropertyInfo kCounterTable[] = {
    {"value", kValue, Mivor::kLiveReadOnlyProperty, 0},
    {"twice", kTwice, Mivor::kLiveFunction, 0},
    {nullptr, 0, 0, 0},
};

// A script class: new Counter(n) holds n.
class CounterLO : public Mivor::LiveObject {
public:
    CounterLO() : Mivor::LiveObject("Counter"), manager_(kCounterTable) { setPropertyManager(&manager_); }

    int clone(Mivor::LiveObject*& out, bool) override
    {
        out = new CounterLO;
        return 0;
    }

    int initialize(const Mivor::Array& arguments) override
    {
        if (arguments.length() != 1)
            return 20;
        value_ = arguments[0].getInt();
        return 0;
    }

    int get(std::uint32_t id, Mivor::Variant& result, Mivor::Error* error) override
    {
        result.clear();
        if (id == kValue)
            result.setInt(value_);
        return setError(0, id, error, false);
    }

    int call(std::uint32_t id, const Mivor::Array&, Mivor::Variant& result, Mivor::Error* error) override
    {
        result.clear();
        if (id != kTwice)
            return setError(24, id, error, false);
        result.setInt(value_ * 2);
        return setError(0, id, error, false);
    }

private:
    Mivor::LivePropertyManager manager_;
    int value_ = 0;
};

class PelvoEngineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        StartScripting();
        engine_ = Pelvo::Engine::createEngine(Pelvo::Engine::kTypeJavaScript);
        ASSERT_TRUE(engine_);
    }

    // Adds a TestGlobals to the engine and answers it (the engine keeps it alive).
    TestGlobals* AddGlobals()
    {
        Pelvo::LiveObjectAPI* api = engine_->getInterface(Pelvo::Engine::kLiveObjectInterface);
        EXPECT_NE(api, nullptr);
        TestGlobals* globals = new TestGlobals;
        EXPECT_EQ(api->getGlobalObject()->addComponent(globals), 0);
        globals->release();
        return globals;
    }

    Mivor::Variant Eval(const std::string& script)
    {
        Mivor::Variant result;
        EXPECT_TRUE(engine_->eval(Script(script), result, -1, 1, 0, 0, 0)) << ErrorText();
        return result;
    }

    // Evaluates a script that must fail and answers the error's full text (and its code).
    std::string EvalError(const std::string& script, int* code = nullptr)
    {
        Mivor::Variant result;
        EXPECT_FALSE(engine_->eval(Script(script), result));
        EXPECT_TRUE(result.isUndefined());
        const std::string text = ErrorText();
        if (code != nullptr)
            *code = engine_->getError().getCode();
        engine_->clearError();
        EXPECT_TRUE(engine_->succeeded());
        return text;
    }

    std::string ErrorText() { return Text(engine_->getError().getFullText()); }

    Pelvo::EnginePtr engine_;
};

}  // namespace

TEST_F(PelvoEngineTest, EvaluatesToCompletionValues)
{
    EXPECT_EQ(Eval("1 + 1").getInt(), 2);
    EXPECT_EQ(Text(Eval("'a' + 'b'").getString()), "ab");
    EXPECT_TRUE(Eval("var unused = 3;").isUndefined());
    EXPECT_TRUE(Eval("null").isNull());
    EXPECT_TRUE(Eval("1 < 2").getBool());
    EXPECT_EQ(Text(Eval("({ toString: function () { return 'obj'; } })").toString()), "obj");

    Mivor::Array list;
    ASSERT_TRUE(Eval("[1, 'two', [3, null]]").getArray(list));
    ASSERT_EQ(list.length(), 3u);
    Mivor::Array inner;
    ASSERT_TRUE(list[2].getArray(inner));
    EXPECT_TRUE(inner[1].isNull());
}

TEST_F(PelvoEngineTest, GlobalsPersistBetweenEvaluations)
{
    Eval("var counter = 1; function bump() { return ++counter; }");
    EXPECT_EQ(Eval("bump()").getInt(), 2);
}

TEST_F(PelvoEngineTest, LegacyOctalLiteralsStillWork)
{
    EXPECT_EQ(Eval("0755").getInt(), 493);
}

TEST_F(PelvoEngineTest, ErrorsCarryTheirFullText)
{
    const std::string syntax = EvalError("var x = ;");
    EXPECT_NE(syntax.find("SyntaxError"), std::string::npos) << syntax;
    EXPECT_NE(syntax.find("(line 1"), std::string::npos) << syntax;

    const std::string thrown = EvalError("\n\nthrow new TypeError('bad input');");
    EXPECT_EQ(thrown, "TypeError: bad input (line 3)");

    EXPECT_EQ(EvalError("throw 'plain text';"), "plain text");
    EXPECT_NE(EvalError("undefinedFunction();").find("ReferenceError"), std::string::npos);

    Mivor::Variant result;
    EXPECT_FALSE(engine_->eval(Script("oops("), result, -1, 10));
    EXPECT_NE(ErrorText().find("line 10"), std::string::npos) << ErrorText();
}

TEST_F(PelvoEngineTest, TextTakenOverRunsAsTheSameScriptWould)
{
    // A payload's script handed over as UTF-8 text: the same completion value, globals, this and
    // errors (with their lines) as eval gives, and the text is let go.
    std::string text =
        "var seen = 'caf\xC3\xA9 \xF0\x9F\x98\x80';\nthis === Function('return this')() ? seen.length : -1;";
    Mivor::Variant result;
    ASSERT_TRUE(engine_->evalText(text, result)) << ErrorText();
    EXPECT_TRUE(text.empty());
    EXPECT_EQ(result.getInt(), 7);
    EXPECT_EQ(Eval("seen").getString(), Script("caf\xC3\xA9 \xF0\x9F\x98\x80"));

    for (const std::string& failing :
         {std::string("var x = ;"), std::string("\n\nthrow new TypeError('bad input');")}) {
        const std::string expected = EvalError(failing);
        std::string given = failing;
        EXPECT_FALSE(engine_->evalText(given, result));
        EXPECT_TRUE(result.isUndefined());
        EXPECT_EQ(ErrorText(), expected);
        engine_->clearError();
    }
    std::string later = "throw new Error('here');";
    EXPECT_FALSE(engine_->evalText(later, result, 40));
    EXPECT_NE(ErrorText().find("40"), std::string::npos) << ErrorText();
    engine_->clearError();
}

TEST_F(PelvoEngineTest, LengthLimitsTheEvaluatedText)
{
    Mivor::Variant result;
    ASSERT_TRUE(engine_->eval(Script("40 + 2; garbage ((("), result, 6));
    EXPECT_EQ(result.getInt(), 42);
}

TEST_F(PelvoEngineTest, ComponentConstantsAndFunctionsBecomeGlobals)
{
    TestGlobals* globals = AddGlobals();
    EXPECT_EQ(Eval("ANSWER").getInt(), 42);
    EXPECT_EQ(globals->askedObject,
              engine_->getInterface(Pelvo::Engine::kLiveObjectInterface)->getGlobalObject());
    EXPECT_EQ(Eval("BIG").getDouble(), 4294967295.0);
    EXPECT_EQ(Eval("ANSWER = 7; ANSWER").getInt(), 42);  // read-only
    EXPECT_EQ(Eval("Count(1, 'a', [2], null)").getInt(), 4);
    EXPECT_EQ(Eval("Count()").getInt(), 0);
    EXPECT_EQ(Text(Eval("typeof Echo").getString()), "function");

    Eval("Echo(1.5, 'text', true, undefined, null, [1, [2]], {})");
    const Mivor::Array& arguments = globals->lastArguments;
    ASSERT_EQ(arguments.length(), 7u);
    EXPECT_EQ(arguments[0].getDouble(), 1.5);
    EXPECT_EQ(Text(arguments[1].getString()), "text");
    EXPECT_TRUE(arguments[2].getBool());
    EXPECT_TRUE(arguments[3].isUndefined());
    EXPECT_TRUE(arguments[4].isNull());
    EXPECT_TRUE(arguments[5].isArray());
    EXPECT_TRUE(arguments[6].isObject());
    EXPECT_EQ(Text(arguments[6].toString()), "[object Object]");

    EXPECT_EQ(Eval("Echo([1, ['a', null]])[1][0]").getString(), Script("a"));
}

TEST_F(PelvoEngineTest, FailingNativeCallIsAnErrorScriptsCanCatch)
{
    AddGlobals();
    EXPECT_EQ(Eval("var code; try { Fail(20); code = 0; } catch (e) { code = e.code; } code").getInt(), 20);
    EXPECT_EQ(Eval("Fail(0); 'went on'").getString(), Script("went on"));

    const std::string uncaught = EvalError("\nFail(19);");
    EXPECT_NE(uncaught.find("Fail failed with error code 19"), std::string::npos) << uncaught;
    EXPECT_NE(uncaught.find("(line 2)"), std::string::npos) << uncaught;

    Mivor::Variant result;
    EXPECT_FALSE(engine_->eval(Script("Fail(-33)"), result));
    EXPECT_EQ(engine_->getError().getCode(), -33);
    engine_->clearError();

    EXPECT_EQ(Eval("try { Worded(); } catch (e) { e.message + '/' + e.code }").getString(),
              Script("the disk is full/7"));
}

TEST_F(PelvoEngineTest, CppExceptionInANativeCallBecomesAScriptError)
{
    AddGlobals();
    EXPECT_EQ(Eval("try { Throw(); } catch (e) { e.code + ' ' + e.message }").getString(),
              Script("-29 Throw: native trouble"));
    EXPECT_EQ(Eval("'still running'").getString(), Script("still running"));
}

TEST_F(PelvoEngineTest, ArgumentConversionErrorsReachTheScript)
{
    AddGlobals();
    EXPECT_EQ(Eval("try { Echo({ toString: function () { throw new Error('no text'); } }); 'x' }"
                   " catch (e) { e.message }")
                  .getString(),
              Script("no text"));
    // A cyclic array cannot become a value; the call fails instead of recursing for ever.
    EXPECT_NE(EvalError("var a = [1]; a.push(a); Echo(a);").find("RangeError"), std::string::npos);
}

TEST_F(PelvoEngineTest, TextRoundTripsThroughScriptsWithNulAndAstralCharacters)
{
    AddGlobals();
    const std::string original("x\0y\xF0\x9F\x98\x80", 7);
    const Mivor::String text(original.data(), original.size(), UTF8());
    Mivor::Variant result;
    // The astral character is two code units for the script, as the language defines it.
    ASSERT_TRUE(engine_->eval(Script("'x\\u0000y\\uD83D\\uDE00'"), result));
    EXPECT_EQ(result.getString(), text);
    EXPECT_EQ(result.getString().encode(UTF8()), original);

    ASSERT_TRUE(engine_->eval(Script("var s = '\xF0\x9F\x98\x80'; s.length + ',' + s.charCodeAt(1)"), result));
    EXPECT_EQ(Text(result.getString()), "2,56832");

    ASSERT_TRUE(engine_->eval(Script("Echo('\xF0\x9F\x98\x80\xC3\xA9').length"), result));
    EXPECT_EQ(result.getInt(), 3);
    ASSERT_TRUE(engine_->eval(Script("String.fromCharCode(0x1F600)"), result));
    EXPECT_EQ(Text(result.getString()), "\xF0\x9F\x98\x80");
}

TEST_F(PelvoEngineTest, CallStatementsRunAsTheirScriptWould)
{
    TestGlobals* globals = AddGlobals();
    Eval("var seen = [];\nfunction Note(a, b) { seen.push(a + '/' + b); }\n"
         "function Bad() {\n  throw new TypeError('from script');\n}\nvar Plain = 5;");
    const auto statement = [](const std::string& name, const std::vector<Mivor::Variant>& values, const std::string& text,
                              std::int32_t line) {
        Pelvo::Engine::CallStatement call;
        call.name = name;
        for (const Mivor::Variant& value : values)
            call.arguments.append(value);
        call.text = text;
        call.line = line;
        return call;
    };
    Mivor::Variant astral;
    astral.setString(Script("caf\xC3\xA9 \xF0\x9F\x98\x80"));
    Mivor::Variant seven;
    seven.setDouble(7);
    ASSERT_TRUE(engine_->runCalls({statement("Note", {astral, seven}, "", 1), statement("Echo", {astral}, "", 2)}))
        << ErrorText();
    ASSERT_EQ(globals->lastArguments.length(), 1u);
    EXPECT_EQ(globals->lastArguments[0].getString(), Eval("'caf\xC3\xA9 \xF0\x9F\x98\x80'").getString());
    EXPECT_EQ(Eval("seen.join()").getString(), Script("caf\xC3\xA9 \xF0\x9F\x98\x80/7"));

    // Each failure reads as the script's own, with its code, and ends the run (a live function's
    // failure thrown from its direct call as its script call throws it).
    Mivor::Variant nineteen;
    nineteen.setDouble(19);
    const std::vector<std::pair<Pelvo::Engine::CallStatement, std::string> > failures = {
        {statement("Fail", {nineteen}, "Fail(19);", 3), "\n\nFail(19);"},
        {statement("Worded", {}, "Worded();", 2), "\nWorded();"},
        {statement("Throw", {}, "Throw();", 1), "Throw();"},
        {statement("Bad", {}, "Bad();", 2), "\nBad();"},
        {statement("Missing", {}, "Missing();", 4), "\n\n\nMissing();"},
        {statement("Plain", {}, "Plain();", 2), "\nPlain();"},
        {statement("ANSWER", {}, "ANSWER();", 1), "ANSWER();"},
    };
    for (const auto& failure : failures) {
        int code = 0;
        const std::string expected = EvalError(failure.second, &code);
        Eval("seen = [];");
        EXPECT_FALSE(engine_->runCalls({failure.first, statement("Note", {seven, seven}, "", 9)}));
        EXPECT_EQ(ErrorText(), expected);
        EXPECT_EQ(engine_->getError().getCode(), code) << expected;
        engine_->clearError();
        EXPECT_EQ(Eval("seen.length").getInt(), 0) << expected;
    }
}

TEST_F(PelvoEngineTest, ConditionedCallStatementsRunAsTheirScriptWould)
{
    AddGlobals();
    Eval(
        "var seen = [];\nfunction Note(a) { seen.push(a); }\nfunction Is(v) { return v; }\n"
        "function Bad() { throw new TypeError('in condition'); }\nvar Plain = 0;");
    const auto call = [](const std::string& name, const std::string& argument, std::int32_t line) {
        Pelvo::Engine::CallStatement statement;
        statement.name = name;
        if (!argument.empty())
            statement.arguments.appendUndefined().setString(
                Mivor::String(argument.data(), argument.size(), Mivor::Encoder::getUtf8()));
        statement.text = name + "('" + argument + "');";
        statement.line = line;
        return statement;
    };
    // The call inside runs when the condition's value converts to true, as "if" converts it; a
    // condition that names no function has the whole statement evaluated from its text.
    const auto conditioned = [&](const std::string& condition, const std::string& value, const std::string& note) {
        Pelvo::Engine::CallStatement inner = call("Note", note, 2);
        auto test = std::make_shared<Pelvo::Engine::CallStatement>(call(condition, value, 1));
        test->text = "if (" + condition + "('" + value + "'))\t{\n\t" + inner.text + "\n}";
        inner.condition = test;
        return inner;
    };
    std::string expected = EvalError("if (Missing2(''))\t{\n\tNote('d');\n}");
    EXPECT_FALSE(engine_->runCalls({conditioned("Is", "yes", "a"), conditioned("Is", "", "b"),
                                    conditioned("Echo", "0", "c"), conditioned("Missing2", "", "d")}));
    EXPECT_EQ(ErrorText(), expected);
    engine_->clearError();
    EXPECT_EQ(Eval("seen.join()").getString(), Script("a,c"));

    // A failing condition ends the run with the script's own error, the call inside not run.
    expected = EvalError("if (Bad(''))\t{\n\tNote('e');\n}");
    Eval("seen = [];");
    EXPECT_FALSE(engine_->runCalls({conditioned("Bad", "", "e"), call("Note", "f", 9)}));
    EXPECT_EQ(ErrorText(), expected);
    engine_->clearError();
    EXPECT_EQ(Eval("seen.length").getInt(), 0);
}

TEST_F(PelvoEngineTest, ScriptClassIsBuiltThroughItsFactory)
{
    CounterLO* prototype = new CounterLO;
    ASSERT_EQ(Mivor::LiveObject::addFactory(prototype, Mivor::LiveObject::kFactoryScriptClass), 0);
    prototype->release();

    EXPECT_EQ(Eval("var c = new Counter(21); c.value").getInt(), 21);
    EXPECT_EQ(Eval("c.twice()").getInt(), 42);
    EXPECT_EQ(Eval("c instanceof Counter").getBool(), true);
    EXPECT_EQ(Eval("new Counter('5').value + new Counter(6).value").getInt(), 11);
    EXPECT_EQ(Eval("var k = []; for (var p in c) k.push(p); k.sort().join()").getString(), Script("twice,value"));
    EXPECT_NE(EvalError("new Counter()").find("Counter construction failed with error code 20"),
              std::string::npos);
    EXPECT_EQ(Eval("try { new Counter(1, 2); } catch (e) { e.code }").getInt(), 20);
    EXPECT_NE(EvalError("Counter(1)").find("TypeError"), std::string::npos);
    EXPECT_TRUE(Eval("Counter.prototype.value").isUndefined());
}

TEST_F(PelvoEngineTest, WrongFactoryTypeIsRefused)
{
    CounterLO* prototype = new CounterLO;
    EXPECT_NE(Mivor::LiveObject::addFactory(prototype, 1), 0);
    EXPECT_NE(Mivor::LiveObject::addFactory(nullptr, Mivor::LiveObject::kFactoryScriptClass), 0);
    prototype->release();
}

TEST_F(PelvoEngineTest, OnlyTheLiveInterfaceIsOffered)
{
    EXPECT_EQ(engine_->getInterface(platform::FourCharCode('x', 'x', 'x', 'x')), nullptr);
    EXPECT_FALSE(Pelvo::Engine::createEngine(1));
}

TEST_F(PelvoEngineTest, NestedEngineRunsInsideANativeCall)
{
    AddGlobals();
    EXPECT_EQ(Eval("var outer = 1; Nested('typeof outer + (6 * 7)')").getString(), Script("undefined42"));
    EXPECT_EQ(Eval("outer").getInt(), 1);
}

TEST_F(PelvoEngineTest, EnginesOnTwoThreadsAtOnce)
{
    const int kLoops = 200;
    std::vector<std::string> failures(2);
    auto work = [&](int index) {
        Pelvo::EnginePtr engine = Pelvo::Engine::createEngine(Pelvo::Engine::kTypeJavaScript);
        if (!engine) {
            failures[index] = "no engine";
            return;
        }
        TestGlobals* globals = new TestGlobals;
        engine->getInterface(Pelvo::Engine::kLiveObjectInterface)->getGlobalObject()->addComponent(globals);
        globals->release();
        Mivor::Variant result;
        for (int i = 0; i < kLoops; ++i) {
            const std::string script = "var t = " + std::to_string(index) + "; Echo(t * 1000 + " + std::to_string(i) +
                                       ") + ANSWER + [1,2,3].join('').length";
            if (!engine->eval(Script(script), result) || result.getInt() != index * 1000 + i + 45) {
                failures[index] = "loop " + std::to_string(i) + ": " + Text(engine->getError().getFullText());
                return;
            }
        }
    };
    std::thread first(work, 0);
    std::thread second(work, 1);
    first.join();
    second.join();
    EXPECT_EQ(failures[0], "");
    EXPECT_EQ(failures[1], "");
}

TEST(PelvoLifetimeTest, EngineReleasesItsComponentsAndInstances)
{
    StartScripting();
    CounterLO* prototype = new CounterLO;
    ASSERT_EQ(Mivor::LiveObject::addFactory(prototype, Mivor::LiveObject::kFactoryScriptClass), 0);
    prototype->release();
    const std::size_t before = Mivor::Heap::liveBlocks();
    {
        Pelvo::EnginePtr engine = Pelvo::Engine::createEngine(Pelvo::Engine::kTypeJavaScript);
        ASSERT_TRUE(engine);
        TestGlobals* globals = new TestGlobals;
        ASSERT_EQ(engine->getInterface(Pelvo::Engine::kLiveObjectInterface)->getGlobalObject()->addComponent(globals),
                  0);
        globals->release();
        Mivor::Variant result;
        ASSERT_TRUE(engine->eval(Script("var kept = new Counter(1); for (var i = 0; i < 50; ++i) new Counter(i);"
                                        "try { new Counter(); } catch (e) {} kept.value"),
                                 result));
        EXPECT_GT(Mivor::Heap::liveBlocks(), before);
    }
    EXPECT_EQ(Mivor::Heap::liveBlocks(), before);
}

TEST(PelvoLifetimeTest, NoEngineBeforeStartUp)
{
    // Runs first in its own process under ctest; in a shared run the library may be up already.
    if (Pelvo::InitTerm::isInitialized())
        GTEST_SKIP() << "the engine library was started by an earlier test";
    EXPECT_FALSE(Pelvo::Engine::createEngine(Pelvo::Engine::kTypeJavaScript));
}
