// Package-management scenarios over a real database. Each step runs as the engine's callers
// run it: in a scoped session of its own, committed only when it counts as done, else rolled
// back. The scenarios check what the file holds afterwards.
#include "CapsTestSupport.h"

#include "Common/source/xplat/LogAppender.h"
#include "caps/CAPSLoggingUtilities.h"
#include "caps/CAPSQueryUtilities.h"
#include "caps/CAPSSessionPtr.h"

using namespace capstest;
using namespace CAPSQueryUtilities;
namespace Action = PayloadOperationConstants;

namespace {

typedef std::vector<std::string> Strings;

class PackageManagementTest : public CapsDbTest {
protected:
    bool Run(const PackageManagementData& data, PackageManagementOperationResult& result)
    {
        CAPSSessionPtr session;
        EXPECT_TRUE(session.Open());
        const bool done = PackageManagementOperationSucceeded(DoCAPSPackageManagementOperations(session, data, result),
                                                              result);
        EXPECT_TRUE(done ? session.Commit() : session.Rollback());
        return done;
    }
    bool Run(const PackageManagementData& data)
    {
        PackageManagementOperationResult result;
        return Run(data, result);
    }
    static PackageManagementData Payload(const std::string& collection, const std::string& payload,
                                         Action::InstallAction action, const OrvexCodeSet& upgrades = {},
                                         const OrvexCodeSet& conflicts = {})
    {
        PackageManagementData data(collection, payload, action);
        data.productFamily = "Family";
        data.productName = "Product " + payload;
        data.version = "1.0";
        data.signature = "20260101";
        data.upgrades = upgrades;
        data.conflicts = conflicts;
        return data;
    }
    static PackageManagementData Collection(const std::string& collection, Action::InstallAction action,
                                            const std::string& driver = "")
    {
        PackageManagementData data(collection, action);
        data.driverPayloadCode = driver;
        return data;
    }
    // A collection made for its driver, with the driver and the others installed.
    void InstallCollection(const std::string& collection, const std::string& driver, const Strings& others = {})
    {
        ASSERT_TRUE(Run(Collection(collection, Action::kInstall, driver)));
        for (const std::string& payload : others)
            ASSERT_TRUE(Run(Payload(collection, payload, Action::kInstall)));
        ASSERT_TRUE(Run(Payload(collection, driver, Action::kInstall)));
    }

    /* The committed state, read from the file: rows joined by spaces. */
    Strings Rows(const std::string& sql, std::size_t columns) { return RawDatabase(DbFile()).JoinedRows(sql, columns); }
    Strings Collections() { return Rows("SELECT collectionID FROM tolk_collection ORDER BY 1", 1); }
    Strings Payloads() { return Rows("SELECT payloadID FROM tolk_payload ORDER BY 1", 1); }
    Strings Links()
    {
        return Rows("SELECT collectionID, payloadID, installState FROM tolk_collection_payload ORDER BY 1, 2", 3);
    }
    Strings Upgrades() { return Rows("SELECT * FROM upgraded_payloads ORDER BY 1", 2); }
    Strings Snapshot()
    {
        Strings all = Rows("SELECT * FROM tolk_collection ORDER BY 1", 2);
        for (const Strings& part : {Payloads(), Links(), Upgrades(),
                                    Rows("SELECT * FROM tolk_payload_constraint ORDER BY 1, 2, 3", 3)})
            all.insert(all.end(), part.begin(), part.end());
        return all;
    }
    // A trigger of the test's own that refuses one kind of write.
    void Refuse(const std::string& event, const std::string& when)
    {
        RawDatabase raw(DbFile());
        ASSERT_EQ(SQLITE_OK, raw.Exec("CREATE TRIGGER refuse BEFORE " + event + " FOR EACH ROW WHEN " + when +
                                      " BEGIN SELECT RAISE(ABORT, 'refused by test'); END;"));
    }
};

}  // namespace

