#include "Shared/ProxyFileDataStore.h"

#include "Shared/PayloadProxyFileConstants.h"

#include "tests/Sorvel/PayloadFileFixture.h"

#include <iterator>
#include <map>
#include <string>
#include <vector>

using PayloadProxy::ProxyFileDataStore;

namespace {

// A reference: the constant lives in another translation unit and may not be built yet.
const std::string& kOSX = PayloadProxyFileConstants::kPlatformCurrent;

class ProxyFileDataStoreTest : public tolktest::PayloadFileTest {
protected:
    void LoadBody(const std::string& body)
    {
        ASSERT_TRUE(store_.Load(WriteXml("Test.proxy.xml", "<PayloadInfo version=\"2.0\">" + body + "</PayloadInfo>")));
    }

    std::map<std::string, bool> Processes()
    {
        std::map<std::string, bool> processes = {{"stale", true}};
        EXPECT_TRUE(store_.GetConflictingProcessesForPlatform(kOSX, processes));
        return processes;
    }

    // "found|folder|folderName|fixed" for the platform.
    std::string InstallDir(const std::string& platform)
    {
        std::string folder = "stale", folderName = "stale";
        bool fixed = true;
        const bool found = store_.GetInstallDirInfoForPlatform(platform, folder, folderName, fixed);
        return std::string(found ? "1|" : "0|") + folder + "|" + folderName + (fixed ? "|1" : "|0");
    }

