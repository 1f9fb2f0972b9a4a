// The data-access methods over a payload session and the installation database: a medium laid
// out under the system root with a driver payload, a plain one and one of another maker, and a
// database that the tests fill.
#include "DataAccessFixture.h"

#include "Common/source/mac/TQInitManager.h"
#include "Common/source/xplat/Base64.h"
#include "Sorvel/source/xplat/PayloadSessionManager.h"
#include "Sorvel/source/xplat/UIDriverSilentJSWorkflow.h"
#include "caps/caps.h"
#include "caps/capsiHooks.h"

#include <nlohmann/json.hpp>

#include <unistd.h>

namespace {

using tolktest::MakeFolders;
using tolktest::WriteTextFile;
typedef nlohmann::ordered_json Json;

const std::string kA = "{AAAAAAAA-0000-0000-0000-000000000001}";
const std::string kB = "{BBBBBBBB-0000-0000-0000-000000000002}";
const std::string kT = "{CCCCCCCC-0000-0000-0000-000000000003}";
const std::string kU = "{DDDDDDDD-0000-0000-0000-000000000004}";

std::string Base64(const std::string& text)
{
    std::string encoded;
    return ZEB::Base64Encode(text.begin(), text.end(), encoded);
}

std::string Proxy(const std::string& code, const std::string& body)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?><PayloadInfo version=\"3.1\"><InstallerProperties>"
           "<Property name=\"OrvexCode\">" + code + "</Property><Property name=\"ProductName\">Product \"" + code +
           "\"</Property></InstallerProperties><BuildInfo><Property name=\"Created\">20240611.1</Property></BuildInfo>" +
           body + "</PayloadInfo>";
}

std::vector<std::string> Keys(const Json& object)
{
    std::vector<std::string> keys;
    for (auto it = object.begin(); it != object.end(); ++it)
        keys.push_back(it.key());
    return keys;
}

class DataAccessSessionTest : public tolktest::DataAccessTest {
protected:
    void SetUp() override
    {
        DataAccessTest::SetUp();
        MakeFolders(medium_ + "/payloads");
        capsiSetRunningAsRootForTesting(1);
    }

    void TearDown() override
    {
        PayloadSessionManager::Release();
        capsiSetRunningAsRootForTesting(-1);
        DataAccessTest::TearDown();
    }

    void AddPayload(const std::string& folder, const std::string& proxy)
    {
        MakeFolders(medium_ + "/payloads/" + folder);
        WriteTextFile(medium_ + "/payloads/" + folder + "/" + folder + ".proxy.xml", proxy);
    }

