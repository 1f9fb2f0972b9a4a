// The relocation-data commands and their script functions against real uninstall databases:
// stored, rolled back or committed, read back and resolved to the items' present places.
#include "QENDatabaseTestSupport.h"

#include "Common/source/mac/FileSystemUtilsMac.h"
#include "Common/source/xplat/Base64.h"
#include "QEN/source/mac/QENDeleteRelocationDataCommand.h"
#include "QEN/source/mac/QENStoreRelocationDataCommand.h"
#include "caps/UninstallDBAccess.h"

#include <filesystem>
#include <iterator>

using namespace qentest;

namespace {

class QENRelocationTest : public QENDatabaseScriptTest {
protected:
    void SetUp() override
    {
        QENDatabaseScriptTest::SetUp();
        tolktest::MakeFolders(Item("Volume"));
        for (const char* name : {"a", "b", "c"})
            tolktest::WriteTextFile(Item(name), name);
    }

    std::string Item(const std::string& name) const { return sysroot_.Scratch() + "/" + name; }

    // What the key's database holds committed, read back as the engine reads it: "path -> present
    // path" per path alias, "token volume -> present path" per token ("?" when it does not resolve).
    Strings Stored(const std::string& key)
    {
        if (!Exists(UninstallDbFile(key)))
            return Strings{"no database"};
        boost::shared_ptr<UninstallDBAccess> access;
        EXPECT_EQ(UninstallDBAccess::Create(key, access), kCapsOK);
        EXPECT_EQ(access->Open(), kCapsOK);
        UninstallDBAccess::AliasDataMap aliases;
        UninstallDBAccess::TokenVolumeDataSet volumes;
        access->GetAliasDataForAllPaths(aliases);
        access->GetTokenVolumeDataForAllTokens(volumes);
        Strings rows;
        for (const auto& alias : aliases)
            rows.push_back(alias.first + " -> " + Resolve(alias.second));
        for (const UninstallDBAccess::TokenVolumeData& volume : volumes)
            rows.push_back(volume.token + " " + volume.volumePath + " -> " + Resolve(volume.volumeAliasData));
        return rows;
    }
    static std::string Resolve(const std::string& aliasText)
    {
        bool ok = false;
        std::vector<std::uint8_t> record;
        ZEB::Base64Decode(aliasText.begin(), aliasText.end(), std::back_inserter(record), ok);
        FileSystemPath present;
        return ok && FileSystemUtilsMac::ResolveMacAliasDataToPath(record, present) ? present.AsUTF8String() : "?";
    }

    QENCommandPtr Store(const std::string& key, const QENStoreRelocationDataCommand::PathList& paths,
                        const QENStoreRelocationDataCommand::TokenVolumeMap& volumes = {})
    {
        return QENCommandPtr(new QENStoreRelocationDataCommand(log_, key, paths, volumes));
    }
};

}  // namespace

TEST_F(QENRelocationTest, StoredDataIsCommittedAndResolvesToWhereTheItemsMoved)
{
    QENCommandPtr store = Store("{KEY}", {Item("a"), Item("b")}, {{"OrvexVolume", Item("Volume")}});
    ASSERT_TRUE(store->Perform()) << log_.Dump();
    EXPECT_EQ(Stored("{KEY}"), Strings{});  // not committed yet
    ASSERT_TRUE(store->Commit());
    EXPECT_EQ(log_.lines, (Strings{"5 Storing relocation data for storage key {KEY}", "5 Stored", "5 Committed"}));

    std::filesystem::rename(Item("a"), Item("a moved"));
    std::filesystem::rename(Item("Volume"), Item("Volume moved"));
    EXPECT_EQ(Stored("{KEY}"), (Strings{Item("a") + " -> " + Item("a moved"), Item("b") + " -> " + Item("b"),
                                        "OrvexVolume " + Item("Volume") + " -> " + Item("Volume moved")}));

    // Storing a path again replaces its row only; a rolled-back store leaves nothing.
    std::filesystem::rename(Item("a moved"), Item("a"));
    ASSERT_TRUE(Store("{KEY}", {Item("c")})->Perform());  // released uncommitted
    QENCommandPtr again = Store("{KEY}", {Item("a")}, {{"T", Item("c")}});
    ASSERT_TRUE(again->Perform());
    ASSERT_TRUE(again->Rollback());
    EXPECT_EQ(log_.lines.back(), "5 Rolled back");
    again = Store("{KEY}", {Item("a")});
    ASSERT_TRUE(again->Perform());
    ASSERT_TRUE(again->Commit());
    EXPECT_EQ(Stored("{KEY}"), (Strings{Item("a") + " -> " + Item("a"), Item("b") + " -> " + Item("b"),
                                        "OrvexVolume " + Item("Volume") + " -> " + Item("Volume moved")}));
}

