// The installation-database commands against a real database: each performed, then rolled back
// or committed, and what the file holds checked. While a command's transaction is open nothing of
// it is committed, so the file still shows the state before the command.
#include "QENDatabaseTestSupport.h"

#include "QEN/source/mac/QENCAPSRemoveCollectionDataCommand.h"
#include "QEN/source/mac/QENCAPSRemovePayloadDataCommand.h"
#include "QEN/source/mac/QENCAPSWriteCollectionDataCommand.h"
#include "QEN/source/mac/QENCAPSWritePayloadDataCommand.h"

using namespace qentest;

namespace {

const std::string kPayload = "{AAAAAAAA-0000-0000-0000-000000000001}";

class QENCAPSCommandsTest : public QENDatabaseTest {
protected:
    QENCommandPtr WritePayload(const std::string& mode, const QENCAPSWritePayloadDataCommand::PropertyMap& properties,
                               const std::string& uninstallerAlias)
    {
        return QENCommandPtr(new QENCAPSWritePayloadDataCommand(
            log_, "c1", kPayload, "Family", "Sample", "2.0", "build-7", "de_DE", "/Applications/Sample", properties,
            {"{X}", "{X}"}, {"{OLD}"}, uninstallerAlias, "/Volumes/Media/Sample.dmg", mode));
    }

    // Performs the command, checks that nothing is committed yet, then commits (or rolls back) and
    // releases it.
    void Run(const QENCommandPtr& command, bool commit)
    {
        const Strings before = Everything();
        ASSERT_TRUE(command->Perform()) << log_.Dump();
        EXPECT_EQ(Everything(), before);
        EXPECT_TRUE(commit ? command->Commit() : command->Rollback());
    }

    // The command's own lines, without those of the package-management result.
    Strings Messages() const
    {
        Strings messages;
        for (const std::string& line : log_.lines) {
            bool result = false;
            for (const std::string start : {"5 CAPS package manipulation result", "5 CAPS return code: ",
                                            "5 Session OrvexCode: ", "5 Conflicts: ", "5 Upgraded: ", "5 Corrupted: ",
                                            "5 \t"})
                result = result || line.compare(0, start.size(), start) == 0;
            if (!result)
                messages.push_back(line);
        }
        return messages;
    }
};

}  // namespace

TEST_F(QENCAPSCommandsTest, WriteCollectionRollsBackOrCommits)
{
    Run(QENCommandPtr(new QENCAPSWriteCollectionDataCommand(log_, "c1", kPayload, "/Volumes/Media", "/U")), false);
    EXPECT_TRUE(Collections().empty());

    log_.lines.clear();
    Run(QENCommandPtr(new QENCAPSWriteCollectionDataCommand(log_, "c1", kPayload, "/Volumes/Media", "/U")), true);
    EXPECT_EQ(Collections(), Strings{"c1 " + kPayload});
    EXPECT_EQ(CollectionData(), (Strings{"c1 0 aliasPath /U", "c1 0 installSourcePath /Volumes/Media"}));
    const std::string ids = "collection with ID \"c1\" and driver code \"" + kPayload + "\"";
    EXPECT_EQ(Messages(), (Strings{"5 Adding " + ids + " to CAPS", "5 Added original installer path of \"/Volumes/Media\" to CAPS",
                                   "5 Added alias path of \"/U\" to CAPS", "5 Committed addition of " + ids + " to CAPS",
                                   "5 Closed CAPS session for addition of " + ids}))
        << log_.Dump();

    // Empty driver code and paths are stored as empty values, not as removals.
    Run(QENCommandPtr(new QENCAPSWriteCollectionDataCommand(log_, "c2", "", "", "")), true);
    EXPECT_EQ(Collections().back(), "c2 ");
    EXPECT_EQ(Rows("SELECT key, value FROM collection_data WHERE collectionID = 'c2' ORDER BY 1", 2),
              (Strings{"aliasPath ", "installSourcePath "}));
}

