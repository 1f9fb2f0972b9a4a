// The backup copy under failure, and the answers to bad arguments and store-less sessions.
#include "CapsTestSupport.h"

#include "caps/capsiSession.h"

#include <algorithm>

#include <dirent.h>
#include <unistd.h>

using namespace capstest;

namespace {

std::vector<std::string> FolderEntries(const std::string& folder)
{
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

class CapsBackupFaultTest : public CapsDbTest {
protected:
    // A backup copy that holds one collection, "good".
    void MakeGoodBackup()
    {
        capsiSession* session = Open();
        ASSERT_EQ(kCapsOK, capsAddCollection(session, "good", "p"));
        ASSERT_EQ(kCapsOK, Close(session));
        ASSERT_TRUE(capsiLoadFileContents(BackupFile(), goodBackup_));
    }
    void ExpectBackupIntact()
    {
        std::vector<unsigned char> now;
        ASSERT_TRUE(capsiLoadFileContents(BackupFile(), now));
        EXPECT_EQ(goodBackup_, now);
        EXPECT_EQ(std::vector<std::string>{"caps.db"}, FolderEntries(BackupFolder()));
    }

    std::vector<unsigned char> goodBackup_;
};

}  // namespace

TEST_F(CapsBackupFaultTest, DamagedOrEmptyDatabaseNeverReplacesTheLastGoodBackupAndIsReported)
{
    MakeGoodBackup();
    EXPECT_EQ(kCapsOK, capsVerifyIntegrity());
    const std::string good = tolktest::ReadTextFile(BackupFile());
    for (const std::string damage : {"garbage", "empty", "damaged page"}) {
        SCOPED_TRACE(damage);
        if (damage == "garbage") {
            tolktest::WriteTextFile(DbFile(), std::string(8192, 'x'));
        } else if (damage == "empty") {
            tolktest::WriteTextFile(DbFile(), "");
        } else {
            tolktest::WriteTextFile(DbFile(), good);
            ASSERT_NO_FATAL_FAILURE(DamageFirstTable(DbFile()));
        }
        EXPECT_EQ(kCapsIOError, capsVerifyIntegrity());
        EXPECT_EQ(kCapsIOError, capsBackup());
        ExpectBackupIntact();
    }
    // An empty database without a backup is one not made yet.
    ASSERT_EQ(0, unlink(BackupFile().c_str()));
    tolktest::WriteTextFile(DbFile(), "");
    EXPECT_EQ(kCapsOK, capsVerifyIntegrity());
}

TEST_F(CapsBackupFaultTest, MissingBackupFolderIsMadeOnlyByRoot)
{
    tolktest::RunProgram("/bin/rm", {"-rf", BackupFolder()});
    capsiSetRunningAsRootForTesting(0);
    capsiSession* session = Open();
    ASSERT_EQ(kCapsOK, capsAddCollection(session, "c", "p"));
    // The copy fails, the commit does not.
    EXPECT_EQ(kCapsOK, capsSessionCommit(session));
    EXPECT_FALSE(capsiPathExists(BackupFolder()));
    EXPECT_EQ(kCapsIOError, capsBackup());

    capsiSetRunningAsRootForTesting(1);
    EXPECT_EQ(kCapsOK, capsBackup());
    EXPECT_TRUE(capsiFileExists(BackupFile()));
}

TEST_F(CapsBackupFaultTest, NoDatabaseNoBackup)
{
    ASSERT_EQ(0, unlink(DbFile().c_str()));
    EXPECT_EQ(kCapsNotFound, capsBackup());
    tolktest::MakeFolders(DbFile());
    EXPECT_EQ(kCapsNotFound, capsBackup());
}

TEST_F(CapsDbTest, NullArgumentsGiveBadArgumentBeforeAnythingRuns)
{
    capsiSession* session = Open();
    capsStringList list = nullptr;
    EXPECT_EQ(kCapsBadArgument, capsOpenSession(nullptr));
    EXPECT_EQ(kCapsBadArgument, capsCloseSession(nullptr));
    EXPECT_EQ(kCapsBadArgument, capsAddPayload(session, "c", "p", "f", "n", "v", nullptr, nullptr, nullptr));
    // A null value means "remove", which still needs its key.
    EXPECT_EQ(kCapsBadArgument, capsSetPayloadData(session, "p", 0, nullptr, nullptr));
    // The argument check comes before the state check.
    EXPECT_EQ(kCapsBadArgument, capsGetPayloads(nullptr, 9, &list));
}

TEST_F(CapsDbTest, SessionWithoutStoreGivesNoStore)
{
    capsiSession bare;
    capsCollection collection = {};
    capsPayload payload = {};
    capsStringList list = nullptr;
    EXPECT_EQ(kCapsNoStore, capsGetCollection(&bare, "c", &collection));
    EXPECT_EQ(kCapsNoStore, capsGetPayload(&bare, "p", &payload));
    EXPECT_EQ(kCapsNoStore, capsGetCollections(&bare, &list));
    EXPECT_EQ(kCapsOK, capsSessionRollback(&bare));
}