TEST_F(QENRelocationTest, AnItemThatCannotBeAliasedIsLeftOutAndTheRestStored)
{
    QENCommandPtr store = Store("{KEY}", {Item("a"), Item("missing"), "relative", Item("c")},
                                {{"b", Item("no volume")}, {"a", Item("gone")}, {"c", Item("Volume")}});
    ASSERT_TRUE(store->Perform());
    ASSERT_TRUE(store->Commit());
    EXPECT_EQ(Stored("{KEY}"), (Strings{Item("a") + " -> " + Item("a"), Item("c") + " -> " + Item("c"),
                                        "c " + Item("Volume") + " -> " + Item("Volume")}));
    // Token volumes go in the order of their tokens, whatever order they were given in.
    EXPECT_EQ(log_.lines, (Strings{"5 Storing relocation data for storage key {KEY}",
                                   "2 Unable to get alias data for path \"" + Item("missing") + "\"",
                                   "2 Unable to get alias data for path \"relative\"",
                                   "2 Unable to get alias data for volume path \"" + Item("gone") + "\" for token \"a\"",
                                   "2 Unable to get alias data for volume path \"" + Item("no volume") + "\" for token \"b\"",
                                   "5 Stored", "5 Committed"}));
}

TEST_F(QENRelocationTest, EmptyListsOrADeleteCreateAnEmptyDatabase)
{
    QENCommandPtr store = Store("{EMPTY}", {});
    ASSERT_TRUE(store->Perform());
    ASSERT_TRUE(store->Commit());
    EXPECT_EQ(Stored("{EMPTY}"), Strings{});
    QENCommandPtr remove(new QENDeleteRelocationDataCommand(log_, "{NEW}"));
    ASSERT_TRUE(remove->Perform());
    ASSERT_TRUE(remove->Commit());
    EXPECT_EQ(Stored("{NEW}"), Strings{});
}

TEST_F(QENRelocationTest, AnEmptyOrUnsafeKeyFailsBeforeAnyDatabase)
{
    for (const std::string key : {"", "../escape"}) {
        log_.lines.clear();
        EXPECT_FALSE(Store(key, {Item("a")})->Perform());
        EXPECT_EQ(log_.lines, (Strings{"5 Storing relocation data for storage key " + key,
                                       "2 Unable to access uninstall database for storage key " + key + " due to error 10",
                                       "5 Stored"}));
        log_.lines.clear();
        QENDeleteRelocationDataCommand remove(log_, key);
        EXPECT_FALSE(remove.Perform());
        EXPECT_EQ(log_.lines.size(), 3u);
        EXPECT_EQ(log_.lines.back(), "5 Deleted");
    }
    EXPECT_FALSE(Exists(Base() + "/escape.db"));
}

