// The payload session: finding proxy files, the driver payload, the session key and log.
#include "Sorvel/source/xplat/DataAccessUtilities.h"
#include "Sorvel/source/xplat/PayloadAccessor.h"
#include "Sorvel/source/xplat/PayloadIteration.h"
#include "Sorvel/source/xplat/PayloadSessionManager.h"

#include "PayloadFileFixture.h"
#include "PayloadMediumFixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::HasSubstr;
using ::testing::Not;
using tolktest::ProxyXml;
using tolktest::ReadTextFile;

namespace {

const std::string kExampleCode = "{EAA9F4CF-E360-4950-BA50-519B03622F12}";

class PayloadSessionManagerTest : public tolktest::PayloadMediumTest {
protected:
    boost::shared_ptr<PayloadSessionManager> Start(PayloadProxyFileConstants::ProxyFileType type =
                                                       PayloadProxyFileConstants::kProxyFileTypeAny)
    {
        EXPECT_TRUE(PayloadSessionManager::Initialize(FileSystemPath(medium_), type));
        return PayloadSessionManager::Instance();
    }
};

}  // namespace

TEST_F(PayloadSessionManagerTest, ExampleMedium)
{
    ASSERT_TRUE(PayloadSessionManager::Initialize(
        FileSystemPath(tolktest::ExamplePayloadsFolder()).Parent(), PayloadProxyFileConstants::kProxyFileTypeAny));
    boost::shared_ptr<PayloadSessionManager> session = PayloadSessionManager::Instance();
    ASSERT_TRUE(session);
    EXPECT_EQ(session->GetSessionOrvexCodes(),
              (std::vector<std::string>{"{3C1B6E2A-5D47-4F0E-9A61-7B2E8C4D9F10}", "{5B7A2C91-0E3D-4B6F-8C12-A4D9E6F03B27}",
                                        kExampleCode}));
    // The digest's 31 digits, as the installation database knows the collection.
    EXPECT_EQ(session->GetSessionKey(), "a42658624434a65da803d2b23b4e8d0");
    EXPECT_EQ(session->GetDriverPayloadOrvexCode(), kExampleCode);
    boost::shared_ptr<PayloadAccessor> driver = session->GetPayloadAccessorForOrvexCode(kExampleCode);
    ASSERT_TRUE(driver);
    EXPECT_TRUE(driver->isDriverPayload);
    EXPECT_EQ(driver->proxyFilePath.AsUTF8String(),
              tolktest::ExamplePayloadsFolder() + "/OrvexSketchbook/OrvexSketchbook.proxy.xml");
    boost::shared_ptr<ConfigurationData::ConfigurationDataStore> configuration;
    EXPECT_TRUE(session->GetConfigurationData(configuration));

    std::string name;
    ASSERT_TRUE(session->GetLogfileName(name));
    EXPECT_EQ(name, "Orvex Sketchbook 2.0.log");
    const std::string log = ReadTextFile(LogFolder() + "/" + name);
    EXPECT_THAT(log, HasSubstr("START - Installer Session"));
    EXPECT_THAT(log, HasSubstr("Tolk version: 2.0.0.0"));
    EXPECT_THAT(log, HasSubstr("Proxy File Summary"));
    EXPECT_THAT(log, HasSubstr("OrvexCode: " + kExampleCode + "\n\tPath: " + driver->proxyFilePath.AsUTF8String()));
}

TEST_F(PayloadSessionManagerTest, SessionKeyIsTheDigestOfTheSortedCodes)
{
    AddProxy("a", ProxyXml("{B}"));
    AddProxy("b", ProxyXml("{A}"));
    boost::shared_ptr<PayloadSessionManager> session = Start();
    ASSERT_TRUE(session);
    EXPECT_EQ(session->GetSessionOrvexCodes(), (std::vector<std::string>{"{A}", "{B}"}));
    EXPECT_EQ(session->GetSessionKey(), "26bd9f90867e425ab1fcdb0bdd3b08d");
    // Two payloads and no driver: the log is named by the key.
    EXPECT_EQ(session->GetDriverPayloadOrvexCode(), "");
    std::string name;
    ASSERT_TRUE(session->GetLogfileName(name));
    EXPECT_EQ(name, "26bd9f90867e425ab1fcdb0bdd3b08d.log");
    EXPECT_THAT(ReadTextFile(LogFolder() + "/" + name), HasSubstr("START - Installer Session"));

    std::vector<std::string> seen;
    for (PayloadSessionManager::PayloadIterator it = session->PayloadsBegin(); it != session->PayloadsEnd(); ++it)
        seen.push_back(it->first);
    EXPECT_EQ(seen, (std::vector<std::string>{"{A}", "{B}"}));
    EXPECT_FALSE(session->GetPayloadAccessorForOrvexCode("{C}"));
}