// Installing B (upgrades A), where A drives Q holding A, B2 (nowhere else) and B3 (also in Y),
// and A had itself upgraded Z (kept in W): Q, A and B2 go, B3 stays in Y, B takes over Z.
TEST_F(PackageManagementTest, UpgradeReplacesThePayloadItUpgradesAndTheCollectionThatDrives)
{
    InstallCollection("W", "W0", {"Z"});
    ASSERT_TRUE(Run(Collection("Q", Action::kInstall, "A")));
    ASSERT_TRUE(Run(Payload("Q", "A", Action::kInstall, {"Z"})));
    ASSERT_TRUE(Run(Payload("Q", "B2", Action::kInstall)));
    InstallCollection("Y", "Y0", {"B3"});
    ASSERT_TRUE(Run(Payload("Q", "B3", Action::kInstall)));
    ASSERT_EQ(Strings{"Z A"}, Upgrades());

    ASSERT_TRUE(Run(Collection("S", Action::kInstall, "B")));
    PackageManagementOperationResult result;
    EXPECT_TRUE(Run(Payload("S", "B", Action::kInstall, {"A"}), result));
    EXPECT_TRUE(result.conflicts.empty());
    EXPECT_EQ((Strings{"S", "W", "Y"}), Collections());
    EXPECT_EQ((Strings{"B", "B3", "W0", "Y0", "Z"}), Payloads());
    EXPECT_EQ((Strings{"S B 2", "W W0 2", "W Z 2", "Y B3 2", "Y Y0 2"}), Links());
    EXPECT_EQ(Strings{"Z B"}, Upgrades());
}

// The upgrade had taken Q down inside the session before the conflict with X refused B: the
// caller's rollback must bring it all back.
TEST_F(PackageManagementTest, ConflictRefusesTheInstallNamesTheBlockerAndIsTakenBackWhole)
{
    InstallCollection("Q", "A", {"B2"});
    InstallCollection("C1", "X");
    ASSERT_TRUE(Run(Collection("S", Action::kInstall, "B")));
    const Strings before = Snapshot();

    CAPSSessionPtr session;
    ASSERT_TRUE(session.Open());
    PackageManagementOperationResult result;
    EXPECT_FALSE(DoCAPSPackageManagementOperations(session, Payload("S", "B", Action::kInstall, {"A"}, {"X", "?"}),
                                                   result));
    EXPECT_EQ(kCapsOK, result.status);
    EXPECT_EQ(OrvexCodeSet{"X"}, result.conflicts);
    capsCollection collection = {};
    EXPECT_EQ(kCapsNotFound, capsGetCollection(session, "Q", &collection));
    ASSERT_TRUE(session.Rollback());
    session.Close();
    EXPECT_EQ(before, Snapshot());

    // A missing product field fails too, without a status, and is taken back the same way.
    PackageManagementData data = Payload("S", "B", Action::kInstall, {"A"});
    data.version.clear();
    EXPECT_FALSE(Run(data, result));
    EXPECT_TRUE(result.conflicts.empty());
    EXPECT_EQ(before, Snapshot());
}

TEST_F(PackageManagementTest, ConflictsNamedByTheInstalledPayloadOrThroughTheDriver)
{
    ASSERT_TRUE(Run(Collection("C1", Action::kInstall, "X")));
    ASSERT_TRUE(Run(Payload("C1", "X", Action::kInstall, {}, {"P"})));
    ASSERT_TRUE(Run(Collection("S", Action::kInstall, "P")));
    PackageManagementOperationResult result;
    EXPECT_FALSE(Run(Payload("S", "P", Action::kInstall), result));
    EXPECT_EQ(OrvexCodeSet{"X"}, result.conflicts);

    // U upgrades Q. A collection made for Q cannot take it; another records Q as upgraded by U.
    InstallCollection("D", "U");
    ASSERT_TRUE(Run(Payload("D", "V", Action::kInstall, {"Q", "V"})));
    ASSERT_TRUE(Run(Collection("T", Action::kInstall, "Q")));
    EXPECT_FALSE(Run(Payload("T", "Q", Action::kInstall), result));
    EXPECT_EQ(OrvexCodeSet{"V"}, result.conflicts);
    // V names itself among its upgrades, which does not make it supersede itself.
    ASSERT_TRUE(Run(Collection("T2", Action::kInstall, "V")));
    EXPECT_TRUE(Run(Payload("T2", "V", Action::kInstall, {"Q", "V"})));
    EXPECT_TRUE(Run(Payload("C1", "Q", Action::kInstall)));
    EXPECT_EQ(Strings{"Q V"}, Upgrades());
}

