// Bad input for the payload file models: files that do not load, stores that hold nothing and
// roots of another name.
#include "Shared/ProxyFileDataStore.h"
#include "Sorvel/source/xplat/ConfigurationDataStore.h"
#include "Sorvel/source/xplat/DeploymentFileDataStore.h"

#include "Shared/PayloadProxyFileConstants.h"

#include "PayloadFileFixture.h"

#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace {

// A reference: the constant lives in another translation unit and may not be built yet.
const std::string& kOSX = PayloadProxyFileConstants::kPlatformCurrent;

// Every reader of a proxy store that holds nothing gives its default.
void ExpectDefaults(const PayloadProxy::ProxyFileDataStore& store)
{
    std::string text = "stale";
    EXPECT_TRUE(store.Version().Get(text));
    EXPECT_EQ(text, "");
    std::map<std::string, std::string> map = {{"stale", "x"}};
    EXPECT_TRUE(store.InstallerProperties().Get(map));
    EXPECT_TRUE(map.empty());
    std::vector<PayloadProxy::SatisfiesProductInfoData> satisfies;
    EXPECT_TRUE(store.Satisfies().Get(std::back_inserter(satisfies)));
    EXPECT_TRUE(satisfies.empty());

    std::map<std::string, bool> processes = {{"stale", true}};
    EXPECT_TRUE(store.GetConflictingProcessesForPlatform(kOSX, processes));
    EXPECT_TRUE(processes.empty());
    PayloadProxy::ProxyFileDataStore::AddRemoveInfoData addRemove;
    EXPECT_EQ(store.GetAllAddRemoveInfoData(addRemove), 8u);
    EXPECT_EQ(store.GetAddRemoveInfoForLanguage("", "en_US", map), 0u);
    std::string folder = "x", folderName = "x";
    bool flag = true;
    EXPECT_FALSE(store.GetInstallDirInfoForPlatform(kOSX, folder, folderName, flag));
    EXPECT_EQ(folder + folderName, "");
    EXPECT_FALSE(flag);
    flag = true;
    EXPECT_TRUE(store.GetSuppressUninstallerForPlatform(kOSX, flag));
    EXPECT_FALSE(flag);
    EXPECT_TRUE(store.IsLanguageIndependent(flag));
    EXPECT_FALSE(flag);
    PayloadProxy::ThirdPartyComponent component = store.ThirdPartyComponentData();
    PayloadProxy::ThirdPartyCapabilities capabilities = component.ThirdPartyCapabilitiesData();
    EXPECT_FALSE(capabilities.ThirdPartyCapabilitiesRepairData().SupportsRepair());
}

typedef tolktest::PayloadFileTest PayloadModelFaultTest;

TEST_F(PayloadModelFaultTest, AProxyFileThatDoesNotLoadLeavesTheStoreEmpty)
{
    const std::string good = tolktest::ExamplePayloadsFolder() + "/OrvexSketchbook/OrvexSketchbook.proxy.xml";
    const std::vector<std::string> bad = {
        WriteXml("truncated.proxy.xml", "<PayloadInfo version=\"2.0\"><InstallerProperties><Property name=\"x\">"),
        WriteXml("empty.proxy.xml", ""),
        WriteXml("text.proxy.xml", "OrvexCode={A}\n"),
        WriteXml("mismatched.proxy.xml", "<PayloadInfo><Languages></Language></PayloadInfo>"),
        sysroot_.Scratch() + "/missing.proxy.xml",
        sysroot_.Scratch(),
    };
    for (const std::string& path : bad) {
        PayloadProxy::ProxyFileDataStore store;
        ASSERT_TRUE(store.Load(good));
        EXPECT_FALSE(store.Load(path)) << path;
        // The earlier document is gone too: nothing is read from a stale file.
        EXPECT_EQ(store.GetRootBackingObject(), nullptr);
        ExpectDefaults(store);
    }
    PayloadProxy::ProxyFileDataStore never;
    ExpectDefaults(never);
}

TEST_F(PayloadModelFaultTest, ARootOfAnotherNameIsReadAllTheSame)
{
    PayloadProxy::ProxyFileDataStore proxy;
    ASSERT_TRUE(proxy.Load(WriteXml("renamed.proxy.xml", "<Payload><InstallerProperties><Property name=\"OrvexCode\">"
                                                         "{A}</Property></InstallerProperties></Payload>")));
    std::map<std::string, std::string> properties;
    EXPECT_TRUE(proxy.InstallerProperties().Get(properties));
    EXPECT_EQ(properties, (std::map<std::string, std::string>{{"OrvexCode", "{A}"}}));

    ConfigurationData::ConfigurationDataStore setup;
    ASSERT_TRUE(setup.Load(WriteXml("Setup.xml", "<Deployment><Driver folder=\"A\"/></Deployment>")));
    std::string folder;
    EXPECT_TRUE(setup.DriverPayload().Folder().Get(folder));
    EXPECT_EQ(folder, "A");
}

TEST_F(PayloadModelFaultTest, SetupAndDeploymentFilesThatDoNotLoad)
{
    ConfigurationData::ConfigurationDataStore setup;
    EXPECT_FALSE(setup.Load(WriteXml("Setup.xml", "<Setup><Driver folder=\"A\"></Setup>")));
    EXPECT_FALSE(setup.Load(sysroot_.Scratch() + "/payloads/Setup.xml"));
    std::string folder = "stale";
    EXPECT_TRUE(setup.DriverPayload().Folder().Get(folder));
    EXPECT_EQ(folder, "");
    std::vector<ConfigurationData::VolumeInfo> volumes;
    EXPECT_TRUE(setup.VolumeInfoList().Get(std::back_inserter(volumes)));
    EXPECT_TRUE(volumes.empty());

    DeploymentFile::DeploymentFileDataStore deployment;
    EXPECT_FALSE(deployment.Load(WriteXml("x.install.xml", "<Deployment><Properties><Property name=\"a\">1")));
    std::map<std::string, std::string> properties = {{"stale", "x"}};
    EXPECT_TRUE(deployment.Properties().Get(properties));
    EXPECT_TRUE(properties.empty());
    // Nothing can be written without a document.
    EXPECT_FALSE(deployment.Payloads().CreateItem().OrvexCode().Set("{A}"));
    EXPECT_FALSE(deployment.Save(sysroot_.Scratch() + "/x.remove.xml", true));
}

}  // namespace
