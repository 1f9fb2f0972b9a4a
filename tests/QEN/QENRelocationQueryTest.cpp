#include "QENQueryTestSupport.h"

#include "Common/source/mac/FileSystemUtilsMac.h"
#include "Common/source/xplat/Base64.h"
#include "QEN/source/mac/livecomponents/QENRelocationQuery.h"
#include "caps/UninstallDBAccess.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <map>
#include <set>

namespace {

// An uninstall database in memory with the accessor's interface: what it holds and what each
// step answers.
struct FakeUninstallDB {
    struct TokenVolumeData {
        TokenVolumeData(const std::string& t, const std::string& v, const std::string& a)
            : token(t), volumePath(v), volumeAliasData(a)
        {
        }
        struct LtComparator {
            bool operator()(const TokenVolumeData& a, const TokenVolumeData& b) const { return a.token < b.token; }
        };
        std::string token, volumePath, volumeAliasData;
    };
    typedef std::set<TokenVolumeData, TokenVolumeData::LtComparator> TokenVolumeDataSet;

    static capsStatus Create(const std::string&, boost::shared_ptr<FakeUninstallDB>& out)
    {
        if (create == 0)
            out.reset(new FakeUninstallDB);
        return create;
    }
    bool Exists() { return exists; }
    capsStatus Open() { return open; }
    capsStatus GetAliasDataForAllPaths(std::map<std::string, std::string>& out)
    {
        if (aliasesStatus == 0)
            out = aliases;
        return aliasesStatus;
    }
    capsStatus GetTokenVolumeDataForAllTokens(TokenVolumeDataSet& out)
    {
        if (tokensStatus == 0)
            out = tokens;
        return tokensStatus;
    }

    static capsStatus create, open, aliasesStatus, tokensStatus;
    static bool exists;
    static std::map<std::string, std::string> aliases;
    static TokenVolumeDataSet tokens;
};

capsStatus FakeUninstallDB::create, FakeUninstallDB::open, FakeUninstallDB::aliasesStatus, FakeUninstallDB::tokensStatus;
bool FakeUninstallDB::exists;
std::map<std::string, std::string> FakeUninstallDB::aliases;
FakeUninstallDB::TokenVolumeDataSet FakeUninstallDB::tokens;

class QENRelocationQueryTest : public qentest::QENQueryTest {
protected:
    void SetUp() override
    {
        QENQueryTest::SetUp();
        FakeUninstallDB::create = FakeUninstallDB::open = FakeUninstallDB::aliasesStatus = FakeUninstallDB::tokensStatus = 0;
        FakeUninstallDB::exists = true;
        FakeUninstallDB::aliases.clear();
        FakeUninstallDB::tokens.clear();
    }

    // The alias text of an existing item, as the relocation commands store it.
    std::string AliasText(const std::string& path)
    {
        std::vector<std::uint8_t> record;
        EXPECT_TRUE(FileSystemUtilsMac::GetMacAliasDataForPath(FileSystemPath(path), record)) << path;
        std::string text;
        ZEB::Base64Encode(record.begin(), record.end(), text);
        return text;
    }

    // The code, and the result as the script would write it in JSON.
    std::string Query(const std::string& key = "key")
    {
        Mivor::Variant result;
        const int code = QENRelocationQuery::GetRelocationData<FakeUninstallDB>(log_, key, result);
        return std::to_string(code) + " " + (result.isUndefined() ? "undefined" : JsonOf(result));
    }

    static std::string JsonOf(const Mivor::Variant& value)
    {
        if (value.isNull())
            return "null";
        const Mivor::Array* array = value.peekArray();
        if (array == nullptr)
            return "\"" + QENGlobalsLC::ToUTF8String(value) + "\"";
        std::string text;
        for (std::uint32_t i = 0; i < array->length(); ++i)
            text += (i == 0 ? "" : ",") + JsonOf((*array)[i]);
        return "[" + text + "]";
    }
};

}  // namespace