TEST_F(PackageManagementTest, AlreadyRecordedAndRepairChangeNothingButMissingLinks)
{
    InstallCollection("C", "C0", {"A"});
    ASSERT_TRUE(Run(Collection("D", Action::kInstall, "B")));
    ASSERT_TRUE(Run(Payload("D", "B", Action::kInstall, {"A"})));
    const Strings before = Snapshot();
    // C has B in effect through its original A.
    EXPECT_TRUE(Run(Payload("C", "B", Action::kInstall)));
    EXPECT_TRUE(Run(Payload("C", "A", Action::kRepair)));
    EXPECT_EQ(before, Snapshot());

    PackageManagementData repair = Payload("E", "C0", Action::kRepair);
    repair.productName = "Renamed";
    ASSERT_TRUE(Run(Collection("E", Action::kInstall, "E0")));
    EXPECT_TRUE(Run(repair));
    EXPECT_EQ(Strings{"C0 2"}, Rows("SELECT payloadID, installState FROM tolk_collection_payload "
                                     "WHERE collectionID = 'E'", 2));
    EXPECT_EQ(Strings{"Product C0"}, Rows("SELECT productName FROM tolk_payload WHERE payloadID = 'C0'", 1));
}

// A in C (made for C0); B, installed in D, upgrades A. The last uninstall names B for C, which
// holds it under A: original and payload go.
TEST_F(PackageManagementTest, UninstallRecordedThroughAnOriginalRemovesBoth)
{
    InstallCollection("C", "C0", {"A"});
    ASSERT_TRUE(Run(Collection("D", Action::kInstall, "B")));
    ASSERT_TRUE(Run(Payload("D", "B", Action::kInstall, {"A"})));
    PackageManagementOperationResult result;
    EXPECT_TRUE(Run(Payload("D", "B", Action::kUninstall), result));
    EXPECT_EQ((Strings{"C A 2", "C C0 2", "D B 0"}), Links());

    EXPECT_TRUE(Run(Payload("C", "B", Action::kUninstall), result));
    EXPECT_EQ("A", result.sessionCode);
    EXPECT_EQ(Strings{"C0"}, Payloads());
    EXPECT_EQ(Strings{"C C0 2"}, Links());
    EXPECT_TRUE(Upgrades().empty());
}

TEST_F(PackageManagementTest, UninstallOfASharedPayloadChangesOnlyLinksUntilTheLast)
{
    InstallCollection("C1", "X", {"P"});
    InstallCollection("C2", "Y", {"P"});
    EXPECT_TRUE(Run(Payload("C1", "P", Action::kUninstall)));
    // Again for C1, where P is no longer installed: C2 has it, so only records change.
    EXPECT_TRUE(Run(Payload("C1", "P", Action::kUninstall)));
    EXPECT_EQ((Strings{"C1 P 0", "C1 X 2", "C2 P 2", "C2 Y 2"}), Links());
    EXPECT_TRUE(Run(Payload("C2", "P", Action::kUninstall)));
    EXPECT_EQ((Strings{"C1 X 2", "C2 Y 2"}), Links());
    PackageManagementOperationResult result;
    EXPECT_FALSE(Run(Payload("C1", "P", Action::kUninstall), result));
    EXPECT_EQ("", result.sessionCode);
}