TEST_F(QENRelocationTest, DeleteRemovesEverythingOnCommitOnly)
{
    QENCommandPtr store = Store("{KEY}", {Item("a")}, {{"T", Item("Volume")}});
    ASSERT_TRUE(store->Perform());
    ASSERT_TRUE(store->Commit());
    log_.lines.clear();
    QENDeleteRelocationDataCommand rolledBack(log_, "{KEY}");
    ASSERT_TRUE(rolledBack.Perform());
    ASSERT_TRUE(rolledBack.Rollback());
    EXPECT_EQ(Stored("{KEY}").size(), 2u);
    QENDeleteRelocationDataCommand committed(log_, "{KEY}");
    ASSERT_TRUE(committed.Perform());
    ASSERT_TRUE(committed.Commit());
    EXPECT_EQ(Stored("{KEY}"), Strings{});
    EXPECT_EQ(log_.lines, (Strings{"5 Deleting all relocation data from uninstall database for storage key {KEY}",
                                   "5 Deleted", "5 Rolled back",
                                   "5 Deleting all relocation data from uninstall database for storage key {KEY}",
                                   "5 Deleted", "5 Committed"}));
}

TEST_F(QENRelocationTest, ScriptFunctionsCheckTheirArgumentsStoreAndDelete)
{
    for (const char* call : {"QENStoreRelocationData(undefined, [], [])", "QENStoreRelocationData('{KEY}', 'a', [])",
                             "QENStoreRelocationData('{KEY}', [], {})", "QENStoreRelocationData('{KEY}', [], ['T'])",
                             "QENStoreRelocationData('{KEY}', [], [['T', '/v'], ['T']])",
                             "QENStoreRelocationData('{KEY}', [], [['T', '/v', '/w']])"})
        EXPECT_EQ(Eval(call), "code 19") << call;
    EXPECT_EQ(Eval("QENStoreRelocationData('{KEY}', [])"), "code 20");
    EXPECT_EQ(Eval("QENDeleteRelocationData()"), "code 20");
    EXPECT_EQ(engine_->PerformedCommandCount(), 0u);
    EXPECT_FALSE(Exists(UninstallDbFile("{KEY}")));

    const std::string volume = Item("Volume");
    EXPECT_EQ(Eval("QENStoreRelocationData('{KEY}', ['" + Item("a") + "'], [['T', '" + volume + "'], ['T', '/no'], ['S', '" +
                   volume + "']])"),
              "true");
    EXPECT_FALSE(globals_->IsCAPSLocked());  // relocation data takes no database lock
    EXPECT_TRUE(engine_->CommitPerformedCommands());
    EXPECT_EQ(Stored("{KEY}"), (Strings{Item("a") + " -> " + Item("a"), "S " + volume + " -> " + volume,
                                        "T " + volume + " -> " + volume}));

    // Read back by the next run: only the moved item is listed, every token with its present place.
    std::filesystem::rename(Item("a"), Item("a moved"));
    StartRun();
    EXPECT_EQ(Eval("JSON.stringify(QENGetRelocationData('{KEY}'))"),
              "[[[\"" + Item("a") + "\",\"" + Item("a moved") + "\"]],[[\"S\",\"" + volume + "\",\"" + volume +
                  "\"],[\"T\",\"" + volume + "\",\"" + volume + "\"]]]");

    EXPECT_EQ(Eval("QENDeleteRelocationData('{KEY}')"), "true");
    EXPECT_EQ(Eval("QENStoreRelocationData('', [], [])"), "false");
    EXPECT_TRUE(engine_->CommitPerformedCommands());
    EXPECT_EQ(Stored("{KEY}"), Strings{});
}

TEST_F(QENRelocationTest, ASecondCommandOnAHeldKeyFailsAndTheFirstStillCommits)
{
    QENCommandPtr first = Store("{KEY}", {Item("a")});
    ASSERT_TRUE(first->Perform());
    // Waits for the database's busy time-out, then gives up; what it wrote goes with it.
    EXPECT_FALSE(Store("{KEY}", {Item("b"), Item("c")})->Perform());
    EXPECT_TRUE(log_.Has("2 Unable to store alias data for path at \"" + Item("b") + "\" due to error 14")) << log_.Dump();
    ASSERT_TRUE(first->Commit());
    EXPECT_EQ(Stored("{KEY}"), Strings{Item("a") + " -> " + Item("a")});
}
