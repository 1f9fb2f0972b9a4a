#include "QENTestSupport.h"

#include "caps/capsiHooks.h"

#include <gtest/gtest.h>

using namespace qentest;

namespace {

const char* const kCode = "{11111111-2222-3333-4444-555555555555}";

class QENUninstallScriptTest : public QENRunTest {
protected:
    // The prelude the engine builds from the support scripts and the conditions.
    std::string Prelude(const std::string& conditions) const
    {
        return tolktest::ReadTextFile(SharedSupport() + "/InstallConditionsPrefix.js") + conditions +
               tolktest::ReadTextFile(SharedSupport() + "/InstallConditionsSuffix.js");
    }

    // A folder with a conditions script, standing for a mounted image.
    FileSystemPath ConditionsFolder(const std::string& conditions)
    {
        const std::string folder = sysroot_.Scratch() + "/mounted";
        tolktest::MakeFolders(folder);
        tolktest::WriteTextFile(folder + "/Conditions.js", conditions);
        return FileSystemPath(folder);
    }

    // Records payloads as installed in collections they drive: (collection, payload) pairs.
    void RecordInstalled(const std::vector<std::pair<std::string, std::string> >& installs)
    {
        capsiSetRunningAsRootForTesting(1);
        capsiSession* session = nullptr;
        ASSERT_EQ(capsOpenSession(&session), 0);
        for (const auto& install : installs) {
            ASSERT_EQ(capsAddCollection(session, install.first.c_str(), install.second.c_str()), 0);
            ASSERT_EQ(capsAddPayload(session, install.first.c_str(), install.second.c_str(), "Family", "Product", "1.0",
                                     "sig", nullptr, nullptr),
                      0);
            ASSERT_EQ(capsSetInstallState(session, install.first.c_str(), install.second.c_str(), 2), 0);
        }
        ASSERT_EQ(capsCloseSession(session), 0);
    }

    void TearDown() override
    {
        capsiSetRunningAsRootForTesting(-1);
        QENRunTest::TearDown();
    }
};

}  // namespace

TEST_F(QENUninstallScriptTest, EntriesAreWrittenNewestFirstAfterThePreludeWithFractionLines)
{
    QENEngineMac engine(controller_, log_, std::string(kCode), clientProperties_);
    ASSERT_TRUE(engine.LoadUninstallConditionalData(ConditionsFolder("var c = 1;")));
    EXPECT_TRUE(log_.Has("4 Storing Condition.js for uninstall script"));
    EXPECT_TRUE(engine.AddToUninstallInstructions("A();", ""));
    EXPECT_TRUE(engine.AddToUninstallInstructions("B();", "c == 1"));
    ASSERT_TRUE(engine.SaveUninstallInstructions());
    EXPECT_EQ(tolktest::ReadTextFile(UninstallScript(kCode)), Prelude("var c = 1;") +
                                                                "SetFractionComplete(1, 3);\n"
                                                                "if (c == 1)\t{\n\tB();\n}\n"
                                                                "SetFractionComplete(2, 3);\n"
                                                                "A();\n"
                                                                "SetFractionComplete(3, 3);\n");
}

TEST_F(QENUninstallScriptTest, SavingWithNothingRecordedCreatesAnEmptyScript)
{
    QENEngineMac engine(controller_, log_, std::string(kCode), clientProperties_);
    ASSERT_TRUE(engine.SaveUninstallInstructions());
    EXPECT_TRUE(Exists(UninstallScript(kCode)));
    EXPECT_EQ(tolktest::ReadTextFile(UninstallScript(kCode)), "");

    ASSERT_TRUE(engine.LoadUninstallConditionalData(ConditionsFolder("x();")));
    ASSERT_TRUE(engine.SaveUninstallInstructions());
    EXPECT_EQ(tolktest::ReadTextFile(UninstallScript(kCode)), Prelude("x();") + "SetFractionComplete(1, 1);\n");
}

