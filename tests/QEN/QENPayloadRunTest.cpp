#include "QENTestSupport.h"

#include "platform/files/FileNotifications.h"

#include <gtest/gtest.h>

using namespace qentest;

namespace {

const char* const kCode = "{11111111-2222-3333-4444-555555555555}";

class QENPayloadRunTest : public QENRunTest {
protected:
    // The value a script logged as "<name>=<value>" at info level.
    std::string Logged(const std::string& name) const
    {
        const std::string prefix = "4 " + name + "=";
        for (const std::string& line : log_.lines) {
            if (line.compare(0, prefix.size(), prefix) == 0)
                return line.substr(prefix.size());
        }
        return "<not logged>";
    }

    static std::string LogProperties(const std::vector<std::string>& names)
    {
        std::string script;
        for (const std::string& name : names)
            script += "QENLogMessage(1, '" + name + "=' + QENGetProperty('" + name + "'));\n";
        return script;
    }
};

}  // namespace

TEST_F(QENPayloadRunTest, InstallPerformsAsScriptsGoAndCommitsNewestFirst)
{
    PayloadImage image;
    image.instructions = "TestCommand('one');\n"
                         "QENAddToUninstallScript(\"TestCommand('undo-one')\");\n"
                         "TestCommand('two');\n"
                         "QENAddToUninstallScript(\"TestCommand('undo-two')\", 'QENConditions.english');\n" +
                         LogProperties({"QEN_PAYLOAD", "QEN_OVERRIDES", "QEN_ASSETS", "INSTALL_MODE", "orvexCode",
                                        "installLanguage", "OrvexProgramFiles", "UserPreferences"});
    const FileSystemPath path = MakeImage(image);
    const unsigned long notices = platform::NotifyAllCountForTesting();

    QENEngineMac engine(controller_, log_, path, clientProperties_);
    AddTestCommands(engine, journal_);
    ASSERT_TRUE(engine.InstallQENPayload()) << log_.Dump();

    EXPECT_EQ(JournalLines(), (std::vector<std::string>{"perform one", "perform two", "commit two", "commit one"}));
    EXPECT_EQ(controller_.calls.front(), "InstallStarted");
    EXPECT_EQ(controller_.calls.back(), "InstallComplete 1");
    EXPECT_EQ(controller_.Without("HandleControlMessages"),
              (std::vector<std::string>{"InstallStarted", "InstallComplete 1"}));
    EXPECT_EQ(platform::NotifyAllCountForTesting(), notices + 1);

    EXPECT_EQ(Logged("QEN_PAYLOAD"), path.AsUTF8String());
    EXPECT_EQ(Logged("QEN_OVERRIDES"), sysroot_.Scratch() + "/overrides");
    const std::string assets = Logged("QEN_ASSETS");
    EXPECT_EQ(assets.substr(assets.size() - 7), "/Assets");
    EXPECT_NE(assets, path.AsUTF8String() + "/Assets");  // the mounted copy, not the image itself
    EXPECT_EQ(Logged("INSTALL_MODE"), "install");
    EXPECT_EQ(Logged("orvexCode"), kCode);
    EXPECT_EQ(Logged("installLanguage"), "en_US");
    EXPECT_EQ(Logged("OrvexProgramFiles"), sysroot_.Path("/Applications"));
    EXPECT_EQ(Logged("UserPreferences"), sysroot_.Home() + "/Library/Preferences");

    EXPECT_TRUE(log_.Has("4 Beginning installation for payload at " + path.AsUTF8String()));
    EXPECT_TRUE(log_.Has("4 Processing payload " + std::string(kCode) + " (install)")) << log_.Dump();
    EXPECT_EQ(log_.lines.back(), "4 Completing installation for payload at " + path.AsUTF8String());
    // The commands' lines carry their numbers, when performed and when committed.
    EXPECT_EQ(log_.Count("5 2 perform two"), 1u);
    EXPECT_EQ(log_.Count("5 2 commit two"), 1u);
    EXPECT_LT(log_.Index("5 Committing prior actions..."), log_.Index("5 2 commit two"));

    const std::string saved = tolktest::ReadTextFile(UninstallScript(kCode));
    const std::string tail = "SetFractionComplete(1, 3);\n"
                             "if (QENConditions.english)\t{\n\tTestCommand('undo-two')\n}\n"
                             "SetFractionComplete(2, 3);\n"
                             "TestCommand('undo-one')\n"
                             "SetFractionComplete(3, 3);\n";
    ASSERT_GE(saved.size(), tail.size());
    EXPECT_EQ(saved.substr(saved.size() - tail.size()), tail);
    EXPECT_EQ(saved.find("var QENConditions = {};"), saved.find("var QENConditions"));
    EXPECT_NE(saved.find("QENConditions.english = true;\n"), std::string::npos);
}