    // The driver A with every kind of entry, B with the least a proxy file has, and T of another
    // maker whose installed state a script tells.
    void LayOutMedium(const std::string& isInstalledScript = "")
    {
        WriteTextFile(medium_ + "/payloads/Setup.xml", "<Setup><Driver folder=\"A\"/></Setup>");
        AddPayload("A", Proxy(kA,
            "<Languages languageIndependent=\"1\"><Language>en_US</Language><Language>de_DE</Language></Languages>"
            "<Satisfies><ProductInfo><Family>Sketch</Family><ProductName>Sketch</ProductName>"
            "<ProductVersion>1.0</ProductVersion></ProductInfo></Satisfies>"
            "<Requires><ProductInfo minVersion=\"2.0\" visible=\"1\"><Family>Core</Family>"
            "<ProductName>Core</ProductName></ProductInfo><ProductInfo><Family>Fonts</Family></ProductInfo></Requires>"
            "<Upgrades><OrvexCode>" + kU + "</OrvexCode></Upgrades>"
            "<Conflicts><OrvexCode>{X}</OrvexCode><OrvexCode>{Y}</OrvexCode></Conflicts>"
            "<EULAFiles><EULA isoCode=\"en_US\">" + Base64("Licence \"en\"") + "</EULA>"
            "<EULA isoCode=\"de_DE\">" + Base64("Lizenz") + "</EULA></EULAFiles>"
            "<InstallDir><Platform name=\"Default\" folderName=\"D\" isFixed=\"0\">[ProgramFiles]</Platform>"
            "<Platform name=\"OSX\" folderName=\"Sketch\" isFixed=\"1\">/Applications</Platform></InstallDir>"
            "<SuppressUninstaller><Platform name=\"OSX\">1</Platform></SuppressUninstaller>"
            "<ConflictingProcesses><OSX><Process blocking=\"0\">Zeta</Process><Process blocking=\"1\">Alpha"
            "</Process></OSX></ConflictingProcesses>"
            "<AddRemoveInfo><DisplayName><Value lang=\"en_US\">Sketch</Value></DisplayName></AddRemoveInfo>"
            "<InstallDestinationMetadata><Destination><Root>[ProgramFiles]</Root><TotalSize>1024</TotalSize>"
            "<MaxPathComponent>64</MaxPathComponent></Destination></InstallDestinationMetadata>"
            "<UserPreferences>1</UserPreferences><SystemRequirementsJSON>{\"ram\":\"512\"}</SystemRequirementsJSON>"
            "<ValidationResults>missing file</ValidationResults>"
            "<Streams><Stream name=\"background\" fileName=\"a.png\" streamMeta=\"top\">" + Base64("PNG\x01") +
            "</Stream><Stream name=\"broken\" fileName=\"b.png\">QUJD=</Stream>"
            "<Stream name=\"escape\" fileName=\"/../escape.png\">" + Base64("x") + "</Stream></Streams>"));
        AddPayload("B", Proxy(kB,
            "<Satisfies><ProductInfo><Family>One</Family></ProductInfo><ProductInfo><Family>Two</Family>"
            "</ProductInfo></Satisfies><UserPreferences>many</UserPreferences>"
            "<EULAFiles><EULA isoCode=\"fr_FR\">QUJD=</EULA></EULAFiles>"));
        AddPayload("T", Proxy(kT,
            "<Satisfies><ProductInfo><Family>NonOrvexPayload</Family></ProductInfo></Satisfies>"
            "<ThirdPartyComponent><Metadata><Type>Application</Type><Name>T.app</Name><IsInstalledScript>" + isInstalledScript +
            "</IsInstalledScript></Metadata></ThirdPartyComponent>"));
    }

    capsiSession* OpenDatabase()
    {
        capsiSession* session = nullptr;
        EXPECT_EQ(capsOpenSession(&session), kCapsOK);
        return session;
    }

    void AddPayload(capsiSession* session, const char* collection, const std::string& payload,
                    std::vector<const char*> upgrades = {}, const char* name = "Name")
    {
        upgrades.push_back(nullptr);
        const char* const none[] = {nullptr};
        ASSERT_EQ(capsAddPayload(session, collection, payload.c_str(), "Family", name, "1.0", "sig", none,
                                 upgrades.data()),
                  kCapsOK);
    }

    std::string SessionKey() { return Json::parse(Call("GetSessionData"))["key"]; }

    // A new engine and publisher, which build the session anew.
    void Restart()
    {
        publisher_.reset();
        PayloadSessionManager::Release();
        engine_.reset(new InstallerEngine(FileSystemPath(medium_)));
        engine_->ProcessArgumentVector({});
        publisher_.reset(new SorvelDataAccess(engine_.get(), nullptr));
    }
};

