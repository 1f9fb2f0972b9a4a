#include "CapsTestSupport.h"

#include "caps/CapsiDataStore.h"
#include "caps/capsiSchemas.h"

#include <sys/stat.h>
#include <unistd.h>

using namespace capstest;

namespace {

struct stat StatOf(const std::string& path)
{
    struct stat info = {};
    EXPECT_EQ(0, stat(path.c_str(), &info)) << path;
    return info;
}

}  // namespace

TEST_F(CapsTest, NewDatabaseGetsEveryTableTriggerAndVersionRow)
{
    capsiSetRunningAsRootForTesting(1);
    ASSERT_NE(nullptr, Open());

    RawDatabase raw(DbFile());
    EXPECT_EQ((std::vector<std::string>{"collection_data", "payload_data", "pcd_meta", "tolk_collection",
                                        "tolk_collection_payload", "tolk_payload", "tolk_payload_constraint",
                                        "upgraded_payloads"}),
              raw.Rows("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name"));
    EXPECT_EQ("11", raw.Value("SELECT count(*) FROM sqlite_master WHERE type = 'trigger'"));
    EXPECT_EQ("0", raw.Value("SELECT count(*) FROM sqlite_master WHERE type = 'index' AND sql IS NOT NULL"));
    EXPECT_EQ((std::vector<std::string>{"schema_compatibility_version", "1", "schema_version", "1"}),
              raw.Rows("SELECT key, value FROM pcd_meta ORDER BY key"));
    // The stored text is the statement itself, as the sqlite3 tool's .schema shows it.
    EXPECT_EQ(std::string(gCapsSchemas[0][1]).substr(0, std::string(gCapsSchemas[0][1]).size() - 1),
              raw.Value("SELECT sql FROM sqlite_master WHERE name = 'tolk_payload'"));
    EXPECT_EQ("delete", raw.Value("PRAGMA journal_mode"));
}

TEST_F(CapsTest, RootCreatesFoldersWithOwnerAndModes)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to hand the files to user 0, group 80";
    ASSERT_NE(nullptr, Open());
    EXPECT_EQ(0u, StatOf(DbFolder()).st_uid);
    EXPECT_EQ(80u, StatOf(DbFolder()).st_gid);
    EXPECT_EQ(040755u, StatOf(DbFolder()).st_mode);
    EXPECT_EQ(80u, StatOf(DbFile()).st_gid);
    EXPECT_EQ(0100644u, StatOf(DbFile()).st_mode);
    EXPECT_EQ(040775u, StatOf(Base()).st_mode);  // parents are made but not handed over
}

TEST_F(CapsTest, NotRootCannotCreateTheFolders)
{
    capsiSetRunningAsRootForTesting(0);
    capsiSession* session = reinterpret_cast<capsiSession*>(1);
    EXPECT_EQ(kCapsAccessDenied, capsOpenSession(&session));
    EXPECT_EQ(nullptr, session);
    EXPECT_FALSE(capsiPathExists(Base()));
}

TEST_F(CapsDbTest, NotRootSetsModesButLeavesOwners)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to change the group beforehand";
    ASSERT_EQ(0, chown(DbFile().c_str(), 0, 0));
    ASSERT_EQ(0, chmod(DbFile().c_str(), 0600));
    capsiSetRunningAsRootForTesting(0);
    ASSERT_NE(nullptr, Open());
    EXPECT_EQ(0u, StatOf(DbFile()).st_gid);
    EXPECT_EQ(0100644u, StatOf(DbFile()).st_mode);
}

TEST_F(CapsDbTest, NewerSchemaOrMissingCompatibilityRowIsRefusedAndLeftUntouched)
{
    RawDatabase raw(DbFile());
    ASSERT_EQ(SQLITE_OK, raw.Exec("UPDATE pcd_meta SET value = '2' WHERE key = 'schema_compatibility_version'"));
    std::vector<unsigned char> before;
    ASSERT_TRUE(capsiLoadFileContents(DbFile(), before));
    capsiSession* session = nullptr;
    EXPECT_EQ(kCapsSchemaTooNew, capsOpenSession(&session));
    EXPECT_EQ(nullptr, session);
    std::vector<unsigned char> after;
    ASSERT_TRUE(capsiLoadFileContents(DbFile(), after));
    EXPECT_EQ(before, after);

    ASSERT_EQ(SQLITE_OK, raw.Exec("DELETE FROM pcd_meta WHERE key = 'schema_compatibility_version'"));
    EXPECT_EQ(kCapsNotFound, capsOpenSession(&session));
    EXPECT_EQ(nullptr, session);
}

TEST_F(CapsTest, BlockedPathsAndMissingBaseFolder)
{
    capsiSetRunningAsRootForTesting(1);
    capsiSession* session = nullptr;
    tolktest::WriteTextFile(Base(), "not a folder");
    EXPECT_EQ(kCapsIOError, capsOpenSession(&session));
    EXPECT_EQ(nullptr, session);

    ASSERT_EQ(0, unlink(Base().c_str()));
    tolktest::MakeFolders(DbFile());  // the database path is a folder
    EXPECT_EQ(kCapsFailure, capsOpenSession(&session));

    tolktest::RunProgram("/bin/rm", {"-rf", sysroot_.Path("/Library/Application Support")});
    EXPECT_EQ(kCapsFailure, capsOpenSession(&session));
    EXPECT_EQ(nullptr, session);
}