// A step whose database write failed may still answer true: only the rule of
// PackageManagementOperationSucceeded keeps it from being committed.
TEST_F(PackageManagementTest, FailedWriteBehindATrueAnswerIsNotDone)
{
    InstallCollection("C1", "X", {"P"});
    for (const Strings& refusal : {Strings{"INSERT ON tolk_collection_payload", "NEW.installState = 0"},
                                   Strings{"DELETE ON tolk_payload", "OLD.payloadID = 'P'"}}) {
        Refuse(refusal[0], refusal[1]);
        CAPSSessionPtr session;
        ASSERT_TRUE(session.Open());
        PackageManagementOperationResult result;
        const bool returned = DoCAPSPackageManagementOperations(session, Payload("C1", "P", Action::kUninstall), result);
        EXPECT_TRUE(returned);
        EXPECT_EQ(kCapsConstraint, result.status);
        EXPECT_FALSE(PackageManagementOperationSucceeded(returned, result));
        EXPECT_TRUE(session.Rollback());
        session.Close();
        EXPECT_EQ((Strings{"C1 P 2", "C1 X 2"}), Links());
        RawDatabase(DbFile()).Exec("DROP TRIGGER refuse");
    }
}

TEST_F(PackageManagementTest, CollectionInstallAndUninstall)
{
    ASSERT_TRUE(Run(Collection("S", Action::kInstall)));
    EXPECT_EQ(Strings{"S "}, Rows("SELECT collectionID, collectionPayloadID FROM tolk_collection", 2));
    // S holds C uninstalled (only in S), D installed and X installed (upgraded by B in U).
    ASSERT_TRUE(Run(Payload("S", "C", Action::kInstall)));
    {
        CAPSSessionPtr session;
        ASSERT_TRUE(session.Open());
        ASSERT_EQ(kCapsOK, capsSetInstallState(session, "S", "C", kCapsNotInstalled));
    }
    InstallCollection("S", "D", {"X"});
    ASSERT_TRUE(Run(Collection("U", Action::kInstall, "B")));
    ASSERT_TRUE(Run(Payload("U", "B", Action::kInstall, {"X"})));

    // Still installed payloads: named by their effective codes, and nothing removed, C included.
    const Strings before = Snapshot();
    PackageManagementOperationResult result;
    EXPECT_TRUE(Run(Collection("S", Action::kUninstall), result));
    EXPECT_EQ((OrvexCodeSet{"B", "D"}), result.corrupted);
    EXPECT_EQ(before, Snapshot());

    ASSERT_TRUE(Run(Payload("S", "D", Action::kUninstall)));
    ASSERT_TRUE(Run(Payload("S", "X", Action::kUninstall)));
    // A refused removal of the collection itself comes after C and X (linked only here, not
    // installed) went: the rollback brings them back.
    Refuse("DELETE ON tolk_collection", "1");
    EXPECT_FALSE(Run(Collection("S", Action::kUninstall), result));
    EXPECT_EQ(kCapsNotFound, result.status);
    EXPECT_EQ((Strings{"B", "C", "X"}), Payloads());
    RawDatabase(DbFile()).Exec("DROP TRIGGER refuse");
    EXPECT_TRUE(Run(Collection("S", Action::kUninstall), result));
    EXPECT_EQ(Strings{"U"}, Collections());
    EXPECT_EQ(Strings{"B"}, Payloads());
    EXPECT_FALSE(Run(Collection("U", static_cast<Action::InstallAction>(7))));
}

TEST_F(PackageManagementTest, LogListsEachSetAfterItsCount)
{
    struct RecordingLog : LogAppender {
        using LogAppender::AppendToLog;
        void AppendToLog(LogLevel level, const std::string& text) override
        {
            EXPECT_EQ(kLogDebug, level);
            lines.push_back(text);
        }
        Strings lines;
    } log;
    PackageManagementOperationResult result;
    result.status = 16;
    result.sessionCode = "{A%1%}";
    result.conflicts = {"{b}", "{a}"};
    CAPSLoggingUtilities::LogCAPSResult(log, result);
    result.Clear();
    CAPSLoggingUtilities::LogCAPSResult(log, result);
    EXPECT_EQ((Strings{"CAPS package manipulation result", "CAPS return code: 16", "Session OrvexCode: {A%1%}",
                       "Conflicts: 2", "\t{a}", "\t{b}", "Upgraded: 0", "Corrupted: 0",
                       "CAPS package manipulation result", "CAPS return code: 0", "Session OrvexCode: ",
                       "Conflicts: 0", "Upgraded: 0", "Corrupted: 0"}),
              log.lines);
}
