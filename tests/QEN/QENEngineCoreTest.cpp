#include "QENTestSupport.h"

#include <gtest/gtest.h>

using qentest::Journal;
using qentest::RecordingController;
using qentest::RecordingLog;
using qentest::TestCommand;

namespace {

class QENEngineCoreTest : public ::testing::Test {
protected:
    QENEngineCoreTest() : journal_(new std::vector<std::string>) {}

    QENCommandPtr Command(QENEngine& engine, const std::string& name, const std::string& faults = "")
    {
        return QENCommandPtr(new TestCommand(engine.Log(), name, journal_, faults));
    }

    RecordingLog log_;
    RecordingController controller_;
    Journal journal_;
};

}  // namespace

TEST_F(QENEngineCoreTest, CommitsNewestFirstWithTheNumbersTheCommandsWerePerformedUnder)
{
    QENEngine engine(controller_, log_, "{id}", QENEngine::PropertyMap());
    for (const char* name : {"first", "second", "third"})
        ASSERT_EQ(engine.ProcessCommand(Command(engine, name)), QENEngine::kCommandPerformed);
    ASSERT_EQ(engine.PerformedCommandCount(), 3u);

    log_.lines.clear();
    journal_->clear();
    EXPECT_TRUE(engine.CommitPerformedCommands());
    EXPECT_EQ(*journal_, (std::vector<std::string>{"commit third", "commit second", "commit first"}));
    EXPECT_EQ(log_.lines, (std::vector<std::string>{"5 Committing prior actions...", "5 3 commit third",
                                                    "5 2 commit second", "5 1 commit first"}));
    EXPECT_EQ(engine.PerformedCommandCount(), 0u);

    // The filter is back to unnumbered lines afterwards.
    engine.Log().AppendToLog(LogAppender::kLogInfo, "after");
    EXPECT_EQ(log_.lines.back(), "4 after");
}

TEST_F(QENEngineCoreTest, AFailingCommitStillCommitsTheOlderCommands)
{
    QENEngine engine(controller_, log_, "{id}", QENEngine::PropertyMap());
    engine.ProcessCommand(Command(engine, "first"));
    engine.ProcessCommand(Command(engine, "second", "fail-commit"));
    engine.ProcessCommand(Command(engine, "third"));
    journal_->clear();

    EXPECT_FALSE(engine.CommitPerformedCommands());
    EXPECT_EQ(*journal_, (std::vector<std::string>{"commit third", "commit second", "commit first"}));
    EXPECT_TRUE(log_.Has("2 2 Error committing command TestCommand(second)")) << log_.Dump();
    EXPECT_EQ(engine.PerformedCommandCount(), 0u);
}

TEST_F(QENEngineCoreTest, RollsBackNewestFirstEvenPastAFailureOrAnException)
{
    QENEngine engine(controller_, log_, "{id}", QENEngine::PropertyMap());
    engine.ProcessCommand(Command(engine, "first"));
    engine.ProcessCommand(Command(engine, "second", "throw-rollback"));
    engine.ProcessCommand(Command(engine, "third", "fail-rollback"));
    journal_->clear();

    EXPECT_FALSE(engine.RollbackPerformedCommands());
    EXPECT_EQ(*journal_, (std::vector<std::string>{"rollback third", "rollback second", "rollback first"}));
    EXPECT_TRUE(log_.Has("5 Rolling back prior actions..."));
    EXPECT_TRUE(log_.Has("2 3 Error rolling back command TestCommand(third)")) << log_.Dump();
    EXPECT_TRUE(log_.Has("2 2 Error rolling back command TestCommand(second)")) << log_.Dump();
    EXPECT_TRUE(log_.Has("5 1 rollback first"));
    EXPECT_EQ(engine.PerformedCommandCount(), 0u);
}

TEST_F(QENEngineCoreTest, EmptyStackCommitsAndRollsBackWithOnlyTheOpeningLine)
{
    QENEngine engine(controller_, log_, "{id}", QENEngine::PropertyMap());
    EXPECT_TRUE(engine.CommitPerformedCommands());
    EXPECT_TRUE(engine.RollbackPerformedCommands());
    EXPECT_EQ(log_.lines, (std::vector<std::string>{"5 Committing prior actions...", "5 Rolling back prior actions..."}));
}

TEST_F(QENEngineCoreTest, AFailedPerformIsReportedAndNotKeptSoTheNextCommandTakesItsNumber)
{
    QENEngine engine(controller_, log_, "{id}", QENEngine::PropertyMap());
    ASSERT_EQ(engine.ProcessCommand(Command(engine, "one")), QENEngine::kCommandPerformed);
    QENCommandPtr failing = Command(engine, "two", "fail-perform");
    EXPECT_EQ(engine.ProcessCommand(failing), QENEngine::kCommandFailed);
    EXPECT_TRUE(failing->IsPerformed());  // performed is set whatever the perform gave
    ASSERT_EQ(engine.ProcessCommand(Command(engine, "three")), QENEngine::kCommandPerformed);

    EXPECT_TRUE(log_.Has("5 1 perform one"));
    EXPECT_TRUE(log_.Has("5 2 perform two"));
    EXPECT_TRUE(log_.Has("2 2 Command TestCommand(two) failed.")) << log_.Dump();
    EXPECT_TRUE(log_.Has("5 2 perform three"));
    EXPECT_EQ(engine.PerformedCommandCount(), 2u);

    journal_->clear();
    engine.RollbackPerformedCommands();
    EXPECT_EQ(*journal_, (std::vector<std::string>{"rollback three", "rollback one"}));
}