TEST_F(CapsDbTest, StoreResultsWithoutRowsAndWithoutConnection)
{
    CapsiDataStore store(DbFolder(), "caps.db", gCapsSchemas, false);
    ASSERT_EQ(kCapsOK, store.status());
    capsStringList list = nullptr;
    EXPECT_EQ(kCapsNotFound, store.queryList(&list, "SELECT collectionID FROM tolk_collection"));
    ASSERT_NE(nullptr, list);
    EXPECT_EQ(nullptr, list[0]);
    const char* text = "x";
    EXPECT_EQ(kCapsNotFound, store.querySingle(&text, "SELECT collectionID FROM tolk_collection"));
    EXPECT_EQ(nullptr, text);
    EXPECT_EQ(kCapsSchemaMissing, store.loadSchema(2));
    EXPECT_EQ(kCapsBadArgument, store.loadSchema(-1));
    EXPECT_EQ(kCapsBadArgument, store.queryList(nullptr, "SELECT 1"));

    CapsiDataStore never;
    EXPECT_EQ(kCapsNotFound, never.querySingle(&text, "SELECT 1"));
    EXPECT_EQ(kCapsFailure, never.queryNR("DELETE FROM pcd_meta"));

    RawDatabase(DbFile()).Exec("UPDATE pcd_meta SET value = '7' WHERE key = 'schema_compatibility_version'");
    CapsiDataStore failed(DbFolder(), "caps.db", gCapsSchemas, false);
    EXPECT_EQ(kCapsSchemaTooNew, failed.status());
    EXPECT_EQ(kCapsNotFound, failed.queryList(&list, "SELECT key FROM pcd_meta"));
    EXPECT_EQ(kCapsSchemaTooNew, failed.queryNR("INSERT INTO pcd_meta (key, value) VALUES ('a', 'b')"));
}

TEST_F(CapsDbTest, ListsHoldEveryColumnOfEveryRowWithNullEntries)
{
    CapsiDataStore store(DbFolder(), "caps.db", gCapsSchemas, false);
    capsStringList list = nullptr;
    std::size_t count = 0;
    ASSERT_EQ(kCapsOK, store.queryListCounted(&list, &count, "SELECT 'a', NULL, 'b' UNION ALL SELECT 'c', 'd', 'e'"));
    ASSERT_EQ(6u, count);
    EXPECT_STREQ("a", list[0]);
    EXPECT_EQ(nullptr, list[1]);
    EXPECT_STREQ("e", list[5]);
    EXPECT_EQ(nullptr, list[6]);
}

TEST_F(CapsDbTest, TriggersRefuseWithTheirMessages)
{
    RawDatabase raw(DbFile());
    EXPECT_EQ(SQLITE_CONSTRAINT, raw.Exec("INSERT INTO tolk_collection_payload (collectionID, payloadID) "
                                          "VALUES ('none', 'none')"));
    EXPECT_EQ("cti_tolk_collection_payload: collectionID is invalid.", raw.ErrorMessage());
    EXPECT_EQ(SQLITE_CONSTRAINT, raw.Exec("INSERT INTO payload_data VALUES ('none', '0', 'k', 'v')"));
    EXPECT_EQ("cti_payload_data: payloadID is invalid.", raw.ErrorMessage());

    // Through the store the same refusals are status 6.
    CapsiDataStore store(DbFolder(), "caps.db", gCapsSchemas, false);
    EXPECT_EQ(kCapsConstraint, store.queryNR("INSERT INTO collection_data VALUES ('none', '0', 'k', 'v')"));
    EXPECT_EQ(kCapsOK, store.queryNR("INSERT INTO pcd_meta (key, value) VALUES ('k', 'v')"));
    EXPECT_EQ(kCapsConstraint, store.queryNR("INSERT INTO pcd_meta (key, value) VALUES ('k', 'v')"));
    EXPECT_EQ(kCapsDatabaseError, store.queryNR("INSERT INTO no_such_table VALUES (1)"));
}

TEST_F(CapsDbTest, FileNamesThatLeaveTheirFolderAreRefused)
{
    capsiSetRunningAsRootForTesting(1);
    for (const char* name : {"../escape.db", "sub/x.db", ".", "..", ""}) {
        CapsiDataStore store(DbFolder(), name, gUninstallSchemas, false);
        EXPECT_EQ(kCapsBadArgument, store.status()) << name;
    }
    EXPECT_FALSE(capsiPathExists(Base() + "/escape.db"));
    EXPECT_FALSE(capsiPathExists(DbFolder() + "/sub"));
}

TEST(CapsiSQLiteErrorMap, ExtendedCodesCountAsTheirPrimaryCode)
{
    EXPECT_EQ(kCapsConstraint, capsiSQLiteErrorMap(SQLITE_CONSTRAINT_TRIGGER));
    EXPECT_EQ(kCapsIOError, capsiSQLiteErrorMap(SQLITE_IOERR_WRITE));
    EXPECT_EQ(kCapsBusy, capsiSQLiteErrorMap(SQLITE_BUSY_SNAPSHOT));
    EXPECT_EQ(kCapsDatabaseError, capsiSQLiteErrorMap(SQLITE_ERROR));
}