TEST_F(QENCAPSCommandsTest, WritePayloadRecordsEverythingOnCommitAndNothingOnRollback)
{
    SeedCollection("c1", kPayload);
    const Strings before = Everything();
    Run(WritePayload("install", {}, "/Uninstall Sample"), false);
    EXPECT_EQ(Everything(), before);
    EXPECT_TRUE(log_.Has("5 CAPS rollback for payload with ID \"" + kPayload + "\" returned 0."));

    Run(WritePayload("install", {{"INSTALLDIR", "/A"}, {"sessionID", "c1"}, {"notWhitelisted", "x"}}, "/Uninstall Sample"),
        true);
    const std::string p = kPayload;
    EXPECT_EQ(Links(), Strings{"c1 " + p + " 2"});
    EXPECT_EQ(Rows("SELECT productFamily, productName, version, signature FROM tolk_payload", 4),
              Strings{"Family Sample 2.0 build-7"});
    EXPECT_EQ(PayloadData(), (Strings{p + " 0 Created build-7", p + " 0 INSTALLDIR /Applications/Sample",
                                      p + " 0 installLanguage de_DE", p + " 0 payloadPath /Volumes/Media/Sample.dmg",
                                      p + " 5 INSTALLDIR /A", p + " 5 sessionID c1"}));
    // A code given twice is one constraint.
    EXPECT_EQ(Rows("SELECT constraintType, payloadIDb FROM tolk_payload_constraint ORDER BY 1", 2),
              (Strings{"0 {X}", "1 {OLD}"}));
    EXPECT_EQ(CollectionData(), Strings{"c1 0 aliasPath /Uninstall Sample"});
    EXPECT_TRUE(log_.Has("5 CAPS master commit for payload with ID \"" + p + "\" returned 0."));
    EXPECT_EQ(log_.lines.back(), "5 Closed CAPS session payload with ID \"" + p + "\" returned 0");

    // An empty uninstaller alias path leaves the collection's value alone.
    Run(WritePayload("install", {}, ""), true);
    EXPECT_EQ(CollectionData(), Strings{"c1 0 aliasPath /Uninstall Sample"});
}

TEST_F(QENCAPSCommandsTest, WritePayloadModesAreExactAndARepairRecordsNothing)
{
    SeedCollection("c1", kPayload);
    const Strings before = Everything();
    EXPECT_FALSE(WritePayload("Install", {}, "/U")->Perform());
    // A repair writes nothing: its commit and rollback have nothing to do, which is no failure.
    QENCommandPtr repair = WritePayload("repair", {}, "/U");
    EXPECT_TRUE(repair->Perform());
    EXPECT_TRUE(repair->Commit());
    EXPECT_TRUE(repair->Rollback());
    EXPECT_TRUE(log_.lines.empty()) << log_.Dump();
    EXPECT_EQ(Everything(), before);
}

TEST_F(QENCAPSCommandsTest, RemovePayloadRollsBackOrCommits)
{
    SeedCollection("c1", kPayload);
    SeedPayload("c1", kPayload);
    const Strings before = Everything();
    Run(QENCommandPtr(new QENCAPSRemovePayloadDataCommand(log_, "c1", kPayload)), false);
    EXPECT_EQ(Everything(), before);

    log_.lines.clear();
    Run(QENCommandPtr(new QENCAPSRemovePayloadDataCommand(log_, "c1", kPayload)), true);
    EXPECT_TRUE(Payloads().empty());
    EXPECT_TRUE(Links().empty());
    const std::string ids = "payload with code \"" + kPayload + "\" from collection with ID \"c1\"";
    EXPECT_EQ(Messages(), (Strings{"5 Removing " + ids + " from CAPS", "5 Removed",
                                   "5 Committed removal of " + ids + " from CAPS",
                                   "5 Closed CAPS session for removal of payload with code \"" + kPayload + "\""}))
        << log_.Dump();
}

