// The script functions of the installation-database commands: argument rules, results, and the
// database lock that refuses further database calls of the run once one has run its command.
#include "QENDatabaseTestSupport.h"

using namespace qentest;

namespace {

// A QENCAPSWritePayloadData call; the given arguments replace the defaults by position.
std::string WritePayloadCall(const std::map<int, std::string>& replaced = {})
{
    std::vector<std::string> arguments = {
        "'c1'", "'{P}'", "'Family'", "'Sample'", "'2.0'", "'b7'", "'en_US'", "'/Applications/Sample'", "'unused'",
        "true", "'unused'", "'unused'", "['sessionID', 'INSTALLDIR', 'sessionID']", "['c1', '/A', 'second']", "[]",
        "[]", "undefined", "'/p.dmg'", "'install'"};
    for (const auto& entry : replaced)
        arguments[static_cast<std::size_t>(entry.first)] = entry.second;
    std::string call = "QENCAPSWritePayloadData(" + arguments[0];
    for (std::size_t index = 1; index < arguments.size(); ++index)
        call += ", " + arguments[index];
    return call + ")";
}

class QENCAPSFunctionsTest : public QENDatabaseScriptTest {};

}  // namespace

TEST_F(QENCAPSFunctionsTest, AWriteLocksTheDatabaseForTheRestOfTheRun)
{
    SeedCollection("c1", "{P}");
    EXPECT_EQ(Eval(WritePayloadCall()), "true") << log_.Dump();
    EXPECT_TRUE(globals_->IsCAPSLocked());

    // Refused before the argument count is looked at, each naming itself.
    log_.lines.clear();
    EXPECT_EQ(Eval("QENCAPSWriteCollectionData()"), "code -33");
    EXPECT_EQ(Eval("QENCAPSWritePayloadData(1)"), "code -33");
    EXPECT_EQ(Eval("QENCAPSRemovePayloadData('c1', 'x')"), "code -33");
    EXPECT_EQ(Eval("QENCAPSRemoveCollectionData('c1')"), "code -33");
    EXPECT_EQ(log_.lines, (Strings{"2 Unexpected call to QENCAPSWriteCollectionData after CAPS has been locked.",
                                   "2 Unexpected call to QENCAPSWritePayloadData after CAPS has been locked.",
                                   "2 Unexpected call to QENCAPSRemovePayloadData after CAPS has been locked.",
                                   "2 Unexpected call to QENCAPSRemoveCollectionData after CAPS has been locked."}));

    EXPECT_EQ(engine_->PerformedCommandCount(), 1u);
    EXPECT_TRUE(engine_->CommitPerformedCommands());
    EXPECT_EQ(Links(), Strings{"c1 {P} 2"});
    // A repeated property key keeps its first value.
    EXPECT_EQ(Rows("SELECT key, value FROM payload_data WHERE domain = '5' ORDER BY 1", 2),
              (Strings{"INSTALLDIR /A", "sessionID c1"}));

    // The next run may write again.
    StartRun();
    EXPECT_EQ(Eval("QENCAPSRemovePayloadData('c1', '{P}')"), "true") << log_.Dump();
    EXPECT_TRUE(engine_->CommitPerformedCommands());
    EXPECT_TRUE(Payloads().empty());
}

TEST_F(QENCAPSFunctionsTest, AFailedOrStoppedWriteStillLocks)
{
    // "c9" holds no such payload: the command fails and the call answers false.
    EXPECT_EQ(Eval("QENCAPSRemovePayloadData('c9', '{X}')"), "false");
    EXPECT_TRUE(globals_->IsCAPSLocked());
    EXPECT_EQ(Eval("QENCAPSWriteCollectionData('c1', '', '/Media', '')"), "code -33");

    StartRun();
    controller_.stopAt = controller_.asked + 1;
    EXPECT_EQ(Eval("QENCAPSRemoveCollectionData('c1')"), "code -34");
    EXPECT_TRUE(globals_->IsCAPSLocked());
    EXPECT_EQ(engine_->PerformedCommandCount(), 0u);
}

TEST_F(QENCAPSFunctionsTest, ArgumentFailuresEndTheCallBeforeACommandExistsAndDoNotLock)
{
    EXPECT_EQ(Eval("QENCAPSRemoveCollectionData()"), "code 20");
    EXPECT_EQ(Eval("QENCAPSRemovePayloadData('c1')"), "code 20");
    EXPECT_EQ(Eval("QENCAPSWriteCollectionData('c1', '', '/x')"), "code 20");
    EXPECT_EQ(Eval(WritePayloadCall({{18, "'install', 1"}})), "code 20");
    EXPECT_EQ(Eval(WritePayloadCall({{12, "'sessionID'"}})), "code 20");
    EXPECT_EQ(Eval(WritePayloadCall({{13, "['c1']"}})), "code 20");
    EXPECT_EQ(Eval(WritePayloadCall({{14, "'{X}'"}})), "code 20");
    EXPECT_EQ(Eval(WritePayloadCall({{15, "null"}})), "code 20");
    EXPECT_EQ(log_.lines,
              (Strings{"5 Unable to get property keys & values array in CAPS write payload data.",
                       "5 CAPS write payload data call doesn't include an equal number of property keys & values.",
                       "5 Unable to get conflict array in CAPS write payload data.",
                       "5 Unable to get upgrades array in CAPS write payload data."}));
    EXPECT_FALSE(globals_->IsCAPSLocked());
    EXPECT_EQ(engine_->PerformedCommandCount(), 0u);
}

TEST_F(QENCAPSFunctionsTest, WriteCollectionTakesOptionalAndConvertedArguments)
{
    EXPECT_EQ(Eval("QENCAPSWriteCollectionData('c1', undefined, 42, null)"), "true") << log_.Dump();
    EXPECT_TRUE(engine_->CommitPerformedCommands());
    EXPECT_EQ(Collections(), Strings{"c1 "});
    EXPECT_EQ(CollectionData(), (Strings{"c1 0 aliasPath ", "c1 0 installSourcePath 42"}));
}