// The prelude opens a stored script once: written again, the payload's conditions would run a
// second time in the middle of its removal.
TEST_F(QENUninstallScriptTest, ASecondSaveAppendsTheNewEntriesOnly)
{
    WriteUninstallScript(kCode, "old();\n");
    QENEngineMac engine(controller_, log_, std::string(kCode), clientProperties_);
    ASSERT_TRUE(engine.LoadUninstallConditionalData(ConditionsFolder("p();")));
    engine.AddToUninstallInstructions("first();", "");
    ASSERT_TRUE(engine.SaveUninstallInstructions());
    engine.AddToUninstallInstructions("second();", "");
    ASSERT_TRUE(engine.SaveUninstallInstructions());
    EXPECT_EQ(tolktest::ReadTextFile(UninstallScript(kCode)),
              "old();\n" + Prelude("p();") + "SetFractionComplete(1, 2);\nfirst();\nSetFractionComplete(2, 2);\n" +
                  "second();\nSetFractionComplete(1, 1);\n");
}

TEST_F(QENUninstallScriptTest, AFailedSaveKeepsTheOldScriptAndTheRecordedEntries)
{
    QENEngineMac engine(controller_, log_, std::string(kCode), clientProperties_);
    engine.AddToUninstallInstructions("kept();", "");
    tolktest::MakeFolders(UninstallScript(kCode));  // a folder where the script belongs
    EXPECT_FALSE(engine.SaveUninstallInstructions());
    std::filesystem::remove(UninstallScript(kCode));
    ASSERT_TRUE(engine.SaveUninstallInstructions());
    EXPECT_EQ(tolktest::ReadTextFile(UninstallScript(kCode)), "kept();\nSetFractionComplete(1, 1);\n");
}

TEST_F(QENUninstallScriptTest, IdentifiersNameFilesInTheUninstallFolderOnly)
{
    FileSystemPath path(std::string("/"));
    ASSERT_TRUE(QENEngineMac::GetUninstallInstructionsPathForIdentifier("SESSIONKEY", path));
    EXPECT_EQ(path.AsUTF8String(), UninstallScript("SESSIONKEY"));
    ASSERT_TRUE(QENEngineMac::GetUninstallDBPathForIdentifier("SESSIONKEY", path));
    EXPECT_EQ(path.AsUTF8String(), UninstallDB("SESSIONKEY"));
    EXPECT_FALSE(QENEngineMac::GetUninstallInstructionsPathForIdentifier("../../../../etc/passwd", path));
    EXPECT_FALSE(QENEngineMac::GetUninstallDBPathForIdentifier("", path));

    clientProperties_["sessionID"] = "SESSIONKEY";
    QENEngineMac bySession(controller_, log_, std::string(), clientProperties_);
    bySession.AddToUninstallInstructions("s();", "");
    ASSERT_TRUE(bySession.SaveUninstallInstructions());
    EXPECT_EQ(tolktest::ReadTextFile(UninstallScript("SESSIONKEY")), "s();\nSetFractionComplete(1, 1);\n");

    QENEngineMac escaping(controller_, log_, std::string("a/../../b"), QENEngine::PropertyMap());
    escaping.AddToUninstallInstructions("e();", "");
    EXPECT_FALSE(escaping.SaveUninstallInstructions());
}

TEST_F(QENUninstallScriptTest, ConditionsNeedBothSupportScripts)
{
    std::filesystem::remove(SharedSupport() + "/InstallConditionsSuffix.js");
    const FileSystemPath folder = ConditionsFolder("c();");
    QENEngineMac engine(controller_, log_, std::string(kCode), clientProperties_);
    EXPECT_FALSE(engine.LoadUninstallConditionalData(folder));
    EXPECT_TRUE(log_.Has("2 Condition.js file found " + folder.AsUTF8String() +
                         "/Conditions.js but could not be added to uninstall script"));

    PayloadImage image;
    image.instructions = "TestCommand('never');\n";
    log_.lines.clear();
    EXPECT_FALSE(QENEngine::InstallPayload(controller_, log_, MakeImage(image), clientProperties_));
    EXPECT_NE(log_.Dump().find("but could not be added to uninstall script"), std::string::npos);
}

