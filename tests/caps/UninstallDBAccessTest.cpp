// Scenarios of the uninstall databases: keys and opening, values with quotes and "%", commit
// against rollback and against dropping the accessor, and rows of the wrong shape.
#include "CapsTestSupport.h"

#include "caps/UninstallDBAccess.h"

#include <sys/stat.h>

using namespace capstest;

namespace {

typedef boost::shared_ptr<UninstallDBAccess> AccessPtr;
typedef UninstallDBAccess::TokenVolumeData Token;

class UninstallDBTest : public CapsDbTest {
protected:
    // The first Open makes the "Uninstall" folder, which only root may.
    void SetUp() override
    {
        CapsDbTest::SetUp();
        capsiSetRunningAsRootForTesting(1);
    }

    std::string File(const std::string& key) const { return Base() + "/Uninstall/" + key + ".db"; }
    AccessPtr Opened(const std::string& key)
    {
        AccessPtr access;
        EXPECT_EQ(kCapsOK, UninstallDBAccess::Create(key, access));
        EXPECT_EQ(kCapsOK, access ? access->Open() : kCapsFailure);
        return access;
    }
    std::vector<std::string> Tokens(const std::string& key)
    {
        RawDatabase raw(File(key));
        return raw.Rows("SELECT token,volumePath,volumeAliasData FROM token_volumes ORDER BY token");
    }
};

}  // namespace

TEST_F(UninstallDBTest, KeysCreateAndOpen)
{
    AccessPtr access;
    for (const std::string& key : {std::string(""), std::string("../caps/caps"), std::string("a\0b", 3)})
        EXPECT_EQ(kCapsBadArgument, UninstallDBAccess::Create(key, access));
    EXPECT_FALSE(access);

    ASSERT_EQ(kCapsOK, UninstallDBAccess::Create("{session}", access));
    EXPECT_FALSE(access->Exists());
    EXPECT_FALSE(capsiPathExists(Base() + "/Uninstall"));
    UninstallDBAccess::AliasDataMap aliases;
    EXPECT_EQ(kCapsFailure, access->SetAliasDataForPath("/a", "x"));
    EXPECT_EQ(kCapsFailure, access->GetAliasDataForAllPaths(aliases));
    EXPECT_EQ(kCapsFailure, access->Commit());

    ASSERT_EQ(kCapsOK, access->Open());
    EXPECT_TRUE(access->Exists());
    EXPECT_TRUE(capsiFileExists(File("{session}")));
}

TEST_F(UninstallDBTest, QuotesAndPercentSignsSurviveEveryStatement)
{
    AccessPtr access = Opened("it's 100%");
    ASSERT_TRUE(access);
    UninstallDBAccess::AliasDataMap aliases{{"untouched", "1"}};
    EXPECT_EQ(kCapsNotFound, access->GetAliasDataForAllPaths(aliases));
    EXPECT_EQ(1u, aliases.count("untouched"));

    const std::string path = "/Users/o'brien/100% done/%s%d%1%'";
    const std::string hostile = "x'); DELETE FROM path_aliases; --";
    ASSERT_EQ(kCapsOK, access->SetAliasDataForPath(path, "first"));
    ASSERT_EQ(kCapsOK, access->SetAliasDataForPath(path, "a'b%%c"));
    ASSERT_EQ(kCapsOK, access->SetAliasDataForPath(hostile, "kept"));
    ASSERT_EQ(kCapsOK, access->SetTokenVolumeData(Token("%1%'", "/Volumes/It's", "%q")));
    ASSERT_EQ(kCapsOK, access->SetTokenVolumeData(Token("a", "/Volumes/A", "x")));

    UninstallDBAccess::SharedString value;
    ASSERT_EQ(kCapsOK, access->GetAliasDataForPath(path, value));
    EXPECT_EQ("a'b%%c", *value);
    ASSERT_EQ(kCapsOK, access->GetAliasDataForAllPaths(aliases));
    EXPECT_EQ((UninstallDBAccess::AliasDataMap{{path, "a'b%%c"}, {hostile, "kept"}}), aliases);
    UninstallDBAccess::TokenVolumeDataSet tokens;
    ASSERT_EQ(kCapsOK, access->GetTokenVolumeDataForAllTokens(tokens));
    ASSERT_EQ(2u, tokens.size());
    EXPECT_EQ("%q", tokens.begin()->volumeAliasData);  // "%1%'" sorts first

    Token missing("none", "keep", "keep");
    EXPECT_EQ(kCapsNotFound, access->GetTokenVolumeDataForToken(missing));
    EXPECT_EQ("keep", missing.volumePath);
    ASSERT_EQ(kCapsOK, access->DeleteAliasDataForPath(path));
    ASSERT_EQ(kCapsOK, access->DeleteTokenVolumeDataForToken("%1%'"));
    ASSERT_EQ(kCapsOK, access->Commit());
    EXPECT_EQ((std::vector<std::string>{"a", "/Volumes/A", "x"}), Tokens("it's 100%"));
    EXPECT_EQ(kCapsOK, access->GetAliasDataForAllPaths(aliases));
    EXPECT_EQ(1u, aliases.count(hostile));
}