TEST_F(QENEngineCoreTest, ATerminationRequestRunsNothing)
{
    controller_.stopAt = 2;
    QENEngine engine(controller_, log_, "{id}", QENEngine::PropertyMap());
    ASSERT_EQ(engine.ProcessCommand(Command(engine, "one")), QENEngine::kCommandPerformed);
    QENCommandPtr refused = Command(engine, "two");
    EXPECT_EQ(engine.ProcessCommand(refused), QENEngine::kCommandTerminated);
    EXPECT_FALSE(refused->IsPerformed());
    EXPECT_EQ(*journal_, std::vector<std::string>{"perform one"});
    EXPECT_EQ(engine.PerformedCommandCount(), 1u);
    EXPECT_TRUE(log_.Has("4 2 Termination request received; stopping command processing.")) << log_.Dump();
}

TEST_F(QENEngineCoreTest, LogFilterPrefixesOnlyWhileACommandIsNumbered)
{
    QENEngine::EngineLogFilter filter(log_);
    filter.AppendToLog(LogAppender::kLogWarn, "plain");
    EXPECT_EQ(filter.SetCommandNumber(4), 0u);
    filter.AppendToLog(LogAppender::kLogWarn, "plain");
    filter.AppendToLog(LogAppender::kLogWarn, static_cast<const char*>(nullptr));
    EXPECT_EQ(filter.SetCommandNumber(0), 4u);
    EXPECT_EQ(log_.lines, (std::vector<std::string>{"3 plain", "3 4 plain"}));
}

TEST_F(QENEngineCoreTest, PropertiesKeepTheEngineAndTheCallerInCharge)
{
    class Engine : public QENEngine {
    public:
        using QENEngine::QENEngine;
        void Determine(const std::string& name, const std::string& value) { InsertDeterminedProperty(name, value); }
    };
    QENEngine::PropertyMap client = {{"shared", "client"}, {"clientOnly", "c"}};
    Engine engine(controller_, log_, "{id}", client);
    engine.Determine("shared", "determined");
    engine.Determine("shared", "second value ignored");
    engine.Determine("determinedOnly", "d");
    engine.SetProperty("clientOnly", "script");
    engine.SetProperty("scriptOnly", "s1");
    engine.SetProperty("scriptOnly", "s2");

    std::string value = "untouched";
    EXPECT_TRUE(engine.GetProperty("shared", value));
    EXPECT_EQ(value, "determined");
    EXPECT_TRUE(engine.GetProperty("clientOnly", value));
    EXPECT_EQ(value, "c");
    EXPECT_TRUE(engine.GetProperty("scriptOnly", value));
    EXPECT_EQ(value, "s2");
    value = "untouched";
    EXPECT_FALSE(engine.GetProperty("missing", value));
    EXPECT_EQ(value, "untouched");

    const QENEngine::PropertyMap all = engine.GetAllProperties();
    EXPECT_EQ(all, (QENEngine::PropertyMap{
                       {"clientOnly", "c"}, {"determinedOnly", "d"}, {"scriptOnly", "s2"}, {"shared", "client"}}));
    EXPECT_EQ(engine.GetClientProperties(), client);
}

TEST_F(QENEngineCoreTest, BaseInstallRunReportsStartAndEndOnlyForAnImage)
{
    QENEngine byIdentifier(controller_, log_, "{id}", QENEngine::PropertyMap());
    EXPECT_FALSE(byIdentifier.InstallQENPayload());
    EXPECT_TRUE(controller_.calls.empty());
    EXPECT_FALSE(byIdentifier.AddToUninstallInstructions("x", ""));
    EXPECT_FALSE(byIdentifier.SaveUninstallInstructions());

    QENEngine byImage(controller_, log_, FileSystemPath(std::string("/tmp/Payload.dmg")), QENEngine::PropertyMap());
    EXPECT_TRUE(byImage.InstallQENPayload());
    EXPECT_EQ(controller_.calls, (std::vector<std::string>{"InstallStarted", "InstallComplete 1"}));
    EXPECT_EQ(log_.lines, (std::vector<std::string>{"4 Beginning installation for payload at /tmp/Payload.dmg",
                                                    "4 Completing installation for payload at /tmp/Payload.dmg"}));
}

TEST_F(QENEngineCoreTest, ReleasingAnEngineNeitherCommitsNorRollsBack)
{
    {
        QENEngine engine(controller_, log_, "{id}", QENEngine::PropertyMap());
        engine.ProcessCommand(Command(engine, "one"));
    }
    EXPECT_EQ(*journal_, std::vector<std::string>{"perform one"});
}