TEST_F(PayloadSessionManagerTest, DriverPayload)
{
    // The folder that Setup.xml names is the driver's, whatever the codes.
    AddProxy("Main", ProxyXml("{Z}", "Main Product", "3.1"));
    AddProxy("Extra", ProxyXml("{A}"));
    WriteSetupXml("<Driver folder=\"Main\"/>");
    boost::shared_ptr<PayloadSessionManager> session = Start();
    ASSERT_TRUE(session);
    EXPECT_EQ(session->GetDriverPayloadOrvexCode(), "{Z}");
    EXPECT_FALSE(session->GetPayloadAccessorForOrvexCode("{A}")->isDriverPayload);
    std::string name;
    EXPECT_TRUE(session->GetLogfileName(name));
    EXPECT_EQ(name, "Main Product 3.1.log");
}

TEST_F(PayloadSessionManagerTest, NoPayloadsFolderGivesAnEmptySession)
{
    boost::shared_ptr<PayloadSessionManager> session;
    ASSERT_TRUE(PayloadSessionManager::Initialize(FileSystemPath(sysroot_.Scratch()),
                                                  PayloadProxyFileConstants::kProxyFileTypeAny));
    session = PayloadSessionManager::Instance();
    ASSERT_TRUE(session);
    EXPECT_TRUE(session->GetSessionOrvexCodes().empty());
    EXPECT_EQ(session->GetSessionKey(), "");
    std::string name = "stale";
    EXPECT_FALSE(session->GetLogfileName(name));
    EXPECT_EQ(name, "");
    boost::shared_ptr<ConfigurationData::ConfigurationDataStore> configuration;
    EXPECT_FALSE(session->GetConfigurationData(configuration));
}

TEST_F(PayloadSessionManagerTest, ReleaseEndsTheSessionButNotItsHolders)
{
    AddProxy("a", ProxyXml("{A}"));
    boost::shared_ptr<PayloadSessionManager> session = Start();
    PayloadSessionManager::Release();
    EXPECT_FALSE(PayloadSessionManager::Instance());
    EXPECT_EQ(session->GetSessionKey(), "91e428a7dd142c119d58c787639ef52");
    boost::shared_ptr<ConfigurationData::ConfigurationDataStore> configuration;
    EXPECT_FALSE(session->GetConfigurationData(configuration));
    std::string name;
    ASSERT_TRUE(session->GetLogfileName(name));
    EXPECT_THAT(ReadTextFile(LogFolder() + "/" + name), HasSubstr("END - Installer Session"));
    // A new session may start now.
    EXPECT_TRUE(PayloadSessionManager::Initialize(FileSystemPath(medium_), PayloadProxyFileConstants::kProxyFileTypeAny));
}

