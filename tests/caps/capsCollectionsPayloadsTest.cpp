#include "CapsTestSupport.h"

using namespace capstest;

TEST_F(CapsRecordsTest, AddingACollectionAgainUpdatesDriverAndChangeTime)
{
    now_ = 2000;
    ASSERT_EQ(kCapsOK, capsAddCollection(session_, "c1", "driver2"));
    capsCollection record = {};
    ASSERT_EQ(kCapsOK, capsGetCollection(session_, "c1", &record));
    EXPECT_STREQ("c1", record.collectionID);
    EXPECT_STREQ("driver2", record.collectionPayloadID);
    EXPECT_EQ(1000, record.tsInstalled);
    EXPECT_EQ(2000, record.tsModified);
    EXPECT_EQ(kCapsNotFound, capsGetCollection(session_, "other", &record));
}

TEST_F(CapsRecordsTest, CodesWithQuotesAndPercentSignsAreStoredAsGiven)
{
    const char* code = "it's 100% {x}";
    ASSERT_EQ(kCapsOK, capsAddCollection(session_, code, "%s%d"));
    capsCollection record = {};
    ASSERT_EQ(kCapsOK, capsGetCollection(session_, code, &record));
    EXPECT_STREQ(code, record.collectionID);
    EXPECT_STREQ("%s%d", record.collectionPayloadID);
}

TEST_F(CapsRecordsTest, ReAddingAPayloadKeepsItsLinkDataAndConstraints)
{
    AddPayload("c1", "p", {"x"}, {"old"});
    Install("c1", "p");
    ASSERT_EQ(kCapsOK, capsSetPayloadData(session_, "p", 0, "payloadPath", "/a"));

    const char* upgrades[] = {"new", nullptr};
    ASSERT_EQ(kCapsOK, capsAddPayload(session_, "c1", "p", "F2", "N2", "2.0", "s2", nullptr, upgrades));
    capsPayload payload = {};
    ASSERT_EQ(kCapsOK, capsGetPayload(session_, "p", &payload));
    EXPECT_STREQ("2.0", payload.version);
    EXPECT_STREQ("N2", payload.productName);
    EXPECT_EQ(kCapsInstalled, State("c1", "p"));
    const char* value = nullptr;
    EXPECT_EQ(kCapsOK, capsGetPayloadData(session_, "p", 0, "payloadPath", &value));
    EXPECT_STREQ("/a", value);
    capsStringList list = nullptr;
    ASSERT_EQ(kCapsOK, capsGetPayloadConstraint(session_, "p", kCapsUpgrades, &list));
    EXPECT_EQ((std::vector<std::string>{"new", "old"}), Sorted(list));
}

TEST_F(CapsRecordsTest, PayloadOfAnUnrecordedCollectionIsRecordedWithoutLink)
{
    AddPayload("nowhere", "p");
    capsPayload payload = {};
    EXPECT_EQ(kCapsOK, capsGetPayload(session_, "p", &payload));
    capsStringList list = nullptr;
    EXPECT_EQ(kCapsNotFound, capsGetPayloadCollections(session_, kCapsAnyInstallState, "p", &list));
    EXPECT_EQ(kCapsConstraint, capsSetInstallState(session_, "nowhere", "p", kCapsNotInstalled));
    EXPECT_EQ(kCapsConstraint, capsSetPayloadData(session_, "unknown", 0, "k", "v"));
}

TEST_F(CapsRecordsTest, RemovingAPayloadTakesItsOriginalsAlong)
{
    AddPayload("c1", "a");
    AddPayload("c1", "b");
    AddPayload("c1", "u", {}, {"a", "b"});
    AddPayload("c1", "other");
    for (const char* code : {"a", "b"}) {
        Install("c1", code);
        ASSERT_EQ(kCapsOK, capsSetPayloadData(session_, code, 5, "k", "v"));
    }
    Install("c1", "u");
    EXPECT_EQ((std::map<std::string, std::string>{{"a", "u"}, {"b", "u"}}), Upgrades());
    ASSERT_EQ(kCapsOK, capsSessionCommit(session_));

    // Installed links must be marked uninstalled first.
    EXPECT_EQ(kCapsConstraint, capsRemovePayload(session_, "u"));
    ASSERT_EQ(kCapsOK, capsSessionRollback(session_));

    for (const char* code : {"a", "b", "u"})
        Install("c1", code, kCapsNotInstalled);
    ASSERT_EQ(kCapsOK, capsRemovePayload(session_, "u"));
    EXPECT_EQ(std::vector<std::string>{"other"}, Payloads());
    capsStringList list = nullptr;
    EXPECT_EQ(kCapsNotFound, capsGetUpgradedPayloadsKeysAndValues(session_, &list));
    EXPECT_EQ(kCapsNotFound, capsGetPayloadConstraint(session_, "u", kCapsUpgrades, &list));
    EXPECT_EQ(kCapsNotFound, capsGetPayloadDataKeys(session_, "a", 5, &list));
}

TEST_F(CapsRecordsTest, RemovingACollectionKeepsSharedAndUpgradingPayloads)
{
    AddPayload("c1", "only");
    AddPayload("c1", "shared");
    AddPayload("c2", "shared");
    AddPayload("c2", "orig");
    AddPayload("c1", "upgrader", {}, {"orig"});
    ASSERT_EQ(kCapsOK, capsSetCollectionData(session_, "c1", 5, "k", "v"));
    Install("c2", "orig");
    Install("c1", "upgrader");
    Install("c1", "upgrader", kCapsNotInstalled);

    ASSERT_EQ(kCapsOK, capsRemoveCollection(session_, "c1"));
    EXPECT_EQ((std::vector<std::string>{"orig", "shared"}), Payloads());
    capsPayload payload = {};
    EXPECT_EQ(kCapsNotFound, capsGetPayload(session_, "only", &payload));
    EXPECT_EQ(kCapsOK, capsGetPayload(session_, "upgrader", &payload));  // unlinked, but stands for "orig"
    capsStringList list = nullptr;
    EXPECT_EQ(kCapsNotFound, capsGetCollectionDataKeys(session_, "c1", 5, &list));
}

TEST_F(CapsRecordsTest, CollectionWithAnInstalledPayloadCannotBeRemoved)
{
    AddPayload("c1", "p");
    Install("c1", "p");
    EXPECT_EQ(kCapsConstraint, capsRemoveCollection(session_, "c1"));
    capsCollection record = {};
    EXPECT_EQ(kCapsOK, capsGetCollection(session_, "c1", &record));
    EXPECT_EQ(kCapsInstalled, State("c1", "p"));
}

TEST_F(CapsRecordsTest, ListsFilterByStateAndCrossUpgrades)
{
    AddPayload("c1", "x");
    AddPayload("c2", "y", {}, {"x"});
    Install("c1", "x");
    Install("c2", "y");
    capsStringList list = nullptr;
    EXPECT_EQ(kCapsNotFound, capsGetPayloads(session_, kCapsNotInstalled, &list));
    ASSERT_EQ(kCapsOK, capsGetPayloadCollectionsAcrossUpgrades(session_, kCapsInstalled, "y", &list));
    EXPECT_EQ((std::vector<std::string>{"c1", "c2"}), Sorted(list));
    EXPECT_EQ(kCapsBadArgument, capsGetPayloads(session_, 5, &list));
    EXPECT_EQ(kCapsBadArgument, capsGetPayloadCollections(session_, -1, "x", &list));
}