TEST_F(DataAccessSessionTest, SessionDataDescribesEveryPayload)
{
    LayOutMedium();
    const std::string answer = Call("GetSessionData");
    const Json session = Json::parse(answer);
    EXPECT_EQ(Keys(session), (std::vector<std::string>{"key", "driverPayloadID", "payloadMap"}));
    EXPECT_EQ(session["key"].get<std::string>().size(), 31u);
    EXPECT_EQ(session["driverPayloadID"], kA);
    EXPECT_EQ(Keys(session["payloadMap"]), (std::vector<std::string>{kA, kB, kT}));

    const Json& a = session["payloadMap"][kA];
    EXPECT_EQ(Keys(a), (std::vector<std::string>{
                           "version", "installAction", "driverPayload", "BuildInfo", "OrvexCode", "ProductName",
                           "INSTALLDIR", "Languages", "isLanguageIndependent", "Satisfies", "Requires", "Upgrades",
                           "Conflicts", "EULALanguages", "ConflictingProcesses", "AddRemoveInfo", "suppressUninstaller",
                           "userPreferences", "SystemRequirements", "InstallDestinationData", "MediaInfo",
                           "hasManifestErrors"}));
    EXPECT_EQ(a["version"], "3.1");
    EXPECT_EQ(a["installAction"], "");
    EXPECT_EQ(a["driverPayload"], "1");
    EXPECT_EQ(a["ProductName"], "Product \"" + kA + "\"");
    EXPECT_EQ(a["INSTALLDIR"].dump(), "{\"default\":\"/Applications\",\"folderName\":\"Sketch\",\"isFixed\":\"1\"}");
    EXPECT_EQ(a["Languages"].dump(), "[\"en_US\",\"de_DE\"]");
    EXPECT_EQ(a["isLanguageIndependent"], "1");
    EXPECT_EQ(a["Satisfies"].dump(), "{\"family\":\"Sketch\",\"productName\":\"Sketch\",\"version\":\"1.0\"}");
    EXPECT_EQ(a["Requires"].dump(),
              "[{\"family\":\"Core\",\"productName\":\"Core\",\"minVersion\":\"2.0\",\"visible\":\"1\"},"
              "{\"family\":\"Fonts\",\"productName\":\"\",\"minVersion\":\"\",\"visible\":\"\"}]");
    EXPECT_EQ(a["Conflicts"].dump(), "[\"{X}\",\"{Y}\"]");
    EXPECT_EQ(a["EULALanguages"].dump(), "[\"de_DE\",\"en_US\"]");
    EXPECT_EQ(a["ConflictingProcesses"].dump(),
              "[{\"pattern\":\"Alpha\",\"blocking\":\"1\"},{\"pattern\":\"Zeta\",\"blocking\":\"0\"}]");
    EXPECT_EQ(a["AddRemoveInfo"].dump(), "{\"DisplayName\":{\"en_US\":\"Sketch\"}}");
    EXPECT_EQ(a["suppressUninstaller"], "1");
    EXPECT_EQ(a["userPreferences"], "1");
    EXPECT_EQ(a["SystemRequirements"], "{\"ram\":\"512\"}") << "handed on as one string";
    EXPECT_EQ(a["InstallDestinationData"].dump(),
              "[{\"root\":\"[ProgramFiles]\",\"totalSize\":\"1024\",\"maxPathComponent\":\"64\"}]");
    EXPECT_EQ(Keys(a["MediaInfo"]), (std::vector<std::string>{"type", "volumeIndex", "path", "mediaName"}));
    EXPECT_EQ(a["MediaInfo"]["type"], "0");
    EXPECT_EQ(a["hasManifestErrors"], "1");

    // The least a proxy file has: the members that are always there, two Satisfies records none.
    const Json& b = session["payloadMap"][kB];
    EXPECT_EQ(Keys(b), (std::vector<std::string>{"version", "installAction", "driverPayload", "BuildInfo", "OrvexCode",
                                                 "ProductName", "INSTALLDIR", "Languages", "isLanguageIndependent",
                                                 "EULALanguages", "AddRemoveInfo", "suppressUninstaller",
                                                 "userPreferences", "MediaInfo"}));
    EXPECT_EQ(b["driverPayload"], "0");
    EXPECT_EQ(b["BuildInfo"].dump(), "{\"Created\":\"20240611.1\"}");
    EXPECT_EQ(b["INSTALLDIR"].dump(), "{\"default\":\"\",\"folderName\":\"\",\"isFixed\":\"0\"}");
    EXPECT_EQ(b["Languages"].dump(), "[]");
    EXPECT_EQ(b["AddRemoveInfo"].dump(), "{}");
    EXPECT_EQ(b["userPreferences"], "0") << "not a number";
}

