// A fixture for the commands that change system settings (services, processes, PDF settings,
// firewall, self-healing): a system root with the stand-in tools, a core engine whose log and
// controller record everything, the engine's script globals in a script engine, and helpers to
// run a command through perform, commit and rollback and to read property lists back.
#pragma once

#include "QENTestSupport.h"

#include "Common/source/mac/TQInitManager.h"

#include "tests/support/ScriptEval.h"

#include "platform/files/Files.h"
#include "platform/formats/PropertyList.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qentest {

// A recording log that can act on a line as it is written (the command is still running then).
class HookedLog : public RecordingLog {
public:
    using LogAppender::AppendToLog;
    void AppendToLog(LogLevel level, const std::string& text) override
    {
        RecordingLog::AppendToLog(level, text);
        if (hook)
            hook(text);
    }
    std::function<void(const std::string&)> hook;
};

class QENSystemCommandTest : public tolktest::SystemRootTest {
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

    void TearDown() override
    {
        scripts_.reset();
        engine_.reset();
    }

    // Hands the command to the engine: true when it was performed and kept for commit or rollback.
    bool Perform(QENCommand* command) { return engine_->ProcessCommand(QENCommandPtr(command)) == QENEngine::kCommandPerformed; }
    bool Rollback() { return engine_->RollbackPerformedCommands(); }
    bool Commit() { return engine_->CommitPerformedCommands(); }
    LogAppender& CommandLog() { return engine_->Log(); }

    // Evaluates a script: its result as text, "undefined", or "error: ..." when it threw.
    std::string Eval(const std::string& script) { return tolktest::Eval(*scripts_, script); }
    // The code a script call ends with (0 when it succeeds).
    std::string Code(const std::string& call) { return Eval("try { " + call + "; 0 } catch (e) { e.code }"); }

    // A system location under the root.
    std::string Sys(const std::string& path) const { return sysroot_.Path(path); }

    static platform::PropertyValuePtr ReadPlist(const std::string& path)
    {
        std::string bytes;
        platform::PropertyValuePtr value;
        if (!platform::ReadWholeFile(path, bytes) || !platform::ParsePropertyList(bytes, value))
            return platform::PropertyValuePtr();
        return value;
    }
    static void WritePlist(const std::string& path, const platform::PropertyValue& value)
    {
        std::string bytes;
        ASSERT_TRUE(platform::SerializePropertyListXML(value, bytes));
        tolktest::WriteTextFile(path, bytes);
    }
    static platform::PropertyValuePtr Parse(const std::string& xml)
    {
        platform::PropertyValuePtr value;
        EXPECT_TRUE(platform::ParsePropertyList(xml, value)) << xml;
        return value;
    }
    // An XML property list around the body ("<dict>...</dict>").
    static std::string PlistText(const std::string& body)
    {
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">" + body + "</plist>\n";
    }

    static void WriteExecutable(const std::string& path, const std::string& text)
    {
        tolktest::WriteTextFile(path, text);
        ASSERT_EQ(chmod(path.c_str(), 0755), 0);
    }

    // The argument vectors the stand-in tools were called with, in call order, once the test has
    // asked for recording.
    void RecordToolCalls() { tolktest::MakeFolders(Sys("/.tolk/tool-calls")); }
    std::vector<std::vector<std::string> > ToolCalls(const std::string& toolPath) const
    {
        std::vector<std::vector<std::string> > calls;
        for (int number = 1;; ++number) {
            char name[32];
            std::snprintf(name, sizeof(name), "/%06d.plist", number);
            platform::PropertyValuePtr record = ReadPlist(Sys("/.tolk/tool-calls") + name);
            if (!record)
                break;
            std::string tool;
            if (!record->GetString("tool", tool) || tool != toolPath)
                continue;
            std::vector<std::string> arguments;
            for (const platform::PropertyValuePtr& argument : record->Get("arguments")->ArrayItems())
                arguments.push_back(argument->StringValue());
            calls.push_back(arguments);
        }
        return calls;
    }

    TQInitManager scripting_;
    HookedLog log_;
    RecordingController controller_;
    std::unique_ptr<QENEngine> engine_;
    Pelvo::EnginePtr scripts_;
    QENGlobalsLC* globals_ = nullptr;
};

}  // namespace qentest
