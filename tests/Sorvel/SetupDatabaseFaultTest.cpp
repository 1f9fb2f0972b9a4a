// The built Setup against a damaged installation database: it stops with exit code 12 before
// anything touches the database, names the database and its backup copy, and leaves the copy
// as it was.
#include "tests/support/ProgramRun.h"
#include "tests/support/TempSystemRoot.h"

#include "tests/caps/CapsTestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

using ::testing::HasSubstr;

namespace {

class SetupDatabaseFaultTest : public tolktest::SystemRootTest {
protected:
    void SetUp() override
    {
        // The database's folders are made by root only, and Setup runs as the caller.
        if (geteuid() != 0)
            GTEST_SKIP() << "needs root";
        capsiSession* session = nullptr;
        ASSERT_EQ(kCapsOK, capsOpenSession(&session));
        ASSERT_EQ(kCapsOK, capsAddCollection(session, "kept", "driver"));
        ASSERT_EQ(kCapsOK, capsCloseSession(session));
        ASSERT_TRUE(capsGetDatabaseFiles(database_, backup_));
        backupBytes_ = tolktest::ReadTextFile(backup_);
    }

    std::string database_;
    std::string backup_;
    std::string backupBytes_;
};

}  // namespace

TEST_F(SetupDatabaseFaultTest, DamagedOrEmptiedDatabaseEndsWithTwelveAndKeepsTheBackup)
{
    for (const std::string damage : {"damaged page", "emptied"}) {
        SCOPED_TRACE(damage);
        if (damage == "emptied") {
            tolktest::WriteTextFile(database_, "");
        } else {
            ASSERT_NO_FATAL_FAILURE(capstest::DamageFirstTable(database_));
        }
        const tolktest::ProgramResult result = tolktest::RunCapturingOutput(SETUP_PROGRAM, {"--mode=terminal"});
        EXPECT_EQ(result.exitCode, 12) << result.output << result.errorOutput;
        EXPECT_THAT(result.errorOutput, HasSubstr("\"" + database_ + "\" is damaged"));
        EXPECT_THAT(result.errorOutput, HasSubstr("its backup copy is \"" + backup_ + "\"."));
        EXPECT_EQ(tolktest::ReadTextFile(backup_), backupBytes_);
    }
}
