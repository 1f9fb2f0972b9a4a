#include "CapsTestSupport.h"

#include <sys/stat.h>

using namespace capstest;

namespace {

// The collections recorded in a database file, read without the caps functions.
std::vector<std::string> CollectionsIn(const std::string& path)
{
    RawDatabase raw(path);
    return raw.Rows("SELECT collectionID FROM tolk_collection ORDER BY collectionID");
}

}  // namespace

TEST_F(CapsTest, NoCreateOpensOnlyAnExistingFile)
{
    capsiSetRunningAsRootForTesting(1);
    capsiSession* session = nullptr;
    EXPECT_EQ(kCapsNotFound, capsOpenSessionNoCreate(&session));
    EXPECT_FALSE(capsiPathExists(DbFolder()));
    long modified = 7;
    EXPECT_EQ(kCapsNotFound, capsGetLastModTime(&modified));
    EXPECT_EQ(7, modified);
    CreateDatabase();
    ASSERT_EQ(kCapsOK, capsOpenSessionNoCreate(&session));
    EXPECT_EQ(kCapsOK, capsCloseSession(session));
}

TEST_F(CapsDbTest, RollbackDiscardsAndCommitKeepsWrites)
{
    capsiSession* session = Open();
    ASSERT_EQ(kCapsOK, capsAddCollection(session, "gone", "p"));
    EXPECT_EQ(kCapsOK, capsSessionRollback(session));
    ASSERT_EQ(kCapsOK, capsAddCollection(session, "kept", "p"));
    EXPECT_EQ(kCapsOK, capsSessionCommit(session));
    // The session goes on after a commit and opens a new transaction at its next write.
    ASSERT_EQ(kCapsOK, capsAddCollection(session, "later", "p"));
    EXPECT_EQ(kCapsOK, capsSessionRollback(session));
    EXPECT_EQ(kCapsOK, capsSessionRollback(session));  // nothing open any more
    EXPECT_EQ(std::vector<std::string>{"kept"}, CollectionsIn(DbFile()));
}

TEST_F(CapsDbTest, BackupFollowsEveryCommitAndClose)
{
    capsiSession* session = Open();
    ASSERT_EQ(kCapsOK, capsAddCollection(session, "first", "p"));
    ASSERT_EQ(kCapsOK, capsSessionCommit(session));
    EXPECT_EQ(std::vector<std::string>{"first"}, CollectionsIn(BackupFile()));

    ASSERT_EQ(kCapsOK, capsAddCollection(session, "second", "p"));
    // Uncommitted writes never reach the copy.
    EXPECT_EQ(std::vector<std::string>{"first"}, CollectionsIn(BackupFile()));
    ASSERT_EQ(kCapsOK, Close(session));
    EXPECT_EQ((std::vector<std::string>{"first", "second"}), CollectionsIn(DbFile()));
    EXPECT_EQ((std::vector<std::string>{"first", "second"}), CollectionsIn(BackupFile()));
}

TEST_F(CapsDbTest, OnlyACommitThatWroteRefreshesTheBackup)
{
    struct stat before;
    ASSERT_EQ(0, stat(BackupFile().c_str(), &before));
    // Reading, and committing nothing, leaves the copy as it is (a new copy is a new file).
    capsiSession* session = Open();
    capsStringList list = nullptr;
    EXPECT_EQ(kCapsNotFound, capsGetCollections(session, &list));
    EXPECT_EQ(nullptr, list[0]);
    EXPECT_EQ(kCapsOK, capsSessionCommit(session));
    ASSERT_EQ(kCapsOK, Close(session));
    struct stat after;
    ASSERT_EQ(0, stat(BackupFile().c_str(), &after));
    EXPECT_EQ(before.st_ino, after.st_ino);

    // A write does refresh it, and so does any close while the copy is missing.
    session = Open();
    ASSERT_EQ(kCapsOK, capsAddCollection(session, "c", "p"));
    ASSERT_EQ(kCapsOK, Close(session));
    EXPECT_EQ(std::vector<std::string>{"c"}, CollectionsIn(BackupFile()));
    ASSERT_EQ(0, unlink(BackupFile().c_str()));
    ASSERT_EQ(kCapsOK, Close(Open()));
    EXPECT_EQ(std::vector<std::string>{"c"}, CollectionsIn(BackupFile()));
}

TEST_F(CapsDbTest, IntegrityIsDamagedOnlyWhenTheBackupIsAlone)
{
    EXPECT_EQ(kCapsOK, capsVerifyIntegrity());
    ASSERT_EQ(0, rename(DbFile().c_str(), (DbFile() + ".moved").c_str()));
    EXPECT_EQ(kCapsSchemaMissing, capsVerifyIntegrity());
    ASSERT_EQ(0, unlink(BackupFile().c_str()));
    EXPECT_EQ(kCapsOK, capsVerifyIntegrity());
    tolktest::RunProgram("/bin/rm", {"-rf", sysroot_.Path("/Library/Application Support")});
    EXPECT_EQ(kCapsOK, capsVerifyIntegrity());
}

