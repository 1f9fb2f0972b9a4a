// Install runs whose scripts record the collection in the installation database and store
// relocation data: what is left after a run that succeeds and after one whose later command fails.
#include "QENDatabaseTestSupport.h"

#include "Common/source/xplat/FileSystemUtils.h"

#include "platform/FaultInjection.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

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
    static Strings Names(const std::string& folder)
    {
        Strings names;
        for (const std::filesystem::directory_entry& entry : std::filesystem::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
        return names;
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
    // The records first, then the rest newest first, each command's lines under its number.
    EXPECT_LT(log_.Index("5 2 Committed"), log_.Index("5 3 commit last"));
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

TEST_F(QENDatabaseRunTest, ARunWhoseRecordsCannotBeCommittedFailsAndRollsBack)
{
    // Another process reads the database for longer than the busy time-out: the run's writes go
    // in, but their commit cannot.
    capstest::RawDatabase reader(DbFile());
    ASSERT_EQ(reader.Exec("BEGIN; SELECT count(*) FROM pcd_meta;"), SQLITE_OK);
    const std::string copy = sysroot_.Scratch() + "/copy";
    EXPECT_FALSE(Install("if (!QENCopyFile('" + sysroot_.Scratch() + "/item', '" + copy + "'))\n"
                         "    throw new Error('not copied');\n"
                         "TestCommand('last');\n"));
    reader.Exec("COMMIT");

    EXPECT_TRUE(Collections().empty());
    EXPECT_FALSE(std::filesystem::exists(copy));
    EXPECT_EQ(*journal_, (Strings{"perform last", "rollback last"}));
    EXPECT_TRUE(log_.Has("2 1 Error committing command QENCAPSWriteCollectionDataCommand")) << log_.Dump();
    EXPECT_TRUE(log_.Has("2 The records of the run could not be committed; rolling the run back."));
    EXPECT_EQ(controller_.calls.back(), "InstallComplete 0");
    // The relocation data committed before the records go back with them: the database that
    // the run made goes.
    EXPECT_EQ(Names(UninstallFolder()), Strings{}) << log_.Dump();

    // Stored by a run that succeeds, they stay through a run that deletes them and fails so.
    ASSERT_TRUE(Install("")) << log_.Dump();
    ASSERT_EQ(reader.Exec("BEGIN; SELECT count(*) FROM pcd_meta;"), SQLITE_OK);
    PayloadImage removal;
    removal.instructions =
        "if (!QENDeleteRelocationData('{S}')) throw new Error('not deleted');\n"
        "if (!QENCAPSWriteCollectionData('{S}', QENGetProperty('orvexCode'), '/Other', '/U'))\n"
        "    throw new Error('collection not recorded');\n";
    QENEngineMac engine(controller_, log_, MakeImage(removal), clientProperties_);
    EXPECT_FALSE(engine.InstallQENPayload());
    reader.Exec("COMMIT");
    EXPECT_EQ(PathAliases(), Strings{sysroot_.Scratch() + "/item"}) << log_.Dump();
    // No copy of it is left behind.
    const Strings names = Names(UninstallFolder());
    EXPECT_EQ(std::count_if(names.begin(), names.end(), [](const std::string& name) { return name[0] == '.'; }), 0)
        << ::testing::PrintToString(names);
}

TEST_F(QENDatabaseRunTest, ACopyThatFillsTheDiskRestoresEveryEarlierFileAndRecordsNothing)
{
    const std::string scratch = sysroot_.Scratch();
    tolktest::WriteTextFile(scratch + "/old.txt", "old");
    platform::SetFaultHookForTesting([&](const std::string& operation, const std::string& path) {
        return operation == "copy-data" && path == scratch + "/old.txt" ? ENOSPC : 0;
    });
    PayloadImage image;
    image.instructions = "var assets = QENGetProperty('QEN_ASSETS');\n"
                         "function must(done) { if (!done) throw new Error('failed'); }\n"
                         "must(QENCreateDirectory('" + scratch + "/app'));\n"
                         "must(QENCopyFile(assets + '/readme.txt', '" + scratch + "/app/one'));\n"
                         "must(QENCopyFile(assets + '/readme.txt', '" + scratch + "/app/two'));\n"
                         "must(QENDeleteFile('" + scratch + "/old.txt'));\n"
                         "must(QENCopyFile(assets + '/readme.txt', '" + scratch + "/old.txt'));\n"
                         "must(QENCAPSWriteCollectionData('{S}', '', '/Media', ''));\n";
    QENEngineMac engine(controller_, log_, MakeImage(image), clientProperties_);
    EXPECT_FALSE(engine.InstallQENPayload());
    platform::SetFaultHookForTesting(platform::FaultHook());

    EXPECT_FALSE(std::filesystem::exists(scratch + "/app"));
    EXPECT_EQ(tolktest::ReadTextFile(scratch + "/old.txt"), "old");
    EXPECT_TRUE(Collections().empty());
    // Why, for the log: the copy's source lies on the mounted image.
    EXPECT_THAT(FileSystemUtils::LastFailureReason(),
                ::testing::EndsWith("/readme.txt\" to \"" + scratch + "/old.txt\": No space left on device"));
}