TEST_F(QENRelocationQueryTest, MissingOrUnreadableDatabases)
{
    FakeUninstallDB::exists = false;
    EXPECT_EQ(Query("{id}"), "0 [[],[]]");
    EXPECT_TRUE(log_.Has("5 No alias data for storage key {id} because the uninstall database does not exist"));
    FakeUninstallDB::create = 10;
    EXPECT_EQ(Query(""), "0 [[],[]]");
    EXPECT_TRUE(log_.Has("2 Unable to access uninstall database for storage key  due to error 10"));

    FakeUninstallDB::create = 0;
    FakeUninstallDB::exists = true;
    FakeUninstallDB::open = 14;
    EXPECT_EQ(Query(), "1 undefined");
    EXPECT_TRUE(log_.Has("2 Unable to open uninstall database for storage key key due to error 14"));
    FakeUninstallDB::open = 0;
    FakeUninstallDB::tokensStatus = 12;
    EXPECT_EQ(Query(), "1 undefined");
    EXPECT_TRUE(log_.Has("2 Unable to get token volume data from uninstall db for storage key key due to error 12"));
    FakeUninstallDB::aliasesStatus = 4;
    EXPECT_EQ(Query(), "1 undefined");
    EXPECT_TRUE(log_.Has("2 Unable to get alias data from uninstall db for storage key key due to error 4"));
    // Nothing found is no failure.
    FakeUninstallDB::aliasesStatus = FakeUninstallDB::tokensStatus = 8;
    EXPECT_EQ(Query(), "0 [[],[]]");
}

TEST_F(QENRelocationQueryTest, OnlyMovedItemsAreListedAndEveryTokenIsResolved)
{
    const std::string stays = Scratch("stays"), now = Scratch("now"), gone = Scratch("gone"), volume = Scratch("Vol");
    for (const std::string& file : {stays, now, gone})
        tolktest::WriteTextFile(file, "");
    tolktest::MakeFolders(volume);
    const std::string goneAlias = AliasText(gone);
    std::filesystem::remove(gone);
    FakeUninstallDB::aliases = {{stays, AliasText(stays)}, {Scratch("was"), AliasText(now)}, {gone, goneAlias},
                                {Scratch("bad"), "not base64!"}};
    FakeUninstallDB::tokens = {{"VOLB", volume, AliasText(volume)}, {"VOLA", "/Volumes/Old", goneAlias}};

    EXPECT_EQ(Query(), "0 [[[\"" + Scratch("was") + "\",\"" + now + "\"]],[[\"VOLA\",\"/Volumes/Old\",null],[\"VOLB\",\"" +
                           volume + "\",\"" + volume + "\"]]]");
    EXPECT_TRUE(log_.Has("3 Unable to resolve alias for original path \"" + gone + "\" with alias data \"" + goneAlias +
                         "\", not remapping..."));
    EXPECT_TRUE(log_.Has("3 Unable to resolve alias for original path \"" + Scratch("bad") +
                         "\" with alias data \"not base64!\", not remapping..."));
    EXPECT_TRUE(log_.Has("3 Unable to resolve alias for token [VOLA] with original path \"/Volumes/Old\" and alias data \"" +
                         goneAlias + "\""));
}

TEST_F(QENRelocationQueryTest, ScriptReadsBackWhatTheKeysDatabaseHolds)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to create the uninstall database's folders";
    const std::string now = Scratch("now"), volume = Scratch("Vol");
    tolktest::WriteTextFile(now, "");
    tolktest::MakeFolders(volume);
    {
        boost::shared_ptr<UninstallDBAccess> accessor;
        ASSERT_EQ(UninstallDBAccess::Create("{key}", accessor), kCapsOK);
        ASSERT_EQ(accessor->Open(), kCapsOK);
        ASSERT_EQ(accessor->SetAliasDataForPath(Scratch("was"), AliasText(now)), kCapsOK);
        ASSERT_EQ(accessor->SetTokenVolumeData(UninstallDBAccess::TokenVolumeData("T", volume, AliasText(volume))),
                  kCapsOK);
        ASSERT_EQ(accessor->Commit(), kCapsOK);
    }
    EXPECT_EQ(Json("QENGetRelocationData('{key}')"),
              "[[[\"" + Scratch("was") + "\",\"" + now + "\"]],[[\"T\",\"" + volume + "\",\"" + volume + "\"]]]");
    EXPECT_EQ(Json("QENGetRelocationData('{other}')"), "[[],[]]");
    EXPECT_FALSE(qentest::Exists(sysroot_.Path("/Library/Application Support/Orvex/Uninstall/{other}.db")));
}