TEST_F(QENPayloadRunTest, AScriptErrorRollsBackEverythingNewestFirst)
{
    PayloadImage image;
    image.instructions = "TestCommand('one');\nTestCommand('two');\nthrow new Error('broken payload');\n";
    QENEngineMac engine(controller_, log_, MakeImage(image), clientProperties_);
    AddTestCommands(engine, journal_);
    EXPECT_FALSE(engine.InstallQENPayload());

    EXPECT_EQ(JournalLines(), (std::vector<std::string>{"perform one", "perform two", "rollback two", "rollback one"}));
    const std::size_t failed = log_.Index("1 JavaScript processing failed with error:");
    ASSERT_LT(failed + 1, log_.lines.size()) << log_.Dump();
    EXPECT_EQ(log_.lines[failed + 1], "1 Error: broken payload (line 3)");
    EXPECT_EQ(controller_.calls.back(), "InstallComplete 0");
    EXPECT_FALSE(Exists(UninstallScript(kCode)));
}

TEST_F(QENPayloadRunTest, MissingConditionsFailAfterTheSetupScriptAndRollItBack)
{
    tolktest::WriteTextFile(SharedSupport() + "/InstallSetup.js",
                            tolktest::ReadTextFile(SharedSupport() + "/InstallSetup.js") + "TestCommand('setup');\n");
    PayloadImage image;
    image.withConditions = false;
    image.instructions = "TestCommand('never');\n";
    QENEngineMac engine(controller_, log_, MakeImage(image), clientProperties_);
    AddTestCommands(engine, journal_);
    EXPECT_FALSE(engine.InstallQENPayload());
    EXPECT_EQ(JournalLines(), (std::vector<std::string>{"perform setup", "rollback setup"}));
    EXPECT_TRUE(log_.Has("2 Unable to locate payload script Conditions.js")) << log_.Dump();
}

TEST_F(QENPayloadRunTest, MissingSupportScriptFailsTheRun)
{
    std::filesystem::remove(SharedSupport() + "/InstallConditionsPrefix.js");
    PayloadImage image;
    image.withConditions = false;
    image.instructions = "TestCommand('never');\n";
    QENEngineMac engine(controller_, log_, MakeImage(image), clientProperties_);
    AddTestCommands(engine, journal_);
    EXPECT_FALSE(engine.InstallQENPayload());
    EXPECT_TRUE(log_.Has("2 Unable to locate Sorvel script InstallConditionsPrefix.js")) << log_.Dump();
    EXPECT_TRUE(JournalLines().empty());
}

TEST_F(QENPayloadRunTest, ClientInstallLanguageIsWhatScriptsSee)
{
    PayloadImage image;
    image.instructions = LogProperties({"installLanguage"});
    clientProperties_["installLanguage"] = "de_DE";
    EXPECT_TRUE(QENEngine::InstallPayload(controller_, log_, MakeImage(image), clientProperties_)) << log_.Dump();
    EXPECT_EQ(Logged("installLanguage"), "de_DE");
}

TEST_F(QENPayloadRunTest, AFolderKeyThatDoesNotResolveEndsTheDeterminedProperties)
{
    std::filesystem::remove_all(sysroot_.Path("/Applications/Utilities"));
    tolktest::WriteTextFile(sysroot_.Path("/Applications/Utilities"), "a file where a folder belongs");
    PayloadImage image;
    image.instructions = "TestCommand('never');\n";
    const FileSystemPath path = MakeImage(image);
    {
        QENEngineMac engine(controller_, log_, path, clientProperties_);
        EXPECT_FALSE(engine.LoadDeterminedProperties());
        std::string value;
        EXPECT_TRUE(engine.GetProperty("SharedDocuments", value));
        EXPECT_FALSE(engine.GetProperty("Utilities", value));
        EXPECT_FALSE(engine.GetProperty("FontsFolder", value));
        EXPECT_TRUE(log_.Has("2 Unable to locate folder for token Utilities."));
    }
    log_.lines.clear();
    const unsigned long notices = platform::NotifyAllCountForTesting();
    QENEngineMac engine(controller_, log_, path, clientProperties_);
    AddTestCommands(engine, journal_);
    EXPECT_FALSE(engine.InstallQENPayload());
    EXPECT_TRUE(log_.Has("2 Unable to locate folder for token Utilities."));
    EXPECT_TRUE(log_.Has("2 Unable to initialize default properties."));
    EXPECT_FALSE(log_.Has("5 Rolling back prior actions..."));
    EXPECT_EQ(platform::NotifyAllCountForTesting(), notices);
    EXPECT_EQ(controller_.calls, (std::vector<std::string>{"InstallStarted", "InstallComplete 0"}));
}