    ProxyFileDataStore store_;
};

TEST_F(ProxyFileDataStoreTest, ReadsTheExamplePayloadWithoutChangingIt)
{
    ASSERT_TRUE(store_.Load(tolktest::ExamplePayloadsFolder() + "/OrvexSketchbook/OrvexSketchbook.proxy.xml"));
    const std::string before = Saved(store_);

    std::string text;
    EXPECT_TRUE(store_.Version().Get(text));
    EXPECT_EQ(text, "2.0");
    std::map<std::string, std::string> map;
    EXPECT_TRUE(store_.InstallerProperties().Get(map));
    EXPECT_EQ(map.at(PayloadProxyFileConstants::kPropOrvexCode), "{EAA9F4CF-E360-4950-BA50-519B03622F12}");
    EXPECT_EQ(map.at(PayloadProxyFileConstants::kPropProductName), "Orvex Sketchbook");
    EXPECT_TRUE(store_.BuildInfo().Get(map));
    EXPECT_EQ(map, (std::map<std::string, std::string>{{"Created", "20240611.1"}}));
    std::vector<std::string> list;
    EXPECT_TRUE(store_.Languages().Get(std::back_inserter(list)));
    EXPECT_TRUE(store_.Upgrades().Get(std::back_inserter(list)));
    EXPECT_TRUE(store_.Conflicts().Get(std::back_inserter(list)));
    EXPECT_EQ(list, (std::vector<std::string>{"en_US", "de_DE", "{80F309BD-C18B-4643-BC52-007C9D1F0142}"}));

    std::vector<PayloadProxy::SatisfiesProductInfoData> satisfies;
    EXPECT_TRUE(store_.Satisfies().Get(std::back_inserter(satisfies)));
    ASSERT_EQ(satisfies.size(), 1u);
    EXPECT_TRUE(satisfies[0].Version().Get(text));
    EXPECT_EQ(text, "2.0");
    std::vector<PayloadProxy::InstallDestinationMetadata> destinations;
    EXPECT_TRUE(store_.InstallDestinationData().Get(std::back_inserter(destinations)));
    ASSERT_EQ(destinations.size(), 1u);
    int number = 0;
    EXPECT_TRUE(destinations[0].TotalSize().Get(number));
    EXPECT_EQ(number, 65536);
    EXPECT_TRUE(store_.UserPreferencesFlag().Get(number));
    EXPECT_EQ(number, 1);

    EXPECT_EQ(InstallDir(kOSX), "1|[OrvexProgramFiles]|Orvex Sketchbook|0");
    EXPECT_EQ(Processes(),
              (std::map<std::string, bool>{{"Orvex Sketchbook", true}, {"Orvex Sketchbook Helper", false}}));
    bool flag = true;
    EXPECT_TRUE(store_.GetSuppressUninstallerForPlatform(kOSX, flag));
    EXPECT_FALSE(flag);
    std::map<std::string, std::string> addRemove;
    EXPECT_EQ(store_.GetAddRemoveInfoForLanguage("{D}", "de_DE", addRemove), 2u);
    EXPECT_EQ(addRemove, (std::map<std::string, std::string>{{"AddRemoveInfoDisplayName", "Orvex Skizzenbuch"},
                                                             {"AddRemoveInfoDriverOrvexCode", "{D}"}}));
    // Reading the absent elements adds none of them.
    EXPECT_TRUE(store_.ManifestErrors().Get(text));
    EXPECT_EQ(text, "");
    std::vector<PayloadProxy::Stream> streams;
    EXPECT_TRUE(store_.StreamNodes().Get(std::back_inserter(streams)));
    EXPECT_TRUE(streams.empty());
    EXPECT_EQ(Saved(store_), before);
}

TEST_F(ProxyFileDataStoreTest, RecordsReadTheirOwnElementNames)
{
    LoadBody("<Requires><ProductInfo minVersion=\"2.1\" visible=\"1\"><Family>Core</Family>"
             "<ProductName>Orvex Core</ProductName></ProductInfo></Requires>"
             "<Streams><Stream name=\"InstallerBackground\" fileName=\"bg.png\" streamMeta=\"image/png\">"
             "iVBORw0=</Stream>"
             "</Streams><ValidationResults>Missing file</ValidationResults>"
             "<SystemRequirementsJSON>{\"os\":\"10.4\"}</SystemRequirementsJSON>");
    std::vector<PayloadProxy::RequiresProductInfoData> requires;
    EXPECT_TRUE(store_.Requires().Get(std::back_inserter(requires)));
    ASSERT_EQ(requires.size(), 1u);
    std::string a, b, c, d;
    requires[0].Family().Get(a);
    requires[0].ProductName().Get(b);
    requires[0].MinVersion().Get(c);
    requires[0].Visible().Get(d);
    EXPECT_EQ(a + "|" + b + "|" + c + "|" + d, "Core|Orvex Core|2.1|1");

    std::vector<PayloadProxy::Stream> streams;
    EXPECT_TRUE(store_.StreamNodes().Get(std::back_inserter(streams)));
    ASSERT_EQ(streams.size(), 1u);
    streams[0].StreamName().Get(a);
    streams[0].FileName().Get(b);
    streams[0].StreamMeta().Get(c);
    streams[0].GetValue(d);
    EXPECT_EQ(a + "|" + b + "|" + c + "|" + d, "InstallerBackground|bg.png|image/png|iVBORw0=");
    store_.ManifestErrors().Get(a);
    store_.SystemRequirementsJSON().Get(b);
    EXPECT_EQ(a + "|" + b, "Missing file|{\"os\":\"10.4\"}");
}

TEST_F(ProxyFileDataStoreTest, AProcessBlocksWhenAnyOfItsEntriesBlocks)
{
    LoadBody("<ConflictingProcesses><Win32><Process blocking=\"1\">setup.exe</Process></Win32>"
             "<OSX><Process blocking=\"1\">A</Process><Process blocking=\"0\">A</Process>"
             "<Process blocking=\"0\">B</Process><Process blocking=\"1\">B</Process>"
             "<Process blocking=\"1\">C</Process><Process>C</Process>"
             "<Process>D</Process><Process blocking=\"yes\">E</Process><Process blocking=\"2\">F</Process>"
             "<Other blocking=\"1\">G</Other></OSX>"
             "<OSX><Process blocking=\"1\">only the first OSX element counts</Process></OSX>"
             "</ConflictingProcesses>");
    EXPECT_EQ(Processes(), (std::map<std::string, bool>{
                               {"A", true}, {"B", true}, {"C", true}, {"D", false}, {"E", false}, {"F", false}}));
    // Without an element for the platform, or without ConflictingProcesses at all: empty.
    LoadBody("<ConflictingProcesses><Win32><Process blocking=\"1\">setup.exe</Process></Win32></ConflictingProcesses>");
    EXPECT_TRUE(Processes().empty());
    LoadBody("");
    EXPECT_TRUE(Processes().empty());
}

TEST_F(ProxyFileDataStoreTest, InstallDirOfThePlatformElseTheLastDefault)
{
    const std::string osx = "<Platform name=\"OSX\" folderName=\"Mac\" isFixed=\"1\">/Applications</Platform>";
    const std::string first = "<Platform name=\"Default\" folderName=\"D1\">/First</Platform>";
    const std::string second = "<Platform name=\"Default\" folderName=\"D2\" isFixed=\"10\">/Second</Platform>";
    const std::string win = "<Platform name=\"Win32\" folderName=\"W\" isFixed=\"1\">C:\\</Platform>";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {first + osx, "1|/Applications|Mac|1"},
        {osx + first + "<Platform name=\"OSX\">/Later</Platform>", "1|/Applications|Mac|1"},
        {first + win + second, "1|/Second|D2|1"},
        {win, "0|||0"},
        {"", "0|||0"},
    };
    for (const std::pair<std::string, std::string>& c : cases) {
        LoadBody("<InstallDir>" + c.first + "</InstallDir>");
        EXPECT_EQ(InstallDir(kOSX), c.second) << c.first;
    }
    // Platform names match exactly; "Default" asked for by name is its first entry.
    LoadBody("<InstallDir>" + osx + first + second + "</InstallDir>");
    EXPECT_EQ(InstallDir("osx"), "1|/Second|D2|1");
    EXPECT_EQ(InstallDir(PayloadProxyFileConstants::kPlatformDefault), "1|/First|D1|0");
}