TEST_F(DataAccessSessionTest, WithoutDriverEveryPayloadIsPlain)
{
    AddPayload("A", Proxy(kA, "<Satisfies><ProductInfo><Family>One</Family></ProductInfo></Satisfies>"));
    AddPayload("B", Proxy(kB, "<Satisfies><ProductInfo><Family>One</Family></ProductInfo></Satisfies>"));
    const Json session = Json::parse(Call("GetSessionData"));
    EXPECT_EQ(session["driverPayloadID"], "");
    EXPECT_EQ(session["payloadMap"][kA]["driverPayload"], "0");
    EXPECT_EQ(session["payloadMap"][kB]["driverPayload"], "0");
}

TEST_F(DataAccessSessionTest, StoredMediaRecordFollowsTheUpgrade)
{
    LayOutMedium();
    // The session is read before B is upgraded, so that its media source stays its own.
    EXPECT_EQ(Json::parse(Call("GetSessionData"))["payloadMap"][kB]["MediaInfo"]["type"], "0");

    capsiSession* database = OpenDatabase();
    ASSERT_EQ(capsAddCollection(database, "c1", kB.c_str()), kCapsOK);
    AddPayload(database, "c1", kB);
    ASSERT_EQ(capsSetInstallState(database, "c1", kB.c_str(), kCapsInstalled), kCapsOK);
    AddPayload(database, "c1", kU, {kB.c_str()});
    ASSERT_EQ(capsSetInstallState(database, "c1", kU.c_str(), kCapsInstalled), kCapsOK);
    ASSERT_EQ(capsCloseSession(database), kCapsOK);

    EXPECT_EQ(Call("UpdateMediaInfoInCaps", {kU, "1", "2", "/Volumes/Disk 2", "Disk \"2\""}), "{\"success\":\"1\"}");
    EXPECT_EQ(Call("UpdateMediaInfoInCaps", {kA, "0", "1", "/Volumes/Own", ""}), "{\"_error\":\"9999\"}")
        << "the database keeps no data of a payload it does not know";

    const Json session = Json::parse(Call("GetSessionData"));
    EXPECT_EQ(session["payloadMap"][kB]["capsMediaInfo"].dump(),
              "{\"type\":\"1\",\"volumeIndex\":\"2\",\"path\":\"/Volumes/Disk 2\",\"mediaName\":\"Disk \\\"2\\\"\"}")
        << "the record of the payload that upgraded it";
    EXPECT_EQ(session["payloadMap"][kB]["MediaInfo"]["type"], "0") << "its own media source is unchanged";
    EXPECT_FALSE(session["payloadMap"][kA].contains("capsMediaInfo"));
}

TEST_F(DataAccessSessionTest, DefaultPropertiesCannotBeOverriddenFromTheDatabase)
{
    LayOutMedium();
    const std::string key = SessionKey();
    capsiSession* database = OpenDatabase();
    ASSERT_EQ(capsAddCollection(database, key.c_str(), kA.c_str()), kCapsOK);
    ASSERT_EQ(capsSetCollectionData(database, key.c_str(), kCapsDomainProperties, "sessionID", "forged"), kCapsOK);
    ASSERT_EQ(capsSetCollectionData(database, key.c_str(), kCapsDomainProperties, "INSTALLDIR", "/Apps"), kCapsOK);
    ASSERT_EQ(capsSetCollectionData(database, key.c_str(), kCapsDomainInstaller, "hidden", "x"), kCapsOK);
    ASSERT_EQ(capsCloseSession(database), kCapsOK);

    EXPECT_EQ(Call("GetDefaultProperties"),
              "{\"INSTALLDIR\":\"/Apps\",\"defaultLanguage\":\"en_US\",\"installSourcePath\":\"" + medium_ +
                  "\",\"platform\":\"OSX\",\"sessionID\":\"" + key + "\",\"setupVersion\":\"2.0.0.0\"}");
    std::map<std::string, std::string> properties = {{"kept", "1"}};
    EXPECT_FALSE(SorvelDataAccess::GetDefaultPropertiesMap(nullptr, properties));
    EXPECT_EQ(properties.size(), 1u) << "a null engine leaves the map untouched";
}

