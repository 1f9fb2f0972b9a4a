// Opening the installation database while other connections use it: several processes opening a
// new file at once, and a file that another connection keeps locked.
#include "CapsTestSupport.h"

#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

using namespace capstest;

TEST_F(CapsTest, EightProcessesOpeningANewDatabaseAtOnceAllSucceed)
{
    // The folder is there (as root would have made it), so that any user can make the file.
    tolktest::MakeFolders(DbFolder());
    const int kProcesses = 8;
    for (int round = 0; round < 3; ++round) {
        unlink(DbFile().c_str());
        // The children wait on a pipe that the parent closes once all are running, then open at once.
        int start[2];
        ASSERT_EQ(0, pipe(start));
        std::vector<pid_t> children;
        for (int i = 0; i < kProcesses; ++i) {
            const pid_t pid = fork();
            ASSERT_GE(pid, 0);
            if (pid == 0) {
                close(start[1]);
                char byte;
                while (read(start[0], &byte, 1) < 0) {
                }
                capsiSession* session = nullptr;
                const capsStatus opened = capsOpenSession(&session);
                const capsStatus closed = session != nullptr ? capsCloseSession(session) : opened;
                _exit(opened != kCapsOK ? 100 + opened : closed);
            }
            children.push_back(pid);
        }
        close(start[0]);
        close(start[1]);
        for (pid_t child : children) {
            int status = 0;
            ASSERT_EQ(child, waitpid(child, &status, 0));
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
                << "round " << round << ": " << (WIFEXITED(status) ? WEXITSTATUS(status) : -1);
        }
        RawDatabase raw(DbFile());
        EXPECT_EQ((std::vector<std::string>{"schema_compatibility_version", "1", "schema_version", "1"}),
                  raw.Rows("SELECT key, value FROM pcd_meta ORDER BY key"));
    }
}

// Waits out the 2000 ms busy time-out once.
TEST_F(CapsDbTest, AFileLockedByAnotherConnectionIsBusyAndLeftAlone)
{
    RawDatabase raw(DbFile());
    ASSERT_EQ(SQLITE_OK, raw.Exec("BEGIN EXCLUSIVE"));
    capsiSession* session = nullptr;
    EXPECT_EQ(kCapsBusy, capsOpenSession(&session));
    EXPECT_EQ(nullptr, session);
    ASSERT_EQ(SQLITE_OK, raw.Exec("ROLLBACK"));
    EXPECT_EQ("1", raw.Value("SELECT value FROM pcd_meta WHERE key = 'schema_version'"));
    EXPECT_NE(nullptr, Open());
}
