// The fixture of the query-function tests: the script globals over a core engine in a script
// engine of their own, inside a temporary system root.
#pragma once

#include "QENTestSupport.h"

#include "Common/source/mac/TQInitManager.h"

#include "tests/support/ScriptEval.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace qentest {

// The text as a script string literal.
inline std::string Quote(const std::string& text)
{
    std::string literal = "'";
    for (char c : text)
        literal += (c == '\\' || c == '\'') ? std::string("\\") + c : std::string(1, c);
    return literal + "'";
}

class QENQueryTest : public tolktest::SystemRootTest {
protected:
    void SetUp() override
    {
        engine_.reset(new QENEngine(controller_, log_, "{id}", QENEngine::PropertyMap()));
        scripts_ = Pelvo::Engine::createEngine(Pelvo::Engine::kTypeJavaScript);
        ASSERT_TRUE(scripts_);
        globals_ = new QENGlobalsLC(*engine_, controller_, engine_->Log());
        ASSERT_EQ(scripts_->getInterface(Pelvo::Engine::kLiveObjectInterface)->getGlobalObject()->addComponent(globals_),
                  0);
        globals_->release();
    }

    std::string Eval(const std::string& script) { return tolktest::Eval(*scripts_, script); }
    // The call's result in JSON, or "undefined".
    std::string Json(const std::string& call)
    {
        return Eval("var r = " + call + "; r === undefined ? 'undefined' : JSON.stringify(r)");
    }
    // The code the call ends with (0 when it succeeds).
    std::string Code(const std::string& call) { return Eval("try { " + call + "; 0 } catch (e) { e.code }"); }

    std::string Scratch(const std::string& relative) const { return sysroot_.Scratch() + "/" + relative; }

    TQInitManager scripting_;
    RecordingLog log_;
    RecordingController controller_;
    std::unique_ptr<QENEngine> engine_;
    Pelvo::EnginePtr scripts_;
    QENGlobalsLC* globals_ = nullptr;
};

}  // namespace qentest
