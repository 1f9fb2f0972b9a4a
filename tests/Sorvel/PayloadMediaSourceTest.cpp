// The payload media source: the volume "Setup.xml" places a payload on, the media values kept in
// the installation database, and the update to the installation source.
#include "Common/source/mac/TQInitManager.h"
#include "Shared/ProxyFileDataStore.h"
#include "Sorvel/source/xplat/ConfigurationDataStore.h"
#include "Sorvel/source/xplat/PayloadMediaSource.h"
#include "Sorvel/source/xplat/ThirdPartyPayloadSupportUtilites.h"
#include "caps/caps.h"
#include "caps/capsiHooks.h"

#include "PayloadMediumFixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <iterator>
#include <stdexcept>
#include <string>

using tolktest::ProxyXml;

namespace {

class PayloadMediaSourceTest : public tolktest::PayloadMediumTest {
protected:
    void SetUp() override
    {
        PayloadMediumTest::SetUp();
        // The database is made as root would make it, so the tests run alike for every user.
        capsiSetRunningAsRootForTesting(1);
        capsiSession* made = nullptr;
        ASSERT_EQ(kCapsOK, capsOpenSession(&made));
        ASSERT_EQ(kCapsOK, capsCloseSession(made));
        capsiSetRunningAsRootForTesting(-1);
        ASSERT_EQ(kCapsOK, capsOpenSession(&session_));
        ASSERT_EQ(kCapsOK, capsAddCollection(session_, "C", "{A}"));
    }
    void TearDown() override
    {
        if (session_ != nullptr)
            capsCloseSession(session_);
        PayloadMediumTest::TearDown();
    }

    void RecordPayload(const char* code, std::vector<const char*> upgrades = {})
    {
        upgrades.push_back(nullptr);
        const char* const noConflicts[] = {nullptr};
        ASSERT_EQ(kCapsOK, capsAddPayload(session_, "C", code, "F", "N", "1", "s", noConflicts, upgrades.data()));
    }
    // Makes what the session holds visible to the media source's own session.
    void Commit() { ASSERT_EQ(kCapsOK, capsSessionCommit(session_)); }

    boost::shared_ptr<PayloadProxy::ProxyFileDataStore> Proxy(const std::string& folder, const std::string& text,
                                                              bool withImage = false)
    {
        boost::shared_ptr<PayloadProxy::ProxyFileDataStore> store(new PayloadProxy::ProxyFileDataStore);
        EXPECT_TRUE(store->Load(AddProxy(folder, text, "", withImage)));
        return store;
    }
    std::vector<ConfigurationData::VolumeInfo> Volumes(const std::string& media)
    {
        WriteSetupXml("<Media>" + media + "</Media>");
        configuration_.reset(new ConfigurationData::ConfigurationDataStore);
        EXPECT_TRUE(configuration_->Load(medium_ + "/payloads/Setup.xml"));
        std::vector<ConfigurationData::VolumeInfo> volumes;
        configuration_->VolumeInfoList().Get(std::back_inserter(volumes));
        return volumes;
    }
    PayloadMediaSource Source(const std::string& folder,
                              const boost::shared_ptr<PayloadProxy::ProxyFileDataStore>& store,
                              const std::vector<ConfigurationData::VolumeInfo>& volumes = {})
    {
        return PayloadMediaSource(FileSystemPath(medium_), Image(folder), store, volumes);
    }
    FileSystemPath Image(const std::string& folder) const
    {
        return FileSystemPath(medium_ + "/payloads/" + folder + "/" + folder + ".dmg");
    }
    // A volume of the medium's root that says it is removable.
    void DeclareRemovableVolume(const std::string& mountPoint)
    {
        tolktest::MakeFolders(sysroot_.Path(mountPoint));
        tolktest::WriteTextFile(sysroot_.Path("/dev/disk1s1"), "");
        sysroot_.WritePlatformSettings(
            "<plist version=\"1.0\"><dict><key>volumes</key><array>"
            "<dict><key>mount-point</key><string>/</string><key>mounted-from</key><string>/dev/disk0s2</string>"
            "<key>removable</key><false/></dict>"
            "<dict><key>mount-point</key><string>" + mountPoint + "</string><key>mounted-from</key>"
            "<string>/dev/disk1s1</string><key>removable</key><true/></dict>"
            "</array></dict></plist>");
    }

    // The stored media values as "type|order|path|name", or "none".
    std::string Stored(const char* code)
    {
        PayloadMediaSource::MediaType type = PayloadMediaSource::kMediaTypeLocal;
        std::uint16_t order = 0;
        FileSystemPath path("/");
        std::string name;
        if (!PayloadMediaSource::GetCAPSMediaInformation(session_, code, type, order, path, name))
            return "none";
        return std::to_string(type) + "|" + std::to_string(order) + "|" + path.AsUTF8String() + "|" + name;
    }
    static std::string Current(const PayloadMediaSource& source)
    {
        return std::to_string(source.GetMediaType()) + "|" + std::to_string(source.GetVolumeOrder()) + "|" +
               source.GetPath().AsUTF8String() + "|" + source.GetMediaName();
    }

