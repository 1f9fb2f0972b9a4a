// Install runs whose scripts record the collection in the installation database and store
// relocation data: what is left after a run that succeeds and after one whose later command fails.
#include "QENDatabaseTestSupport.h"

using namespace qentest;

namespace {

class QENDatabaseRunTest : public WithDatabase<QENRunTest> {
protected:
    bool Install(const std::string& tail)
    {
        const std::string item = sysroot_.Scratch() + "/item";
        tolktest::WriteTextFile(item, "item");
        PayloadImage image;
        image.instructions = "if (!QENCAPSWriteCollectionData('{S}', QENGetProperty('orvexCode'), '/Media', '/U'))\n"
                             "    throw new Error('collection not recorded');\n"
                             "if (!QENStoreRelocationData('{S}', ['" + item + "'], []))\n"
                             "    throw new Error('relocation data not stored');\n" + tail;
        QENEngineMac engine(controller_, log_, MakeImage(image), clientProperties_);
        AddTestCommands(engine, journal_);
        return engine.InstallQENPayload();
    }
    Strings PathAliases() { return RowsOf(UninstallDbFile("{S}"), "SELECT installPath FROM path_aliases", 1); }
};

}  // namespace

TEST_F(QENDatabaseRunTest, ARunThatSucceedsCommitsTheRecordsAndTheRelocationData)
{
    ASSERT_TRUE(Install("TestCommand('last');\n")) << log_.Dump();
    EXPECT_EQ(Collections(), Strings{"{S} {11111111-2222-3333-4444-555555555555}"});
    EXPECT_EQ(CollectionData(), (Strings{"{S} 0 aliasPath /U", "{S} 0 installSourcePath /Media"}));
    EXPECT_EQ(PathAliases(), Strings{sysroot_.Scratch() + "/item"});
    // Committed newest first, each command's lines under its number.
    EXPECT_LT(log_.Index("5 3 commit last"), log_.Index("5 2 Committed"));
}

TEST_F(QENDatabaseRunTest, ARunWhoseLaterCommandFailsLeavesNoRecords)
{
    EXPECT_FALSE(Install("if (!TestCommand('last', 'fail-perform')) throw new Error('failed');\n"));
    EXPECT_TRUE(Collections().empty());
    EXPECT_TRUE(CollectionData().empty());
    EXPECT_EQ(PathAliases(), Strings{});
    EXPECT_TRUE(log_.Has("5 2 Rolled back")) << log_.Dump();

    // A refused second write ends the script too.
    EXPECT_FALSE(Install("QENCAPSWritePayloadData();\n"));
    EXPECT_TRUE(log_.Has("2 Unexpected call to QENCAPSWritePayloadData after CAPS has been locked."));
    EXPECT_TRUE(Collections().empty());
    EXPECT_EQ(PathAliases(), Strings{});
}