TEST_F(CapsDbTest, AnIndexThatMissesARowIsDamageAndKeepsTheGoodBackup)
{
    capsiSession* session = Open();
    ASSERT_EQ(kCapsOK, capsAddCollection(session, "c", "p"));
    ASSERT_EQ(kCapsOK, Close(session));
    const std::vector<std::string> good = CollectionsIn(BackupFile());
    {
        // The table's rows swapped for a copy with one row more, behind its primary key's index:
        // every page is sound, only the index no longer matches its table.
        RawDatabase raw(DbFile());
        ASSERT_EQ(SQLITE_OK, raw.Exec("CREATE TABLE copy AS SELECT * FROM tolk_collection;"
                                      "INSERT INTO copy VALUES ('d', 'p', 0, 0);"))
            << raw.ErrorMessage();
        const std::string table = raw.Value("SELECT rootpage FROM sqlite_master WHERE name = 'tolk_collection'");
        const std::string copy = raw.Value("SELECT rootpage FROM sqlite_master WHERE name = 'copy'");
        ASSERT_EQ(SQLITE_OK, raw.Exec("PRAGMA writable_schema=ON;"
                                      "UPDATE sqlite_master SET rootpage = " + copy + " WHERE name = 'tolk_collection';"
                                      "UPDATE sqlite_master SET rootpage = " + table + " WHERE name = 'copy';"))
            << raw.ErrorMessage();
    }
    RawDatabase raw(DbFile());
    ASSERT_EQ(raw.Value("PRAGMA quick_check"), "ok");
    EXPECT_EQ(kCapsIOError, capsVerifyIntegrity());
    // A commit does not replace the good copy with the damaged one.
    session = Open();
    ASSERT_EQ(kCapsOK, capsSetCollectionData(session, "c", kCapsDomainInstaller, "k", "v"));
    EXPECT_EQ(kCapsOK, Close(session));
    EXPECT_EQ(good, CollectionsIn(BackupFile()));
}

// Both of these wait out the 2000 ms busy time-out once.
TEST_F(CapsDbTest, SecondWriterIsBusyUntilTheFirstCommits)
{
    capsiSession* first = Open();
    capsiSession* second = Open();
    ASSERT_EQ(kCapsOK, capsAddCollection(first, "one", "p"));
    EXPECT_EQ(kCapsBusy, capsAddCollection(second, "two", "p"));
    EXPECT_EQ(kCapsOK, capsSessionRollback(second));
    EXPECT_EQ(kCapsOK, capsSessionCommit(first));
    EXPECT_EQ(kCapsOK, capsAddCollection(second, "two", "p"));
    EXPECT_EQ(kCapsOK, Close(second));
    EXPECT_EQ((std::vector<std::string>{"one", "two"}), CollectionsIn(BackupFile()));
}

TEST_F(CapsDbTest, CloseReportsTheCommitThatFailed)
{
    capsiSession* session = Open();
    ASSERT_EQ(kCapsOK, capsAddCollection(session, "lost", "p"));
    RawDatabase reader(DbFile());
    ASSERT_EQ(SQLITE_OK, reader.Exec("BEGIN"));
    reader.Rows("SELECT count(*) FROM tolk_collection");  // holds the shared lock
    EXPECT_EQ(kCapsBusy, Close(session));
    ASSERT_EQ(SQLITE_OK, reader.Exec("COMMIT"));
    EXPECT_TRUE(CollectionsIn(DbFile()).empty());
}

TEST_F(CapsDbTest, FailedCommitKeepsTheTransactionAndCopiesNothing)
{
    capsiSession* session = Open();
    ASSERT_EQ(kCapsOK, capsAddCollection(session, "c", "p"));
    {
        RawDatabase reader(DbFile());
        ASSERT_EQ(SQLITE_OK, reader.Exec("BEGIN"));
        reader.Rows("SELECT count(*) FROM tolk_collection");  // holds the shared lock
        EXPECT_EQ(kCapsBusy, capsSessionCommit(session));
        EXPECT_TRUE(CollectionsIn(BackupFile()).empty());
        ASSERT_EQ(SQLITE_OK, reader.Exec("COMMIT"));
    }
    EXPECT_EQ(kCapsOK, capsSessionCommit(session));
    EXPECT_EQ(std::vector<std::string>{"c"}, CollectionsIn(BackupFile()));
}

TEST_F(CapsTest, AFolderLeftWithTheUmasksModeGetsItsFullModeWhileEmpty)
{
    capsiSetRunningAsRootForTesting(1);
    const auto mode = [](const std::string& path) {
        struct stat info = {};
        stat(path.c_str(), &info);
        return info.st_mode & 07777;
    };
    // A run that died between the folder's mkdir and its chmod left the umask's mode.
    const mode_t mask = umask(022);
    ASSERT_EQ(kCapsOK, capsiCreatePath(BackupFolder()));
    ASSERT_EQ(0, chmod(BackupFolder().c_str(), 0755));
    ASSERT_EQ(kCapsOK, capsiCreatePath(BackupFolder()));
    EXPECT_EQ(0775u, mode(BackupFolder()));
    // An administrator's own mode, or a folder in use, stays as it is.
    ASSERT_EQ(0, chmod(BackupFolder().c_str(), 0700));
    ASSERT_EQ(kCapsOK, capsiCreatePath(BackupFolder()));
    EXPECT_EQ(0700u, mode(BackupFolder()));
    ASSERT_EQ(0, chmod(BackupFolder().c_str(), 0755));
    tolktest::WriteTextFile(BackupFolder() + "/caps.db", "");
    ASSERT_EQ(kCapsOK, capsiCreatePath(BackupFolder()));
    EXPECT_EQ(0755u, mode(BackupFolder()));
    umask(mask);
}