    capsiSession* session_ = nullptr;
    boost::shared_ptr<ConfigurationData::ConfigurationDataStore> configuration_;
};

std::string VolumeXml(const std::string& name, const std::string& payloads)
{
    return "<Volume>" + (name.empty() ? std::string() : "<Name>" + name + "</Name>") + "<Payloads>" + payloads +
           "</Payloads></Volume>";
}

const char kThirdPartyHead[] =
    "<PayloadInfo><Satisfies><ProductInfo><Family>NonOrvexPayload</Family></ProductInfo></Satisfies>"
    "<ThirdPartyComponent><Metadata><Type>cfmApplication</Type>";
const char kThirdPartyTail[] = "</Metadata></ThirdPartyComponent></PayloadInfo>";

}  // namespace

TEST_F(PayloadMediaSourceTest, MediaValuesStoredAndRead)
{
    RecordPayload("{A}");
    ASSERT_TRUE(PayloadMediaSource::SetCAPSMediaInformation(session_, "{A}", "1", "2", "/Volumes/Disk 2", "Disk 2"));
    EXPECT_EQ(Stored("{A}"), "1|2|/Volumes/Disk 2|Disk 2");
    // Only "1" is a media volume; the index is its leading number.
    ASSERT_TRUE(PayloadMediaSource::SetCAPSMediaInformation(session_, "{A}", "01", "12abc", "/p", ""));
    EXPECT_EQ(Stored("{A}"), "0|12|/p|");
    ASSERT_TRUE(PayloadMediaSource::SetCAPSMediaInformation(session_, "{A}", "true", "abc", "/p", ""));
    EXPECT_EQ(Stored("{A}"), "0|0|/p|");

    // Without a name there is a record; without a path, or with one that is no path, there is none.
    ASSERT_EQ(kCapsOK, capsRemovePayloadData(session_, "{A}", kCapsDomainProperties, "mediaName"));
    EXPECT_EQ(Stored("{A}"), "0|0|/p|");
    ASSERT_EQ(kCapsOK, capsSetPayloadData(session_, "{A}", kCapsDomainProperties, "mediaPath", "relative"));
    EXPECT_EQ(Stored("{A}"), "none");
    ASSERT_EQ(kCapsOK, capsRemovePayloadData(session_, "{A}", kCapsDomainProperties, "mediaPath"));
    EXPECT_EQ(Stored("{A}"), "none");

    // A payload the database does not know takes no values.
    EXPECT_FALSE(PayloadMediaSource::SetCAPSMediaInformation(session_, "{Unknown}", "1", "1", "/p", "n"));
}

TEST_F(PayloadMediaSourceTest, VolumeOfTheSetupDescription)
{
    const auto proxy = Proxy("A", ProxyXml("{A}"));
    // The path is the root of the volume that holds the image: here the start-up volume.
    EXPECT_EQ(Current(Source("A", proxy,
                             Volumes(VolumeXml("Disk 1", "<Payload folder=\"B\"/>") + VolumeXml("Disk 2", "") +
                                     VolumeXml("Disk 3", "<Payload folder=\"C\"/><Payload folder=\"A\">x</Payload>")))),
              "1|3|" + sysroot_.Root() + "|Disk 3");
    EXPECT_EQ(Source("A", proxy, Volumes(VolumeXml("Disk 1", "") + VolumeXml("Disk 2", ""))).GetVolumeOrder(), 3);
    EXPECT_EQ(Source("A", proxy).GetVolumeOrder(), 1);

    // A Payload element without a folder, on a volume searched before the match; a volume without a name.
    EXPECT_THROW(Source("A", proxy,
                        Volumes(VolumeXml("Disk 1", "<Payload>x</Payload>") +
                                VolumeXml("Disk 2", "<Payload folder=\"A\"/>"))),
                 std::runtime_error);
    EXPECT_THROW(Source("A", proxy, Volumes(VolumeXml("", "<Payload folder=\"A\"/>"))), std::runtime_error);
}

