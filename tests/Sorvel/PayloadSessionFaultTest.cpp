// The payload session with proxy files that cannot be loaded, lack their code or share it, and
// setup descriptions that cannot be used: the session fails, leaves nothing, and says why.
#include "Sorvel/source/xplat/PayloadIteration.h"
#include "Sorvel/source/xplat/PayloadSessionManager.h"

#include "PayloadMediumFixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::HasSubstr;
using ::testing::Not;
using tolktest::ProxyXml;
using tolktest::ReadTextFile;

namespace {

class PayloadSessionFaultTest : public tolktest::PayloadMediumTest {
protected:
    bool Initialize()
    {
        return PayloadSessionManager::Initialize(FileSystemPath(medium_), PayloadProxyFileConstants::kProxyFileTypeAny);
    }
};

}  // namespace

TEST_F(PayloadSessionFaultTest, AProxyFileThatCannotBeLoadedFailsTheSession)
{
    AddProxy("good", ProxyXml("{A}"));
    const std::string broken = AddProxy("broken", "<PayloadInfo><unclosed>");
    EXPECT_FALSE(Initialize());
    EXPECT_FALSE(PayloadSessionManager::Instance());

    const std::string log = ReadTextFile(LogFolder() + "/Orvex Setup Errors.log");
    EXPECT_THAT(log, HasSubstr("Initialization Failures"));
    EXPECT_THAT(log, HasSubstr("Fatal error initializing from proxy files.\n"));
    EXPECT_THAT(log, HasSubstr("The following proxy files could not be loaded\n" + broken + "\n"));
    EXPECT_THAT(log, Not(HasSubstr("Possibly malformed proxy file")));

    std::vector<boost::shared_ptr<PayloadAccessor> > accessors;
    std::vector<PayloadIteration::ProxyAndPayloadPath> failures;
    EXPECT_FALSE(PayloadIteration::LoadPayloadAccessors(FileSystemPath(medium_ + "/payloads"),
                                                        boost::shared_ptr<ConfigurationData::ConfigurationDataStore>(),
                                                        PayloadProxyFileConstants::kProxyFileTypeAny, accessors,
                                                        failures));
    EXPECT_EQ(accessors.size(), 1u);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].first.AsUTF8String(), broken);
    EXPECT_EQ(failures[0].second.AsUTF8String(), medium_ + "/payloads/broken/broken.dmg");
}

TEST_F(PayloadSessionFaultTest, AProxyFileWithoutItsCodeFailsTheSession)
{
    const std::string proxy = AddProxy("nocode", ProxyXml(""));
    EXPECT_FALSE(Initialize());
    EXPECT_FALSE(PayloadSessionManager::Instance());
    // Nothing half-built stays behind: the mended medium starts.
    tolktest::WriteTextFile(proxy, ProxyXml("{A}"));
    EXPECT_TRUE(Initialize());
}

TEST_F(PayloadSessionFaultTest, DuplicateCodesFailTheSession)
{
    const std::string first = AddProxy("one", ProxyXml("{A}"));
    const std::string second = AddProxy("two", ProxyXml("{A}"));
    EXPECT_FALSE(Initialize());
    EXPECT_FALSE(PayloadSessionManager::Instance());
    const std::string log = ReadTextFile(LogFolder() + "/91e428a7dd142c119d58c787639ef52.log");
    EXPECT_THAT(log, HasSubstr("Duplicate OrvexCodes exist in session.  See below\nOrvexCode: {A}\n"));
    EXPECT_THAT(log, HasSubstr("\tPath: " + first + "\n"));
    EXPECT_THAT(log, HasSubstr("\tPath: " + second + "\n"));
    EXPECT_THAT(log, HasSubstr("Fatal error initializing from proxy files."));
}

TEST_F(PayloadSessionFaultTest, DuplicateCodesFailEvenWithoutASessionLog)
{
    // No log folder can be made: the duplicates cannot be reported, but the session still fails.
    const std::string logs = LogFolder().substr(0, LogFolder().size() - std::string("/Orvex/Installers").size());
    tolktest::MakeFolders(logs);
    tolktest::WriteTextFile(logs + "/Orvex", "a file where the folder belongs");
    AddProxy("one", ProxyXml("{A}"));
    AddProxy("two", ProxyXml("{A}"));
    EXPECT_FALSE(Initialize());
    EXPECT_FALSE(PayloadSessionManager::Instance());
}

TEST_F(PayloadSessionFaultTest, SetupDescriptionThatCannotBeUsed)
{
    AddProxy("A", ProxyXml("{A}"));
    // A Payload element without a folder, on a volume searched before the one that lists "A".
    WriteSetupXml("<Media><Volume><Name>Disk 1</Name><Payloads><Payload>x</Payload></Payloads></Volume>"
                  "<Volume><Name>Disk 2</Name><Payloads><Payload folder=\"A\"/></Payloads></Volume></Media>");
    EXPECT_FALSE(Initialize());
    EXPECT_THAT(ReadTextFile(LogFolder() + "/Orvex Setup Errors.log"),
                HasSubstr("The following proxy files could not be loaded\n" + medium_ + "/payloads/A/A.proxy.xml"));

    // A volume that lists the payload but has no name.
    WriteSetupXml("<Media><Volume><Payloads><Payload folder=\"A\"/></Payloads></Volume></Media>");
    EXPECT_FALSE(Initialize());

    // A setup description that is not XML at all is no description.
    tolktest::WriteTextFile(medium_ + "/payloads/Setup.xml", "not xml");
    EXPECT_TRUE(Initialize());
    boost::shared_ptr<ConfigurationData::ConfigurationDataStore> configuration;
    EXPECT_FALSE(PayloadSessionManager::Instance()->GetConfigurationData(configuration));
    EXPECT_EQ(PayloadSessionManager::Instance()->GetDriverPayloadOrvexCode(), "{A}");
}

TEST_F(PayloadSessionFaultTest, AProductNameNeverLeadsTheSessionLogOutOfTheLogFolder)
{
    // The only payload is the driver: its product name and version name the log.
    AddProxy("A", ProxyXml("{A}", "../../../../../../../escaped", "1/../2"));
    ASSERT_TRUE(Initialize());
    std::string name;
    ASSERT_TRUE(PayloadSessionManager::Instance()->GetLogfileName(name));
    EXPECT_EQ(name, "..-..-..-..-..-..-..-escaped 1-..-2.log");
    EXPECT_THAT(ReadTextFile(LogFolder() + "/" + name), HasSubstr("START - Installer Session"));
    PayloadSessionManager::Release();

    // A name too long for one file name is cut before its extension.
    AddProxy("A", ProxyXml("{A}", std::string(300, 'x'), "1.0"));
    ASSERT_TRUE(Initialize());
    ASSERT_TRUE(PayloadSessionManager::Instance()->GetLogfileName(name));
    EXPECT_EQ(name, std::string(251, 'x') + ".log");
    EXPECT_THAT(ReadTextFile(LogFolder() + "/" + name), HasSubstr("START - Installer Session"));
}