TEST_F(QENPayloadRunTest, AnImageThatCannotBeMountedRunsNoScript)
{
    const FileSystemPath missing(sysroot_.Scratch() + "/Missing.dmg");
    const unsigned long notices = platform::NotifyAllCountForTesting();
    EXPECT_FALSE(QENEngine::InstallPayload(controller_, log_, missing, clientProperties_));
    EXPECT_FALSE(QENEngine::RepairPayload(controller_, log_, missing, clientProperties_));
    EXPECT_EQ(controller_.calls,
              (std::vector<std::string>{"InstallStarted", "InstallComplete 0", "InstallStarted", "InstallComplete 0"}));
    EXPECT_TRUE(log_.Has("5 Mounting payload image at " + missing.AsUTF8String()));
    EXPECT_FALSE(log_.Has("4 Reading instructions from " + SharedSupport() + "/InstallSetup.js"));
    EXPECT_EQ(platform::NotifyAllCountForTesting(), notices);
}

TEST_F(QENPayloadRunTest, RepairRunsThePayloadScriptsInRepairMode)
{
    PayloadImage image;
    image.instructions = "TestCommand('fix');\nQENAddToUninstallScript('x');\n" + LogProperties({"INSTALL_MODE"});
    const FileSystemPath path = MakeImage(image);
    QENEngineMac engine(controller_, log_, path, clientProperties_);
    AddTestCommands(engine, journal_);
    EXPECT_TRUE(engine.RepairQENPayload()) << log_.Dump();
    EXPECT_EQ(JournalLines(), (std::vector<std::string>{"perform fix", "commit fix"}));
    EXPECT_EQ(Logged("INSTALL_MODE"), "repair");
    EXPECT_TRUE(log_.Has("4 Beginning repair for payload at " + path.AsUTF8String()));
    EXPECT_TRUE(log_.Has("4 Processing payload " + std::string(kCode) + " (repair)"));
    EXPECT_EQ(log_.lines.back(), "4 Completing repair for payload at " + path.AsUTF8String());
    EXPECT_FALSE(log_.Has("4 Storing Condition.js for uninstall script"));
    EXPECT_FALSE(Exists(UninstallScript(kCode)));
}

TEST_F(QENPayloadRunTest, RunsWithoutAnImageEndAtOnce)
{
    QENEngineMac engine(controller_, log_, std::string(kCode), clientProperties_);
    EXPECT_FALSE(engine.InstallQENPayload());
    EXPECT_FALSE(engine.RepairQENPayload());
    EXPECT_TRUE(controller_.calls.empty());
    EXPECT_TRUE(log_.lines.empty());
}

TEST_F(QENPayloadRunTest, TerminationStopsTheScriptAndRollsBack)
{
    controller_.stopAt = 2;
    PayloadImage image;
    image.instructions = "TestCommand('one');\nTestCommand('two');\nTestCommand('three');\n";
    QENEngineMac engine(controller_, log_, MakeImage(image), clientProperties_);
    AddTestCommands(engine, journal_);
    EXPECT_FALSE(engine.InstallQENPayload());
    EXPECT_EQ(JournalLines(), (std::vector<std::string>{"perform one", "rollback one"}));
    EXPECT_TRUE(log_.Has("4 2 Termination request received; stopping command processing."));
    EXPECT_NE(log_.Dump().find("TestCommand failed with error code -34"), std::string::npos) << log_.Dump();
}

TEST_F(QENPayloadRunTest, ACommandThatThrowsFailsItsCallAndTheRunRollsBack)
{
    PayloadImage image;
    image.instructions = "TestCommand('one');\n"
                         "var code; try { TestCommand('two', 'throw-perform'); } catch (e) { code = e.code; }\n"
                         "QENLogMessage(1, 'code=' + code);\n"
                         "throw 'stop';\n";
    QENEngineMac engine(controller_, log_, MakeImage(image), clientProperties_);
    AddTestCommands(engine, journal_);
    EXPECT_FALSE(engine.InstallQENPayload());
    EXPECT_EQ(Logged("code"), "-29");
    EXPECT_EQ(JournalLines(), (std::vector<std::string>{"perform one", "perform two", "rollback one"}));
    EXPECT_TRUE(log_.Has("4 code=-29"));  // no command number left behind by the exception
}

TEST_F(QENPayloadRunTest, ScriptsOfOneRunShareOneEngine)
{
    PayloadImage image;
    image.conditions = "var fromConditions = 'seen';\n";
    image.instructions = "if (fromConditions !== 'seen' || typeof PayloadPrefix !== 'function') throw 'not shared';\n";
    EXPECT_TRUE(QENEngine::InstallPayload(controller_, log_, MakeImage(image), clientProperties_)) << log_.Dump();
}

TEST_F(QENPayloadRunTest, AQuoteInThePayloadCodeStaysInsideThePrefixText)
{
    PayloadImage image;
    image.orvexCode = "{it's}');TestCommand('injected";
    image.instructions = "TestCommand('real');\n";
    QENEngineMac engine(controller_, log_, MakeImage(image), clientProperties_);
    AddTestCommands(engine, journal_);
    EXPECT_TRUE(engine.InstallQENPayload()) << log_.Dump();
    EXPECT_EQ(JournalLines(), (std::vector<std::string>{"perform real", "commit real"}));
    EXPECT_TRUE(log_.Has("4 Processing payload {it's}');TestCommand('injected (install)")) << log_.Dump();
}
