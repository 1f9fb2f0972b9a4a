#include "CapsTestSupport.h"

using namespace capstest;

TEST_F(CapsRecordsTest, ConflictsRefuseBothWaysAndChangeNothing)
{
    AddPayload("c1", "a");
    AddPayload("c2", "b", {"a"});
    AddPayload("c2", "z", {"a"}, {"a"});
    Install("c1", "a");
    now_ = 5000;
    // b names a, which is installed in another collection.
    EXPECT_EQ(kCapsInstallConflict, capsSetInstallState(session_, "c2", "b", kCapsInstalled));
    EXPECT_EQ(kCapsNotInstalled, State("c2", "b"));
    // Refused before the upgrade bookkeeping: no record of z upgrading a.
    EXPECT_EQ(kCapsInstallConflict, capsSetInstallState(session_, "c2", "z", kCapsInstalled));
    EXPECT_TRUE(Upgrades().empty());

    // The other way: c is named as a conflict by the installed d.
    AddPayload("c1", "c");
    AddPayload("c2", "d", {"c"});
    Install("c1", "a", kCapsNotInstalled);
    Install("c2", "d");
    EXPECT_EQ(kCapsInstallConflict, capsSetInstallState(session_, "c1", "c", kCapsInstalled));
    EXPECT_EQ(kCapsNotInstalled, State("c1", "c"));
}

TEST_F(CapsRecordsTest, ConflictWithUninstalledPayloadsDoesNotBlock)
{
    AddPayload("c1", "a");
    AddPayload("c2", "b", {"a", "unknown"});
    Install("c2", "b");
    EXPECT_EQ(kCapsInstalled, State("c2", "b"));
}

TEST_F(CapsRecordsTest, InstallingAnUpgradeSupersedesTheInstalledOriginal)
{
    AddPayload("c1", "a");
    Install("c1", "a");
    ASSERT_EQ(kCapsOK, capsSetPayloadData(session_, "a", 0, "payloadPath", "/x"));
    ASSERT_EQ(kCapsOK, capsSetPayloadData(session_, "a", 5, "prop", "1"));
    AddPayload("c2", "b", {}, {"a"});
    Install("c2", "b");
    EXPECT_EQ((std::map<std::string, std::string>{{"a", "b"}}), Upgrades());
    capsStringList keys = nullptr;
    EXPECT_EQ(kCapsNotFound, capsGetPayloadDataKeys(session_, "a", 0, &keys));
    EXPECT_EQ(kCapsNotFound, capsGetPayloadDataKeys(session_, "a", 5, &keys));
    EXPECT_EQ(kCapsInstalled, State("c1", "a"));  // until someone changes it
}

TEST_F(CapsRecordsTest, UpgradeChainsArePointedAtTheNewestPayload)
{
    AddPayload("c1", "x");
    Install("c1", "x");
    AddPayload("c1", "y", {}, {"x"});
    Install("c1", "y");
    AddPayload("c2", "z", {}, {"y"});
    Install("c2", "z");
    EXPECT_EQ((std::map<std::string, std::string>{{"x", "z"}, {"y", "z"}}), Upgrades());
}

TEST_F(CapsRecordsTest, OriginalInstalledAfterItsUpgradeIsRecordedAsUpgraded)
{
    AddPayload("c1", "a");
    AddPayload("c2", "b", {}, {"a"});
    Install("c2", "b");
    EXPECT_TRUE(Upgrades().empty());  // a was not installed yet
    Install("c1", "a");
    EXPECT_EQ((std::map<std::string, std::string>{{"a", "b"}}), Upgrades());
}

TEST_F(CapsRecordsTest, APayloadNamingItselfAsUpgradeKeepsItsData)
{
    AddPayload("c1", "p", {}, {"p"});
    Install("c1", "p");
    ASSERT_EQ(kCapsOK, capsSetPayloadData(session_, "p", 0, "payloadPath", "/p"));
    AddPayload("c2", "p", {}, {"p"});
    Install("c2", "p");
    const char* value = nullptr;
    EXPECT_EQ(kCapsOK, capsGetPayloadData(session_, "p", 0, "payloadPath", &value));
    EXPECT_STREQ("/p", value);
    EXPECT_TRUE(Upgrades().empty());
}

TEST_F(CapsRecordsTest, StatesOutsideZeroAndTwoAreRefused)
{
    AddPayload("c1", "p");
    for (capsInstallState bad : {1, 3, -1, 4})
        EXPECT_EQ(kCapsBadArgument, capsSetInstallState(session_, "c1", "p", bad));
    now_ = 4242;
    ASSERT_EQ(kCapsOK, capsSetInstallState(session_, "c1", "p", kCapsNotInstalled));
    ASSERT_EQ(kCapsOK, capsSessionCommit(session_));
    EXPECT_EQ("4242", RawDatabase(DbFile()).Value("SELECT tsInstalled FROM tolk_collection_payload"));

    capsInstallState state = 9;
    EXPECT_EQ(kCapsNotFound, capsGetInstallState(session_, "c2", "p", &state));
    EXPECT_EQ(0, state);
}

TEST_F(CapsRecordsTest, DataIsKeptPerCodeAndDomain)
{
    for (capsDomain domain : {0, 3, 5})
        ASSERT_EQ(kCapsOK, capsSetCollectionData(session_, "c1", domain, "key", std::to_string(domain).c_str()));
    ASSERT_EQ(kCapsOK, capsSetCollectionData(session_, "c1", 5, "key", "five"));
    ASSERT_EQ(kCapsOK, capsSetCollectionData(session_, "c1", 5, "other", "o'k"));
    ASSERT_EQ(kCapsOK, capsSetCollectionData(session_, "c2", 5, "key", "c2"));

    const char* value = nullptr;
    capsStringList list = nullptr;
    ASSERT_EQ(kCapsOK, capsGetCollectionDataKeysAndValues(session_, "c1", 5, &list));
    EXPECT_EQ((std::vector<std::string>{"five", "key", "o'k", "other"}), Sorted(list));

    ASSERT_EQ(kCapsOK, capsSetCollectionData(session_, "c1", 5, "key", nullptr));
    EXPECT_EQ(kCapsNotFound, capsGetCollectionData(session_, "c1", 5, "key", &value));
    EXPECT_EQ(kCapsOK, capsSetCollectionData(session_, "c1", 5, "absent", nullptr));

    ASSERT_EQ(kCapsOK, capsRemoveCollectionDomainData(session_, "c1", 5));
    EXPECT_EQ(kCapsNotFound, capsGetCollectionDataKeys(session_, "c1", 5, &list));
    EXPECT_EQ(kCapsOK, capsGetCollectionData(session_, "c1", 0, "key", &value));
    EXPECT_EQ(kCapsOK, capsGetCollectionData(session_, "c2", 5, "key", &value));
    EXPECT_EQ(kCapsConstraint, capsSetCollectionData(session_, "c3", 5, "key", "v"));
}