TEST_F(QENUninstallScriptTest, APayloadWithoutConditionsStoresNoPrelude)
{
    QENEngineMac engine(controller_, log_, std::string(kCode), clientProperties_);
    ASSERT_TRUE(engine.LoadUninstallConditionalData(FileSystemPath(sysroot_.Scratch())));  // no Conditions.js
    engine.AddToUninstallInstructions("only();", "");
    ASSERT_TRUE(engine.SaveUninstallInstructions());
    EXPECT_EQ(tolktest::ReadTextFile(UninstallScript(kCode)), "only();\nSetFractionComplete(1, 1);\n");
}

TEST_F(QENUninstallScriptTest, InstallThenUninstallPlaysTheRecordedEntriesBack)
{
    PayloadImage image;
    image.instructions = "TestCommand('one');\n"
                         "QENAddToUninstallScript(\"TestCommand('undo-one')\");\n"
                         "TestCommand('two');\n"
                         "QENAddToUninstallScript(\"TestCommand('undo-two')\", 'QENConditions.english');\n"
                         "QENAddToUninstallScript(\"TestCommand('undo-never')\", '!QENConditions.english');\n";
    {
        QENEngineMac installer(controller_, log_, MakeImage(image), clientProperties_);
        AddTestCommands(installer, journal_);
        ASSERT_TRUE(installer.InstallQENPayload()) << log_.Dump();
    }
    ASSERT_TRUE(Exists(UninstallScript(kCode)));
    journal_->clear();
    controller_.calls.clear();
    log_.lines.clear();

    QENEngineMac remover(controller_, log_, std::string(kCode), clientProperties_);
    AddTestCommands(remover, journal_);
    ASSERT_TRUE(remover.UninstallQENPayload()) << log_.Dump();
    EXPECT_EQ(JournalLines(),
              (std::vector<std::string>{"perform undo-two", "perform undo-one", "commit undo-one", "commit undo-two"}));
    EXPECT_EQ(controller_.Without("HandleControlMessages"),
              (std::vector<std::string>{"InstallStarted", "InstallFractionComplete 0.25", "InstallFractionComplete 0.5",
                                        "InstallFractionComplete 0.75", "InstallFractionComplete 1",
                                        "InstallComplete 1"}));
    EXPECT_EQ(log_.lines.front(), "4 Beginning uninstallation for payload.");
    EXPECT_TRUE(log_.Has("4 Processing payload " + std::string(kCode) + " (remove)"));
    EXPECT_TRUE(log_.Has("4 INSTALL_MODE=remove"));
    EXPECT_EQ(log_.lines.back(), "4 Completing uninstallation for payload.");
    EXPECT_FALSE(Exists(UninstallScript(kCode)));
    // The payload never had an uninstall database: there is nothing to delete and no error.
    for (const std::string& line : log_.lines)
        EXPECT_NE(line.compare(0, 2, "2 "), 0) << log_.Dump();
}

TEST_F(QENUninstallScriptTest, DeclarationsAreVisibleAcrossTheWholeStoredScript)
{
    // A helper recorded first is stored last, after the entries that use it: the two-entry form,
    // and one whose 1 200 uses run in pieces of calls before the piece that declares it.
    const std::string helper = "function Helper(p) {\n    TestCommand('undo-' + p + late);\n}\nvar late = '!';\n";
    std::string many;
    for (int i = 1200; i >= 1; --i)
        many += "Helper('" + std::to_string(i) + "');\nSetFractionComplete(" + std::to_string(1201 - i) + ", 1201);\n";
    for (const auto& script :
         {std::make_pair("Helper('h');\nSetFractionComplete(1, 2);\n" + helper + "SetFractionComplete(2, 2);\n",
                         std::size_t(1)),
          std::make_pair(many + helper + "SetFractionComplete(1201, 1201);\n", std::size_t(1200))}) {
        WriteUninstallScript(kCode, script.first);
        journal_->clear();
        log_.lines.clear();
        QENEngineMac remover(controller_, log_, std::string(kCode), clientProperties_);
        AddTestCommands(remover, journal_);
        ASSERT_TRUE(remover.UninstallQENPayload()) << log_.Dump();
        const std::vector<std::string> journal = JournalLines();
        ASSERT_EQ(journal.size(), 2 * script.second);
        // The variable is declared from the start, and assigned only where the script assigns it.
        EXPECT_EQ(journal.front(), script.second == 1 ? "perform undo-hundefined" : "perform undo-1200undefined");
    }
    // A syntax error in the last piece stops the playback before its first entry runs.
    WriteUninstallScript(kCode, many + "function Broken( {\n");
    journal_->clear();
    QENEngineMac remover(controller_, log_, std::string(kCode), clientProperties_);
    AddTestCommands(remover, journal_);
    EXPECT_FALSE(remover.UninstallQENPayload());
    EXPECT_TRUE(JournalLines().empty());
}