TEST_F(QENCAPSCommandsTest, RemovePayloadWorksOnTheMostRecentSessionRecorded)
{
    SeedCollection("c1");
    SeedCollection("c2");
    SeedPayload("c2", kPayload);
    {
        CAPSSessionPtr session;
        ASSERT_TRUE(session.Open());
        ASSERT_EQ(capsSetPayloadData(session, kPayload.c_str(), 0, "mostRecentSessionID", "c2"), kCapsOK);
    }
    QENCAPSRemovePayloadDataCommand* command = new QENCAPSRemovePayloadDataCommand(log_, "c1", kPayload);
    EXPECT_EQ(command->CollectionID(), "c2");
    EXPECT_TRUE(log_.lines.empty());
    Run(QENCommandPtr(command), true);
    EXPECT_TRUE(Payloads().empty());
    EXPECT_TRUE(log_.Has("5 Removing payload with code \"" + kPayload + "\" from collection with ID \"c2\" from CAPS"));
}

TEST_F(QENCAPSCommandsTest, RemovePayloadKeepsTheRecordsWhileAnotherCollectionHasItInstalled)
{
    // "B" upgrades "A", whose record stays (no longer installed) for the upgrade record; "B" is
    // installed in c1 and c2. Removing "B" from c1 must leave c2's payload whole: its record, its
    // upgrade record and the original's record.
    SeedCollection("c0", "X");
    SeedPayload("c0", "A");
    SeedCollection("c1", "B");
    SeedPayload("c1", "B", {"A"});
    SeedCollection("c2", "Y");
    SeedPayload("c2", "B", {"A"});
    {
        CAPSSessionPtr session;
        ASSERT_TRUE(session.Open());
        ASSERT_EQ(capsSetInstallState(session, "c0", "A", kCapsNotInstalled), kCapsOK);
    }
    Run(QENCommandPtr(new QENCAPSRemovePayloadDataCommand(log_, "c1", "B")), true);
    EXPECT_EQ(Links(), (Strings{"c0 A 0", "c1 B 0", "c2 B 2"}));
    EXPECT_EQ(Payloads(), (Strings{"A", "B"}));
    EXPECT_EQ(Rows("SELECT * FROM upgraded_payloads", 2), Strings{"A B"});
    EXPECT_TRUE(log_.Has("5 Payload with code \"B\" is still installed in another collection; keeping its record in CAPS"));

    // Linked but installed nowhere: the package-management step leaves the record, the command
    // deletes it.
    {
        CAPSSessionPtr session;
        ASSERT_TRUE(session.Open());
        ASSERT_EQ(capsAddPayload(session, "c0", "Z", "F", "N", "1", "s", nullptr, nullptr), kCapsOK);
    }
    Run(QENCommandPtr(new QENCAPSRemovePayloadDataCommand(log_, "c0", "Z")), true);
    EXPECT_EQ(Payloads(), (Strings{"A", "B"}));
}

TEST_F(QENCAPSCommandsTest, RemoveCollectionRollsBackOrCommits)
{
    SeedCollection("c1", kPayload);
    SeedCollection("c2");
    Run(QENCommandPtr(new QENCAPSRemoveCollectionDataCommand(log_, "c1")), false);
    EXPECT_EQ(Collections().size(), 2u);
    log_.lines.clear();
    Run(QENCommandPtr(new QENCAPSRemoveCollectionDataCommand(log_, "c1")), true);
    EXPECT_EQ(Collections(), Strings{"c2 "});
    EXPECT_EQ(Messages(), (Strings{"5 Removing collection with ID \"c1\" from CAPS", "5 Removed",
                                   "5 Committed removal of collection with ID \"c1\" from CAPS",
                                   "5 Closed CAPS session for removal of collection with ID \"c1\""}))
        << log_.Dump();
}

TEST_F(QENCAPSCommandsTest, APerformedCommandThatIsNeverCommittedLeavesNothing)
{
    // Closing a session commits: a command released without the engine's commit must not.
    SeedCollection("c1", kPayload);
    const Strings before = Everything();
    EXPECT_TRUE(WritePayload("install", {}, "/U")->Perform());
    EXPECT_TRUE(QENCommandPtr(new QENCAPSWriteCollectionDataCommand(log_, "c9", "", "", ""))->Perform());
    EXPECT_EQ(Everything(), before);
}
