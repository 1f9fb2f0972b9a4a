// Helpers of the command engine tests: a log and a controller that record what they are told, a
// command that writes its perform, commit and rollback to a journal, the script function that
// builds such commands, and a fixture with a system root, a Setup bundle holding the support
// scripts, and command payload images written at test time.
#pragma once

#include "QEN/source/mac/QENEngineMac.h"
#include "QEN/source/mac/QENScUtils.h"
#include "QEN/source/mac/livecomponents/QENGlobalsLC.h"

#include "tests/support/TempSystemRoot.h"

#include "platform/Bundle.h"
#include "platform/Folders.h"

#include <gtest/gtest.h>

#include <boost/shared_ptr.hpp>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace qentest {

// Every message, as "<level> <text>".
class RecordingLog : public LogAppender {
public:
    using LogAppender::AppendToLog;
    void AppendToLog(LogLevel level, const std::string& text) override
    {
        lines.push_back(std::to_string(static_cast<int>(level)) + " " + text);
    }
    bool Has(const std::string& line) const { return std::find(lines.begin(), lines.end(), line) != lines.end(); }
    std::size_t Count(const std::string& line) const
    {
        return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), line));
    }
    // The position of the first line that is exactly the text; lines.size() when there is none.
    std::size_t Index(const std::string& line) const
    {
        return static_cast<std::size_t>(std::find(lines.begin(), lines.end(), line) - lines.begin());
    }
    std::string Dump() const
    {
        std::string text;
        for (const std::string& line : lines)
            text += line + "\n";
        return text;
    }
    std::vector<std::string> lines;
};

// Records its calls; answers HandleControlMessages with false from the call numbered stopAt
// (counted from 1; 0 never stops).
class RecordingController : public QENController {
public:
    bool HandleControlMessages() override
    {
        ++asked;
        calls.push_back("HandleControlMessages");
        return stopAt == 0 || asked < stopAt;
    }
    void InstallStarted() override { calls.push_back("InstallStarted"); }
    void InstallFractionComplete(double fraction) override
    {
        std::ostringstream text;
        text << "InstallFractionComplete " << fraction;
        calls.push_back(text.str());
    }
    void InstallComplete(bool success) override { calls.push_back(std::string("InstallComplete ") + (success ? "1" : "0")); }
    void InstallStatusArgument(const std::string& name, const std::string& value) override
    {
        calls.push_back("InstallStatusArgument " + name + "=" + value);
    }

    std::vector<std::string> Without(const std::string& call) const
    {
        std::vector<std::string> rest;
        for (const std::string& entry : calls) {
            if (entry != call)
                rest.push_back(entry);
        }
        return rest;
    }

    std::vector<std::string> calls;
    int asked = 0;
    int stopAt = 0;
};

typedef boost::shared_ptr<std::vector<std::string> > Journal;

// A command that changes nothing but its journal: "perform <name>", "commit <name>",
// "rollback <name>". Each step also logs "<step> <name>" at debug level through its log.
class TestCommand : public QENCommand {
public:
    TestCommand(LogAppender& log, const std::string& name, const Journal& journal, const std::string& faults = "")
        : QENCommand(log), name_(name), journal_(journal), faults_(faults)
    {
    }
    std::string GetName() const override { return "TestCommand(" + name_ + ")"; }

protected:
    bool DoPerform() override { return Step("perform"); }
    bool DoRollback() override { return Step("rollback"); }
    bool DoCommit() override { return Step("commit"); }

private:
    bool Step(const std::string& step)
    {
        journal_->push_back(step + " " + name_);
        log_.AppendToLog(LogAppender::kLogDebug, step + " " + name_);
        if (faults_.find("throw-" + step) != std::string::npos)
            throw std::runtime_error(step + " threw");
        return faults_.find("fail-" + step) == std::string::npos;
    }

    std::string name_;
    Journal journal_;
    std::string faults_;
};

// The script function TestCommand(name [, faults]): builds a TestCommand on the engine's log and
// hands it to the engine as a command-building global does.
class TestCommandsLC : public Mivor::LiveComponent {
public:
    enum : std::uint32_t { kTestCommand = 0x54430001 };

    TestCommandsLC(QENEngine& engine, const Journal& journal) : engine_(engine), journal_(journal)
    {
        static const Mivor::LivePropertyInfo kTable[] = {
            {"TestCommand", kTestCommand, Mivor::kLiveFunction, 0},
            {nullptr, 0, 0, 0},
        };
        manager_.reset(new Mivor::LivePropertyManager(kTable));
        setPropertyManager(manager_.get());
    }