TEST_F(UninstallDBTest, RollbackAndDroppingDiscardCommitKeeps)
{
    ASSERT_EQ(0, unlink(BackupFile().c_str()));
    {
        AccessPtr access = Opened("key");
        ASSERT_TRUE(access);
        ASSERT_EQ(kCapsOK, access->SetTokenVolumeData(Token("t", "/v", "a")));
        ASSERT_EQ(kCapsOK, access->Rollback());
        EXPECT_TRUE(Tokens("key").empty());
        EXPECT_FALSE(capsiFileExists(BackupFile()));

        ASSERT_EQ(kCapsOK, access->SetTokenVolumeData(Token("t", "/v", "a")));
        ASSERT_EQ(kCapsOK, access->Commit());
        EXPECT_EQ((std::vector<std::string>{"t", "/v", "a"}), Tokens("key"));
        // The missing backup copy of the installation database is made; once there, the commits of
        // an uninstall database, which cannot change it, leave it alone.
        struct stat made;
        ASSERT_EQ(0, stat(BackupFile().c_str(), &made));
        ASSERT_EQ(kCapsOK, access->SetTokenVolumeData(Token("t", "/v", "a")));
        ASSERT_EQ(kCapsOK, access->Commit());
        struct stat kept;
        ASSERT_EQ(0, stat(BackupFile().c_str(), &kept));
        EXPECT_EQ(made.st_ino, kept.st_ino);

        ASSERT_EQ(kCapsOK, access->SetTokenVolumeData(Token("u", "/w", "b")));
        ASSERT_EQ(kCapsOK, access->DeleteTokenVolumeDataForAllTokens());
    }
    EXPECT_EQ((std::vector<std::string>{"t", "/v", "a"}), Tokens("key"));
    Token record("t", "", "");
    ASSERT_EQ(kCapsOK, Opened("key")->GetTokenVolumeDataForToken(record));
    EXPECT_EQ("/v", record.volumePath);
}

TEST_F(UninstallDBTest, RowsWithNullsAreDatabaseErrors)
{
    // A version-1 file whose tables allow NULLs, as a damaged or foreign file might.
    ASSERT_EQ(kCapsOK, capsiCreatePath(Base() + "/Uninstall"));
    sqlite3* db = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_open(File("loose").c_str(), &db));
    EXPECT_EQ(SQLITE_OK, sqlite3_exec(db,
                                      "CREATE TABLE pcd_meta (key TEXT, value TEXT);"
                                      "INSERT INTO pcd_meta VALUES ('schema_version', 1), "
                                      "('schema_compatibility_version', 1);"
                                      "CREATE TABLE path_aliases (installPath TEXT, aliasData TEXT);"
                                      "CREATE TABLE token_volumes (token TEXT, volumePath TEXT, volumeAliasData TEXT);"
                                      "INSERT INTO path_aliases VALUES ('/a', 'x'), ('/b', NULL);"
                                      "INSERT INTO token_volumes VALUES ('t', NULL, 'b');",
                                      nullptr, nullptr, nullptr));
    sqlite3_close(db);

    AccessPtr access = Opened("loose");
    ASSERT_TRUE(access);
    UninstallDBAccess::AliasDataMap aliases;
    EXPECT_EQ(kCapsDatabaseError, access->GetAliasDataForAllPaths(aliases));
    EXPECT_EQ((UninstallDBAccess::AliasDataMap{{"/a", "x"}}), aliases);  // the rows before the bad one
    UninstallDBAccess::TokenVolumeDataSet tokens;
    EXPECT_EQ(kCapsDatabaseError, access->GetTokenVolumeDataForAllTokens(tokens));
    Token record("t", "keep", "keep");
    EXPECT_EQ(kCapsDatabaseError, access->GetTokenVolumeDataForToken(record));
    // A NULL single value reads as missing, not as an error.
    UninstallDBAccess::SharedString value(new std::string("old"));
    EXPECT_EQ(kCapsOK, access->GetAliasDataForPath("/b", value));
    EXPECT_FALSE(value);
}