TEST_F(DataAccessSessionTest, EULAs)
{
    LayOutMedium();
    const std::string all = "{\"de_DE\":\"Lizenz\",\"en_US\":\"Licence \\\"en\\\"\"}";
    EXPECT_EQ(Call("GetEULASForOrvexCode", {kA}), all);
    EXPECT_EQ(Call("GetEULASForOrvexCode", {kA, "en_US"}), "{\"en_US\":\"Licence \\\"en\\\"\"}");
    EXPECT_EQ(Call("GetEULASForOrvexCode", {kA, "en_US", "x"}), all) << "a language only as the second of two";
    EXPECT_EQ(Call("GetEULASForOrvexCode", {kA, "ja_JP"}), all) << "no licence in that language: all, decoded";
    EXPECT_EQ(Call("GetEULASForOrvexCode", {kB}), "{\"_error\":\"13\",\"name\":\"fr_FR\"}");
    EXPECT_EQ(Call("GetEULASForOrvexCode", {kT}), "{}");
    EXPECT_EQ(Call("GetEULASForOrvexCode", {kU}), "{\"_error\":\"9999\",\"orvexCode\":\"" + kU + "\"}");
}

// One test only writes this payload's stream files: their names in /tmp are fixed, and tests run
// in parallel processes.
TEST_F(DataAccessSessionTest, StreamsAreWrittenOncePerPayload)
{
    LayOutMedium();
    const std::string file = "/tmp/" + kA + "a.png";
    // A link planted where the stream goes is replaced, never written through.
    const std::string target = sysroot_.Scratch() + "/protected";
    WriteTextFile(target, "keep");
    unlink(file.c_str());
    ASSERT_EQ(symlink(target.c_str(), file.c_str()), 0);
    const std::string expected =
        "{\"Streams\":[{\"name\":\"background\",\"meta\":\"top\",\"path\":\"" + file + "\"}]}";
    EXPECT_EQ(Call("GetStreamsForOrvexCode", {kA}), expected) << "streams that do not decode or leave /tmp are left out";
    EXPECT_EQ(tolktest::ReadTextFile(file), "PNG\x01");
    EXPECT_EQ(tolktest::ReadTextFile(target), "keep");
    EXPECT_NE(access(("/tmp/" + kA + "b.png").c_str(), F_OK), 0);

    unlink(file.c_str());
    EXPECT_EQ(Call("GetStreamsForOrvexCode", {kA}), expected);
    EXPECT_NE(access(file.c_str(), F_OK), 0) << "the second call writes nothing";

    EXPECT_EQ(Call("GetStreamsForOrvexCode", {kB}), "{}");
    EXPECT_EQ(Call("GetStreamsForOrvexCode", {kU}), "{\"_error\":\"2\"}");
}

TEST_F(DataAccessSessionTest, MediaRecordNeedsADatabase)
{
    capsiSetRunningAsRootForTesting(0);
    EXPECT_EQ(Call("UpdateMediaInfoInCaps", {kA, "0", "1", "/p", "n"}), "{\"_error\":\"9999\"}")
        << "no database, and no right to create one";
    const Json answer = Json::parse(Call("GetCAPS"));
    EXPECT_EQ(answer["_error"], "9999");
    EXPECT_NE(answer["capsError"], "0") << "the status of the open that failed";
}

