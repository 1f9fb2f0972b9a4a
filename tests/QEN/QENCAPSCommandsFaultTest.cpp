// Failures of the installation-database commands: a value write that the database refuses (made
// to fail by a trigger) or a refused package-management step leaves the database as it was before
// the command, and the command answers false.
#include "QENDatabaseTestSupport.h"

#include "QEN/source/mac/QENCAPSWriteCollectionDataCommand.h"
#include "QEN/source/mac/QENCAPSWritePayloadDataCommand.h"

using namespace qentest;

namespace {

const std::string kPayload = "{AAAAAAAA-0000-0000-0000-000000000001}";

class QENCAPSCommandsFaultTest : public QENDatabaseTest {
protected:
    void FailWritesOf(const std::string& table, const std::string& key)
    {
        capstest::RawDatabase raw(DbFile());
        ASSERT_EQ(raw.Exec("CREATE TRIGGER test_refuse BEFORE INSERT ON " + table + " WHEN NEW.key = '" + key +
                           "' BEGIN SELECT RAISE(ABORT, 'refused by the test'); END;"),
                  0);
    }
    bool WritePayload(const QENCAPSWritePayloadDataCommand::CodeList& conflicts = {})
    {
        return QENCommandPtr(new QENCAPSWritePayloadDataCommand(log_, "c1", kPayload, "Family", "Sample", "2.0", "b7",
                                                                "en_US", "/Applications/Sample", {{"sessionID", "c1"}},
                                                                conflicts, {}, "/U", "/p.dmg", "install"))
            ->Perform();
    }
};

}  // namespace

TEST_F(QENCAPSCommandsFaultTest, APayloadWhoseINSTALLDIRCannotBeWrittenIsNotRecorded)
{
    SeedCollection("c1", kPayload);
    FailWritesOf("payload_data", "INSTALLDIR");
    const Strings before = Everything();
    EXPECT_FALSE(WritePayload());
    EXPECT_EQ(Everything(), before);
    std::size_t named = 0;
    for (const std::string& line : log_.lines)
        named += line.find("INSTALLDIR") != std::string::npos ? 1 : 0;
    EXPECT_EQ(named, 1u) << log_.Dump();
    EXPECT_TRUE(log_.Has("5 Unable to add payload with ID \"" + kPayload +
                         "\" to CAPS because the INSTALLDIR couldn't be written"));
}

TEST_F(QENCAPSCommandsFaultTest, APayloadConflictingWithAnInstalledOneIsNotRecorded)
{
    SeedCollection("c0");
    SeedPayload("c0", "{BLOCKER}");
    SeedCollection("c1", kPayload);
    const Strings before = Everything();
    EXPECT_FALSE(WritePayload({"{BLOCKER}"}));
    EXPECT_EQ(Everything(), before);
    EXPECT_TRUE(log_.Has("5 Conflicts: 1"));
    EXPECT_TRUE(log_.Has("2 Unable to add payload with ID \"" + kPayload + "\" to CAPS due to error 0"));
}

TEST_F(QENCAPSCommandsFaultTest, ACollectionWhoseAliasPathCannotBeWrittenIsNotAdded)
{
    FailWritesOf("collection_data", "aliasPath");
    EXPECT_FALSE(QENCommandPtr(new QENCAPSWriteCollectionDataCommand(log_, "c1", kPayload, "/Media", "/U"))->Perform());
    EXPECT_TRUE(Collections().empty());
    EXPECT_TRUE(CollectionData().empty());
    EXPECT_TRUE(log_.Has("2 Unable to store alias path of \"/U\" for collection with ID \"c1\" to CAPS due to error 6"));
}