TEST_F(QENUninstallScriptTest, AFailedUninstallRollsBackAndKeepsScriptAndDatabase)
{
    WriteUninstallScript(kCode, "TestCommand('undo');\nthrow new Error('cannot remove');\n");
    tolktest::WriteTextFile(UninstallDB(kCode), "db");
    QENEngineMac remover(controller_, log_, std::string(kCode), clientProperties_);
    AddTestCommands(remover, journal_);
    EXPECT_FALSE(remover.UninstallQENPayload());
    EXPECT_EQ(JournalLines(), (std::vector<std::string>{"perform undo", "rollback undo"}));
    EXPECT_TRUE(Exists(UninstallScript(kCode)));
    EXPECT_TRUE(Exists(UninstallDB(kCode)));
    EXPECT_EQ(controller_.calls.back(), "InstallComplete 0");
}

TEST_F(QENUninstallScriptTest, UninstallBySessionIDAndWithoutAnyIdentifier)
{
    WriteUninstallScript("SESSIONKEY", "QENLogMessage(1, 'bootstrapper removed');\n");
    tolktest::WriteTextFile(UninstallDB("SESSIONKEY"), "db");
    EXPECT_TRUE(QENEngine::UninstallPayload(controller_, log_, "", {{"sessionID", "SESSIONKEY"}})) << log_.Dump();
    EXPECT_TRUE(log_.Has("4 bootstrapper removed"));
    EXPECT_FALSE(Exists(UninstallScript("SESSIONKEY")));
    EXPECT_FALSE(Exists(UninstallDB("SESSIONKEY")));

    log_.lines.clear();
    controller_.calls.clear();
    EXPECT_FALSE(QENEngine::UninstallPayload(controller_, log_, "", QENEngine::PropertyMap()));
    EXPECT_TRUE(log_.Has("2 Unable to locate uninstall instructions."));
    EXPECT_EQ(log_.Dump().find("Reading instructions"), std::string::npos) << log_.Dump();
    EXPECT_EQ(controller_.calls, (std::vector<std::string>{"InstallStarted", "InstallComplete 0"}));
}

TEST_F(QENUninstallScriptTest, AMissingScriptFailsTheUninstall)
{
    EXPECT_FALSE(QENEngine::UninstallPayload(controller_, log_, kCode, clientProperties_));
    EXPECT_TRUE(log_.Has("2 Unable to read instructions from " + UninstallScript(kCode))) << log_.Dump();
}

TEST_F(QENUninstallScriptTest, UninstallPropertyDumpShowsTheClientValue)
{
    WriteUninstallScript(kCode, "");
    clientProperties_["Library"] = "/custom/Library";
    EXPECT_TRUE(QENEngine::UninstallPayload(controller_, log_, kCode, clientProperties_));
    const std::size_t begin = log_.Index("4 BEGIN - QEN Uninstall properties");
    const std::size_t end = log_.Index("4 END - QEN Uninstall properties");
    ASSERT_LT(begin, end);
    EXPECT_LT(log_.Index("4 Library=/custom/Library"), end);
    EXPECT_GT(log_.Index("4 Library=/custom/Library"), begin);
    EXPECT_TRUE(log_.Has("4 installLanguage=en_US"));
    EXPECT_FALSE(log_.Has("4 Library=" + sysroot_.Path("/Library")));
}