TEST_F(DataAccessSessionTest, DatabaseDump)
{
    EXPECT_EQ(Call("GetCAPS", {"x"}), "{\"_error\":\"1\",\"capsError\":\"0\"}");
    EXPECT_EQ(Call("GetCAPS"), "{\"Collections\":{},\"Payloads\":{}}");

    capsiSetClockForTesting([] { return 1000L; });
    capsiSession* database = OpenDatabase();
    ASSERT_EQ(capsAddCollection(database, "c1", kA.c_str()), kCapsOK);
    ASSERT_EQ(capsAddCollection(database, "c2", ""), kCapsOK);
    AddPayload(database, "c1", kB, {}, "Name \"quoted\"");
    ASSERT_EQ(capsSetInstallState(database, "c1", kB.c_str(), kCapsInstalled), kCapsOK);
    AddPayload(database, "c2", kB, {}, "Name \"quoted\"");
    AddPayload(database, "c2", kU, {kB.c_str()});
    ASSERT_EQ(capsAddPayloadConstraint(database, kU.c_str(), kCapsRequires, kA.c_str()), kCapsOK);
    ASSERT_EQ(capsCloseSession(database), kCapsOK);
    capsiSetClockForTesting(boost::function<long()>());

    EXPECT_EQ(Call("GetCAPS"),
              "{\"Collections\":{\"c1\":{\"driverPayloadID\":\"" + kA + "\",\"tsInstalled\":\"1000\","
              "\"tsModified\":\"1000\"},\"c2\":{\"tsInstalled\":\"1000\",\"tsModified\":\"1000\"}},"
              "\"Payloads\":{\"" + kB + "\":{\"payloadID\":\"" + kB + "\",\"productFamily\":\"Family\","
              "\"productName\":\"Name \\\"quoted\\\"\",\"version\":\"1.0\",\"identifier\":\"sig\",\"Conflicts\":[],"
              "\"Upgrades\":[],\"Requires\":[],\"Collections\":[{\"collectionID\":\"c1\",\"installState\":\"2\"},"
              "{\"collectionID\":\"c2\",\"installState\":\"0\"}]},"
              "\"" + kU + "\":{\"payloadID\":\"" + kU + "\",\"productFamily\":\"Family\",\"productName\":\"Name\","
              "\"version\":\"1.0\",\"identifier\":\"sig\",\"Conflicts\":[],\"Upgrades\":[\"" + kB + "\"],"
              "\"Requires\":[\"" + kA + "\"],\"Collections\":[{\"collectionID\":\"c2\",\"installState\":\"0\"}]}}}");
}

class InstallStateTest : public DataAccessSessionTest {
protected:
    std::string State(const std::string& code) { return Call("GetPayloadPhysicalInstallState", {code}); }
};

TEST_F(InstallStateTest, PayloadsOfTheTechnologyFromTheDatabase)
{
    EXPECT_EQ(State(kB), "{\"logicallyInstalled\":\"0\",\"physicallyInstalled\":\"0\",\"effectiveOrvexCode\":\"" + kB +
                             "\"}")
        << "not in the session and not in the database";

    capsiSession* database = OpenDatabase();
    ASSERT_EQ(capsAddCollection(database, "c1", ""), kCapsOK);
    ASSERT_EQ(capsAddCollection(database, "c2", ""), kCapsOK);
    AddPayload(database, "c1", kB);
    ASSERT_EQ(capsSetInstallState(database, "c1", kB.c_str(), kCapsInstalled), kCapsOK);
    ASSERT_EQ(capsCloseSession(database), kCapsOK);
    EXPECT_EQ(State(kB), "{\"logicallyInstalled\":\"1\",\"physicallyInstalled\":\"1\",\"effectiveOrvexCode\":\"" + kB +
                             "\"}");

    // U, installed in c2, upgrades B: B stays recorded but its files are U's now.
    database = OpenDatabase();
    AddPayload(database, "c2", kU, {kB.c_str()});
    ASSERT_EQ(capsSetInstallState(database, "c2", kU.c_str(), kCapsInstalled), kCapsOK);
    ASSERT_EQ(capsCloseSession(database), kCapsOK);
    EXPECT_EQ(State(kB), "{\"logicallyInstalled\":\"1\",\"physicallyInstalled\":\"0\",\"effectiveOrvexCode\":\"" + kU +
                             "\",\"payloadsUpgradingMe\":[\"" + kU + "\"]}");

    // With c2 gone U is installed nowhere, yet it still stands in for the B it upgraded.
    database = OpenDatabase();
    ASSERT_EQ(capsSetInstallState(database, "c2", kU.c_str(), kCapsNotInstalled), kCapsOK);
    ASSERT_EQ(capsRemoveCollection(database, "c2"), kCapsOK);
    ASSERT_EQ(capsCloseSession(database), kCapsOK);
    EXPECT_EQ(State(kU), "{\"logicallyInstalled\":\"1\",\"physicallyInstalled\":\"1\",\"effectiveOrvexCode\":\"" + kU +
                             "\",\"payloadsUpgradedByMe\":[\"" + kB + "\"]}");
}