TEST_F(PayloadMediaSourceTest, UpdateToTheInstallationSource)
{
    const auto volumes = Volumes(VolumeXml("Disk 1", "<Payload folder=\"B\"/>") +
                                 VolumeXml("Disk 2", "<Payload folder=\"A\">Disc2</Payload>"));
    const std::string onDisk2 = sysroot_.Path("/Volumes/Disk 2/Disc2/payloads/A/A.dmg");

    // An image found on a fixed volume is taken where it is, whatever "Setup.xml" says.
    const auto local = Proxy("A", ProxyXml("{A}"), true);
    PayloadMediaSource source = Source("A", local, volumes);
    ASSERT_TRUE(source.Update(nullptr, local, FileSystemPath(medium_), nullptr, nullptr));
    EXPECT_EQ(Current(source), "0|2|" + medium_ + "/payloads/A/A.dmg|Disk 2");

    // Not found under the source path: it is on the volume of its name.
    PayloadMediaSource elsewhere = Source("A", local, volumes);
    ASSERT_TRUE(elsewhere.Update(nullptr, local, FileSystemPath(sysroot_.Scratch()), nullptr, nullptr));
    EXPECT_EQ(Current(elsewhere), "1|2|" + onDisk2 + "|Disk 2");

    // Found, but the source is a removable volume: again the volume of its name.
    DeclareRemovableVolume("/Volumes/Installer");
    const std::string disc = sysroot_.Path("/Volumes/Installer");
    tolktest::MakeFolders(disc + "/payloads/A");
    tolktest::WriteTextFile(disc + "/payloads/A/A.dmg", "image");
    PayloadMediaSource fromDisc = Source("A", local, volumes);
    ASSERT_TRUE(fromDisc.Update(nullptr, local, FileSystemPath(disc), nullptr, nullptr));
    EXPECT_EQ(fromDisc.GetPath().AsUTF8String(), onDisk2);
    // ... which cannot be found again without a name.
    PayloadMediaSource unnamed = Source("A", local);
    EXPECT_FALSE(unnamed.Update(nullptr, local, FileSystemPath(disc), nullptr, nullptr));

    // Without "Setup.xml" and without the image, the source path is the best guess.
    PayloadMediaSource guessed = Source("A", local);
    ASSERT_TRUE(guessed.Update(nullptr, local, FileSystemPath(sysroot_.Scratch()), nullptr, nullptr));
    EXPECT_EQ(Current(guessed), "0|1|" + sysroot_.Scratch() + "/payloads/A/A.dmg|");

    // A proxy that names no product cannot be placed.
    const auto silent = Proxy("Q", "<PayloadInfo/>");
    PayloadMediaSource noProduct = Source("Q", silent);
    EXPECT_FALSE(noProduct.Update(nullptr, silent, FileSystemPath(medium_), nullptr, nullptr));
}

TEST_F(PayloadMediaSourceTest, UpgradedPayloadUsesItsStoredRecord)
{
    RecordPayload("{A}");
    RecordPayload("{B}", {"{A}"});
    // B upgrades A once both are installed.
    ASSERT_EQ(kCapsOK, capsSetInstallState(session_, "C", "{A}", kCapsInstalled));
    ASSERT_EQ(kCapsOK, capsSetInstallState(session_, "C", "{B}", kCapsInstalled));
    ASSERT_TRUE(PayloadMediaSource::SetCAPSMediaInformation(session_, "{B}", "1", "2", "/Volumes/Old", "Old"));
    Commit();

    const auto proxy = Proxy("A", ProxyXml("{A}"), true);
    PayloadMediaSource source = Source("A", proxy);
    ASSERT_TRUE(source.Update(nullptr, proxy, FileSystemPath(medium_), nullptr, nullptr));
    EXPECT_EQ(Current(source), "1|2|/Volumes/Old|Old");

    // A copy has neither the codes nor the stored record: it goes by the source path.
    PayloadMediaSource copy(source);
    ASSERT_TRUE(copy.Update(nullptr, proxy, FileSystemPath(medium_), nullptr, nullptr));
    EXPECT_EQ(Current(copy), "0|2|" + medium_ + "/payloads/A/A.dmg|Old");

    // Upgraded, but without a stored record, the payload cannot be found.
    ASSERT_EQ(kCapsOK, capsRemovePayloadDomainData(session_, "{B}", kCapsDomainProperties));
    Commit();
    EXPECT_THROW(Source("A", proxy), std::runtime_error);
}

TEST_F(PayloadMediaSourceTest, ThirdPartyPackageBesideTheImage)
{
    // The package lies in the payload's folder, named by the component or by its name script.
    InitializeTessel();
    const auto named = Proxy("T", std::string(kThirdPartyHead) + "<Name>Tool.app</Name>" + kThirdPartyTail);
    const auto scripted =
        Proxy("S", std::string(kThirdPartyHead) + "<NameScript>'Tool' + (1 + 1) + '.app'</NameScript>" + kThirdPartyTail);
    const auto nameless = Proxy("N", std::string(kThirdPartyHead) + kThirdPartyTail);
    PayloadMediaSource byName = Source("T", named);
    ASSERT_TRUE(byName.Update(nullptr, named, FileSystemPath(medium_), nullptr, nullptr));
    EXPECT_EQ(byName.GetPath().AsUTF8String(), medium_ + "/payloads/T/Tool.app");
    PayloadMediaSource byScript = Source("S", scripted);
    ASSERT_TRUE(byScript.Update(nullptr, scripted, FileSystemPath(medium_), nullptr, nullptr));
    EXPECT_EQ(byScript.GetPath().AsUTF8String(), medium_ + "/payloads/S/Tool2.app");
    PayloadMediaSource noName = Source("N", nameless);
    EXPECT_FALSE(noName.Update(nullptr, nameless, FileSystemPath(medium_), nullptr, nullptr));

    std::string result = "kept";
    EXPECT_FALSE(ThirdPartyPayloadSupportUtilites::RunThirdPartyScript(nullptr, "no such thing(", result));
    EXPECT_TRUE(ThirdPartyPayloadSupportUtilites::RunThirdPartyScript(nullptr, "undefined", result));
    EXPECT_EQ(result, "kept");
}