TEST_F(ProxyFileDataStoreTest, IsFixedLooksOnlyAtTheFirstCharacter)
{
    const std::vector<std::pair<std::string, bool>> cases = {
        {" isFixed=\"1\"", true},   {" isFixed=\"10\"", true}, {" isFixed=\"true\"", false},
        {" isFixed=\"0\"", false},  {" isFixed=\"\"", false},  {"", false}};
    for (const std::pair<std::string, bool>& c : cases) {
        LoadBody("<InstallDir><Platform name=\"OSX\"" + c.first + ">/Applications</Platform></InstallDir>");
        EXPECT_EQ(InstallDir(kOSX), std::string("1|/Applications||") + (c.second ? "1" : "0")) << c.first;
    }
}

TEST_F(ProxyFileDataStoreTest, AllAddRemoveInfoAlwaysHasTheEightEntries)
{
    LoadBody("<AddRemoveInfo><SupportPhoneNumber><Value lang=\"en_US\">555</Value><Value lang=\"fr_FR\">556</Value>"
             "<Value>no language</Value></SupportPhoneNumber><Unknown><Value lang=\"en_US\">x</Value></Unknown>"
             "</AddRemoveInfo>");
    ProxyFileDataStore::AddRemoveInfoData values = {{"stale", {{"en_US", "x"}}}};
    EXPECT_EQ(store_.GetAllAddRemoveInfoData(values), 8u);
    ASSERT_EQ(values.size(), 8u);
    for (const std::string& name : PayloadProxyFileConstants::addRemoveInfoChildren) {
        if (name == "SupportPhoneNumber")
            EXPECT_EQ(values.at(name), (std::map<std::string, std::string>{{"en_US", "555"}, {"fr_FR", "556"}}));
        else
            EXPECT_TRUE(values.at(name).empty()) << name;
    }
    LoadBody("");
    EXPECT_EQ(store_.GetAllAddRemoveInfoData(values), 8u);
    EXPECT_TRUE(values.at("DisplayName").empty());
}