TEST_F(QENUninstallScriptTest, AnInstallPlaysTheScriptsOfThePayloadsItUpgrades)
{
    RecordInstalled({{"COLLECTION-B", "{B}"}, {"COLLECTION-A", "{A}"}});
    WriteUninstallScript("{A}", "TestCommand('undo-A');\n");
    WriteUninstallScript("{B}", "TestCommand('undo-B');\n");
    WriteUninstallScript("COLLECTION-A", "TestCommand('undo-collection-A');\n");
    tolktest::WriteTextFile(UninstallDB("{A}"), "db");
    PayloadImage image;
    image.upgrades = {"{B}", "{A}"};
    image.instructions = "TestCommand('new');\n";
    const FileSystemPath path = MakeImage(image);

    QENEngineMac engine(controller_, log_, path, clientProperties_);
    AddTestCommands(engine, journal_);
    ASSERT_TRUE(engine.InstallQENPayload()) << log_.Dump();
    EXPECT_EQ(JournalLines(), (std::vector<std::string>{"perform undo-A", "perform undo-B", "perform undo-collection-A",
                                                        "perform new", "commit new", "commit undo-collection-A",
                                                        "commit undo-B", "commit undo-A"}));
    EXPECT_LT(log_.Index("5 Uninstalling {A} as part of upgrade installation."),
              log_.Index("5 Uninstalling {B} as part of upgrade installation."));
    EXPECT_TRUE(log_.Has("4 Processing payload {A} (remove)"));
    EXPECT_TRUE(log_.Has("5 Uninstalling sessionID COLLECTION-A as part of upgrade installation."));
    EXPECT_TRUE(log_.Has("5 Uninstall script for sessionID COLLECTION-B not found, skipping removal.")) << log_.Dump();
    EXPECT_TRUE(log_.Has("5 Uninstall database for {B} not found, skipping removal."));
    EXPECT_EQ(log_.Count("5 Removal finished"), 1u);
    EXPECT_LT(log_.Index("5 Removal finished"), log_.Index("4 Processing payload " + std::string(kCode) + " (install)"));

    for (const char* gone : {"{A}", "{B}", "COLLECTION-A"})
        EXPECT_FALSE(Exists(UninstallScript(gone))) << gone;
    EXPECT_FALSE(Exists(UninstallDB("{A}")));
    EXPECT_TRUE(Exists(UninstallScript(kCode)));
}

TEST_F(QENUninstallScriptTest, AFailedUpgradeInstallKeepsTheUpgradedScripts)
{
    RecordInstalled({{"COLLECTION-A", "{A}"}});
    WriteUninstallScript("{A}", "TestCommand('undo-A');\n");
    tolktest::WriteTextFile(UninstallDB("{A}"), "db");
    PayloadImage image;
    image.upgrades = {"{A}"};
    image.instructions = "TestCommand('new');\nthrow 'new payload broken';\n";
    QENEngineMac engine(controller_, log_, MakeImage(image), clientProperties_);
    AddTestCommands(engine, journal_);
    EXPECT_FALSE(engine.InstallQENPayload());
    EXPECT_EQ(JournalLines(),
              (std::vector<std::string>{"perform undo-A", "perform new", "rollback new", "rollback undo-A"}));
    EXPECT_TRUE(Exists(UninstallScript("{A}")));
    EXPECT_TRUE(Exists(UninstallDB("{A}")));
}

TEST_F(QENUninstallScriptTest, UpgradedPayloadsWithoutStoredScriptsAreSkipped)
{
    RecordInstalled({{"COLLECTION-C", "{C}"}});
    PayloadImage image;
    image.upgrades = {"{C}", "{NOT-INSTALLED}"};
    image.instructions = "TestCommand('new');\n";
    QENEngineMac engine(controller_, log_, MakeImage(image), clientProperties_);
    AddTestCommands(engine, journal_);
    EXPECT_TRUE(engine.InstallQENPayload()) << log_.Dump();
    EXPECT_TRUE(log_.Has("5 Uninstall script for {C} not found, skipping removal."));
    EXPECT_TRUE(log_.Has("5 Uninstall database for {C} not found, skipping removal."));
    EXPECT_TRUE(log_.Has("5 Uninstall script for sessionID COLLECTION-C not found, skipping removal."));
    EXPECT_EQ(log_.Dump().find("{NOT-INSTALLED}"), std::string::npos);
    EXPECT_FALSE(log_.Has("5 Removal finished"));
    EXPECT_EQ(JournalLines(), (std::vector<std::string>{"perform new", "commit new"}));
}