TEST_F(PayloadSessionManagerTest, ProxyFileTypes)
{
    AddProxy("Both", ProxyXml("{A}"), "Both.proxy.xml");
    AddProxy("Both", ProxyXml("{A}"), "Both.boot.xml");
    AddProxy("Boot", ProxyXml("{B}"), "Boot.boot.xml");
    tolktest::MakeFolders(medium_ + "/payloads/Empty");
    tolktest::WriteTextFile(medium_ + "/payloads/Stray.proxy.xml", ProxyXml("{C}"));
    const FileSystemPath payloads(medium_ + "/payloads");
    const std::string both = medium_ + "/payloads/Both/";

    std::vector<PayloadIteration::ProxyAndPayloadPath> found;
    ASSERT_TRUE(PayloadIteration::EnumerateTolkProxyAndPayloadPaths(payloads, PayloadProxyFileConstants::kProxyFileTypeFull, found));
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].first.AsUTF8String(), both + "Both.proxy.xml");
    // The image lies beside its proxy file, whether or not it is there.
    EXPECT_EQ(found[0].second.AsUTF8String(), both + "Both.dmg");

    ASSERT_TRUE(PayloadIteration::EnumerateTolkProxyAndPayloadPaths(payloads, PayloadProxyFileConstants::kProxyFileTypeBoot, found));
    ASSERT_EQ(found.size(), 2u);
    for (const auto& pair : found)
        EXPECT_THAT(pair.first.AsUTF8String(), ::testing::EndsWith(".boot.xml"));

    // Either kind: one file per sub-folder, never a file of the payloads folder itself.
    ASSERT_TRUE(PayloadIteration::EnumerateTolkProxyAndPayloadPaths(payloads, PayloadProxyFileConstants::kProxyFileTypeAny, found));
    ASSERT_EQ(found.size(), 2u);
    for (const auto& pair : found)
        EXPECT_THAT(pair.first.AsUTF8String(), Not(HasSubstr("Stray")));

    // Silent mode takes full proxy files only.
    boost::shared_ptr<PayloadSessionManager> session = Start(PayloadProxyFileConstants::kProxyFileTypeFull);
    ASSERT_TRUE(session);
    EXPECT_EQ(session->GetSessionOrvexCodes(), std::vector<std::string>{"{A}"});
}

TEST_F(PayloadSessionManagerTest, PayloadIdentityFromTheProxyFile)
{
    const std::string head = "<PayloadInfo><InstallerProperties><Property name=\"OrvexCode\">";
    AddProxy("a", head + "{A}</Property><Property name=\"INSTALLDIR\">x</Property><Property name=\"ProductName\">"
                         "Name</Property><Property name=\"ProductVersion\">4.5</Property></InstallerProperties>"
                         "<BuildInfo><Property name=\"Created\">20240611.1</Property></BuildInfo><Satisfies>"
                         "<ProductInfo><Family>Family</Family><ProductName>Name</ProductName></ProductInfo>"
                         "<ProductInfo><Family>Second</Family></ProductInfo></Satisfies></PayloadInfo>");
    AddProxy("b", head + "{B}</Property><Property name=\"ProductName\">B</Property></InstallerProperties>"
                         "<BuildInfo><Property name=\"Created\">7</Property></BuildInfo></PayloadInfo>");
    AddProxy("c", head + "{C}</Property><Property name=\"ProductName\">C</Property><Property "
                         "name=\"ProductVersion\">1</Property></InstallerProperties></PayloadInfo>");
    boost::shared_ptr<PayloadSessionManager> session = Start();
    ASSERT_TRUE(session);
    // "code|name|version|build" after the call, and its result.
    auto properties = [&](const std::string& code, bool& result) {
        std::string values[4] = {"-", "-", "-", "-"};
        result = DataAccessUtilities::GetPayloadPropertiesFromAccesssor(session->GetPayloadAccessorForOrvexCode(code),
                                                                         values[0], values[1], values[2], values[3]);
        return values[0] + "|" + values[1] + "|" + values[2] + "|" + values[3];
    };
    bool result = false;
    EXPECT_EQ(properties("{A}", result), "{A}|Name|4.5|20240611.1");
    EXPECT_TRUE(result);
    // Without a version: false, with what was found set. Without a build: nothing set.
    EXPECT_EQ(properties("{B}", result), "{B}|B|-|7");
    EXPECT_FALSE(result);
    EXPECT_EQ(properties("{C}", result), "-|-|-|-");
    EXPECT_FALSE(result);

    // The first satisfied product counts; a proxy without one gives nothing.
    std::string family, name, version;
    EXPECT_TRUE(DataAccessUtilities::GetSatisfiesData(session->GetPayloadAccessorForOrvexCode("{A}"), family, name,
                                                      version));
    EXPECT_EQ(family + "|" + name + "|" + version, "Family|Name|");
    EXPECT_FALSE(DataAccessUtilities::GetSatisfiesData(session->GetPayloadAccessorForOrvexCode("{C}"), family, name,
                                                       version));
}