TEST_F(ProxyFileDataStoreTest, AddRemoveInfoForALanguageAddsToTheCallersMap)
{
    std::string body = "<AddRemoveInfo>";
    for (const std::string& name : PayloadProxyFileConstants::addRemoveInfoChildren)
        body += "<" + name + "><Value lang=\"en_US\">" + name + "</Value></" + name + ">";
    LoadBody(body + "<Comments><Value lang=\"en\">later Comments element is not read</Value></Comments>"
                    "</AddRemoveInfo>");
    std::map<std::string, std::string> values = {{"AddRemoveInfoDisplayName", "old"},
                                                 {"AddRemoveInfoDriverOrvexCode", "{FIRST}"},
                                                 {"kept", "1"}};
    // Eight values replace earlier ones; a driver entry already present keeps its value but counts.
    EXPECT_EQ(store_.GetAddRemoveInfoForLanguage("{SECOND}", "en_US", values), 9u);
    EXPECT_EQ(values.size(), 10u);
    EXPECT_EQ(values.at("AddRemoveInfoDisplayName"), "DisplayName");
    EXPECT_EQ(values.at("AddRemoveInfoEstimatedSize"), "EstimatedSize");
    EXPECT_EQ(values.at("AddRemoveInfoDriverOrvexCode"), "{FIRST}");

    // The language must match exactly; no fallback.
    std::map<std::string, std::string> other;
    EXPECT_EQ(store_.GetAddRemoveInfoForLanguage("", "en", other), 0u);
    EXPECT_EQ(store_.GetAddRemoveInfoForLanguage("", "", other), 0u);
    EXPECT_TRUE(other.empty());
    EXPECT_EQ(store_.GetAddRemoveInfoForLanguage("{D}", "", other), 1u);
    EXPECT_EQ(other, (std::map<std::string, std::string>{{"AddRemoveInfoDriverOrvexCode", "{D}"}}));
}

TEST_F(ProxyFileDataStoreTest, SuppressUninstallerPerPlatformWithoutDefault)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", "1|0"},
        {"<Platform name=\"Win32\">0</Platform><Platform name=\"OSX\">1</Platform>", "1|1"},
        {"<Platform name=\"OSX\">0</Platform>", "1|0"},
        {"<Platform name=\"Default\">1</Platform>", "1|0"},
        // One text that is no boolean fails the whole read, whatever the platform's own entry says.
        {"<Platform name=\"OSX\">1</Platform><Platform name=\"Win32\">yes</Platform>", "0|0"},
        {"<Platform name=\"OSX\">true</Platform>", "0|0"},
    };
    for (const std::pair<std::string, std::string>& c : cases) {
        LoadBody("<SuppressUninstaller>" + c.first + "</SuppressUninstaller>");
        bool suppress = true;
        const bool read = store_.GetSuppressUninstallerForPlatform(kOSX, suppress);
        EXPECT_EQ(std::string(read ? "1|" : "0|") + (suppress ? "1" : "0"), c.second) << c.first;
    }
}

TEST_F(ProxyFileDataStoreTest, LanguageIndependenceNeedsANonZeroNumber)
{
    const std::vector<std::pair<std::string, bool>> cases = {
        {"<Languages languageIndependent=\"0\"/>", false}, {"<Languages languageIndependent=\"abc\"/>", false},
        {"<Languages><Language>en_US</Language></Languages>", false}, {"", false},
        {"<Languages languageIndependent=\"2\"/>", true},  {"<Languages languageIndependent=\"-1\"/>", true}};
    for (const std::pair<std::string, bool>& c : cases) {
        LoadBody(c.first);
        bool independent = false;
        EXPECT_TRUE(store_.IsLanguageIndependent(independent));
        EXPECT_EQ(independent, c.second) << c.first;
    }
    // The caller's flag is never taken back.
    LoadBody("<Languages languageIndependent=\"0\"/>");
    bool independent = true;
    EXPECT_TRUE(store_.IsLanguageIndependent(independent));
    EXPECT_TRUE(independent);
}

}  // namespace
