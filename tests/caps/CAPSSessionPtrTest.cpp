// The scoped session: what a failed open leaves, and that closing and dropping commit.
#include "CapsTestSupport.h"

#include "caps/CAPSSessionPtr.h"

using namespace capstest;

TEST_F(CapsTest, FailedOpenKeepsItsStatusAndTouchesNothingAfterwards)
{
    CAPSSessionPtr session;
    capsiSetRunningAsRootForTesting(0);  // no database, and the folders cannot be made
    EXPECT_FALSE(session.Open());
    EXPECT_EQ(nullptr, session.Get());
    EXPECT_EQ(kCapsAccessDenied, session.GetStatus());
    EXPECT_FALSE(session.Commit());
    EXPECT_FALSE(session.Rollback());
    session.Close();
    EXPECT_EQ(kCapsAccessDenied, session.GetStatus());
}

TEST_F(CapsDbTest, RollbackDiscardsClosingAndDroppingCommit)
{
    {
        CAPSSessionPtr session;
        ASSERT_TRUE(session.Open());
        EXPECT_FALSE(session.Open());
        ASSERT_EQ(kCapsOK, capsAddCollection(session, "gone", "p"));
        EXPECT_TRUE(session.Rollback());
        ASSERT_EQ(kCapsOK, capsAddCollection(session, "closed", "p"));
        session.Close();
        EXPECT_FALSE(session.IsOpen());
        EXPECT_EQ(nullptr, session.Get());
        EXPECT_FALSE(session.Commit());

        ASSERT_TRUE(session.Open());
        ASSERT_EQ(kCapsOK, capsAddCollection(session, "dropped", "p"));
    }
    RawDatabase backup(BackupFile());
    EXPECT_EQ((std::vector<std::string>{"closed", "dropped"}),
              backup.Rows("SELECT collectionID FROM tolk_collection ORDER BY 1"));
}