    int call(Mivor::LiveObject*, std::uint32_t id, const Mivor::Array& arguments, Mivor::Variant& result,
             Mivor::Error* error) override
    {
        result.clear();
        if (id != kTestCommand)
            return setError(24, id, error, false);
        if (arguments.length() < 1 || arguments.length() > 2)
            return setError(20, id, error, false);
        const std::string faults = arguments.length() == 2 ? QENGlobalsLC::ToUTF8String(arguments[1]) : "";
        QENCommandPtr command(
            new TestCommand(engine_.Log(), QENGlobalsLC::ToUTF8String(arguments[0]), journal_, faults));
        return setError(QENGlobalsLC::SetProcessingResult(engine_.ProcessCommand(command), result), id, error, false);
    }

private:
    QENEngine& engine_;
    Journal journal_;
    std::unique_ptr<Mivor::LivePropertyManager> manager_;
};

// Adds TestCommand to the engine's script engine (made now if need be).
inline void AddTestCommands(QENEngineMac& engine, const Journal& journal)
{
    Pelvo::EnginePtr scripts = engine.GetJavaScriptEngine();
    ASSERT_TRUE(scripts);
    TestCommandsLC* commands = new TestCommandsLC(engine, journal);
    ASSERT_EQ(scripts->getInterface(Pelvo::Engine::kLiveObjectInterface)->getGlobalObject()->addComponent(commands), 0);
    commands->release();
}

// What a command payload image holds.
struct PayloadImage {
    std::string orvexCode = "{11111111-2222-3333-4444-555555555555}";
    std::vector<std::string> upgrades;
    bool withProxy = true;
    bool withConditions = true;
    bool withInstructions = true;
    std::string conditions = "QENConditions.english = true;\n";
    std::string instructions;
};

// A system root, a home, a Setup bundle whose SharedSupport folder holds the support scripts of
// the source tree, and the test's log, controller and journal.
class QENRunTest : public tolktest::SystemRootTest {
protected:
    void SetUp() override
    {
        bundle_ = sysroot_.Scratch() + "/Setup.app";
        tolktest::MakeFolders(SharedSupport());
        for (const char* name : {"InstallSetup.js", "InstallConditionsPrefix.js", "InstallConditionsSuffix.js"})
            std::filesystem::copy_file(std::string(TOLK_SOURCE_DIR "/Sorvel/resources/SharedSupport/") + name,
                                       SharedSupport() + "/" + name);
        platform::Bundle::SetMainBundlePathForTesting(bundle_);
        journal_.reset(new std::vector<std::string>);
    }
    void TearDown() override { platform::Bundle::SetMainBundlePathForTesting(std::string()); }

    std::string SharedSupport() const { return bundle_ + "/Contents/SharedSupport"; }

    // A folder image "<scratch>/<name>.dmg".
    FileSystemPath MakeImage(const PayloadImage& image, const std::string& name = "Payload")
    {
        const std::string folder = sysroot_.Scratch() + "/" + name + ".dmg";
        tolktest::MakeFolders(folder + "/Assets");
        tolktest::WriteTextFile(folder + "/Assets/readme.txt", "assets");
        if (image.withProxy) {
            std::string upgrades;
            for (const std::string& code : image.upgrades)
                upgrades += "<OrvexCode>" + code + "</OrvexCode>";
            tolktest::WriteTextFile(folder + "/Proxy.xml",
                                    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<PayloadInfo version=\"2.0\">"
                                    "<InstallerProperties><Property name=\"OrvexCode\">" +
                                        image.orvexCode +
                                        "</Property><Property name=\"ProductName\">Sample</Property>"
                                        "</InstallerProperties><Upgrades>" +
                                        upgrades + "</Upgrades></PayloadInfo>\n");
        }
        if (image.withConditions)
            tolktest::WriteTextFile(folder + "/Conditions.js", image.conditions);
        if (image.withInstructions)
            tolktest::WriteTextFile(folder + "/Instructions.js", image.instructions);
        return FileSystemPath(folder);
    }

    std::string UninstallFolder() const { return sysroot_.Path("/Library/Application Support/Orvex/Uninstall"); }
    std::string UninstallScript(const std::string& identifier) const { return UninstallFolder() + "/" + identifier + ".js"; }
    std::string UninstallDB(const std::string& identifier) const { return UninstallFolder() + "/" + identifier + ".db"; }

    void WriteUninstallScript(const std::string& identifier, const std::string& text)
    {
        tolktest::MakeFolders(UninstallFolder());
        tolktest::WriteTextFile(UninstallScript(identifier), text);
    }

    std::vector<std::string> JournalLines() const { return *journal_; }

    std::string bundle_;
    RecordingLog log_;
    RecordingController controller_;
    Journal journal_;
    QENEngine::PropertyMap clientProperties_;
};

inline bool Exists(const std::string& path)
{
    std::error_code error;
    return std::filesystem::exists(std::filesystem::symlink_status(path, error));
}

}  // namespace qentest