TEST_F(InstallStateTest, APayloadUpgradedBeforeItWasInstalled)
{
    capsiSession* database = OpenDatabase();
    ASSERT_EQ(capsAddCollection(database, "c1", ""), kCapsOK);
    AddPayload(database, "c1", kU, {kB.c_str()});
    ASSERT_EQ(capsSetInstallState(database, "c1", kU.c_str(), kCapsInstalled), kCapsOK);
    ASSERT_EQ(capsCloseSession(database), kCapsOK);
    EXPECT_EQ(State(kB), "{\"logicallyInstalled\":\"0\",\"physicallyInstalled\":\"0\",\"effectiveOrvexCode\":\"" + kU +
                             "\",\"payloadsUpgradingMe\":[\"" + kU + "\"]}");
}

TEST_F(InstallStateTest, PayloadsOfOtherMakersAskTheirScript)
{
    InitializeTessel();
    LayOutMedium();
    EXPECT_EQ(State(kT), "{\"logicallyInstalled\":\"0\",\"physicallyInstalled\":\"0\",\"effectiveOrvexCode\":\"" + kT +
                             "\",\"thirdPartyOwner\":\"0\"}")
        << "without an IsInstalledScript";

    // The script reads the host through a data-access publisher of its own.
    LayOutMedium("eval('(' + GetTolkBuildInfo() + ')').Version.major == '2' ? '1' : '0'");
    Restart();
    capsiSession* database = OpenDatabase();
    const std::string key = SessionKey();
    ASSERT_EQ(capsAddCollection(database, key.c_str(), ""), kCapsOK);
    AddPayload(database, key.c_str(), kT);
    ASSERT_EQ(capsSetInstallState(database, key.c_str(), kT.c_str(), kCapsInstalled), kCapsOK);
    ASSERT_EQ(capsCloseSession(database), kCapsOK);
    EXPECT_EQ(State(kT), "{\"logicallyInstalled\":\"1\",\"physicallyInstalled\":\"1\",\"effectiveOrvexCode\":\"" + kT +
                             "\",\"thirdPartyOwner\":\"1\"}");

    LayOutMedium("throw new Error('no');");
    Restart();
    EXPECT_EQ(State(kT), "{\"_error\":\"16\"}") << "a script that fails";
}

// The silent driver offers this publisher to its scripts.
class SilentWorkflow : public UIDriverSilentJSWorkflow {
public:
    explicit SilentWorkflow(InstallerEngine& engine) : UIDriverSilentJSWorkflow(engine) {}
    using UIDriverSilentJSWorkflow::RunWorkflowScripts;
};

TEST_F(DataAccessSessionTest, TheSilentWorkflowCallsTheDataAccessMethods)
{
    InitializeTessel();
    const std::string scripts = medium_ + "/resources/common/scripts";
    MakeFolders(scripts);
    WriteTextFile(scripts + "/silentWorkflow.js",
                  "var info = eval('(' + GetTolkBuildInfo() + ')');\n"
                  "if (info.Version.compatibleUpperBound != '2.0.0.0') throw new Error('wrong answer');\n");
    SilentWorkflow driver(*engine_);
    testing::internal::CaptureStdout();
    const bool result = driver.RunWorkflowScripts();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_TRUE(result);
}

}  // namespace
