// The payload media source: the volume "Setup.xml" places a payload on, the media values kept in
// the installation database, and the update to the installation source.
#include "ConfigurationDataStore.h"
#include "PayloadMediaSource.h"
#include "ProxyFileDataStore.h"
#include "TQInitManager.h"
#include "ThirdPartyPayloadSupportUtilites.h"
#include "caps.h"
#include "capsiHooks.h"

#include "PayloadMediumFixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <iterator>
#include <stdexcept>

using ::testing::HasSubstr;
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

    capsiSession* session_ = nullptr;
    boost::shared_ptr<ConfigurationData::ConfigurationDataStore> configuration_;
};

std::string VolumeXml(const std::string& name, const std::string& payloads)
{
    return "<Volume>" + (name.empty() ? std::string() : "<Name>" + name + "</Name>") + "<Payloads>" + payloads +
           "</Payloads></Volume>";
}

}  // namespace

TEST_F(PayloadMediaSourceTest, MediaValuesStoredAndRead)
{
    RecordPayload("{A}");
    ASSERT_TRUE(PayloadMediaSource::SetCAPSMediaInformation(session_, "{A}", "1", "2", "/Volumes/Disk 2", "Disk 2"));
    PayloadMediaSource::MediaType type = PayloadMediaSource::kMediaTypeLocal;
    std::uint16_t order = 0;
    FileSystemPath path;
    std::string name;
    ASSERT_TRUE(PayloadMediaSource::GetCAPSMediaInformation(session_, "{A}", type, order, path, name));
    EXPECT_EQ(type, PayloadMediaSource::kMediaTypeVolume);
    EXPECT_EQ(order, 2);
    EXPECT_EQ(path.AsUTF8String(), "/Volumes/Disk 2");
    EXPECT_EQ(name, "Disk 2");

    // Only "1" is a media volume; the index is its leading number.
    const struct {
        const char* type;
        const char* index;
        PayloadMediaSource::MediaType expectedType;
        std::uint16_t expectedOrder;
    } rows[] = {
        {"01", "12abc", PayloadMediaSource::kMediaTypeLocal, 12},
        {"true", "abc", PayloadMediaSource::kMediaTypeLocal, 0},
        {"2", "3", PayloadMediaSource::kMediaTypeLocal, 3},
    };
    for (const auto& row : rows) {
        ASSERT_TRUE(PayloadMediaSource::SetCAPSMediaInformation(session_, "{A}", row.type, row.index, "/p", ""));
        ASSERT_TRUE(PayloadMediaSource::GetCAPSMediaInformation(session_, "{A}", type, order, path, name));
        EXPECT_EQ(type, row.expectedType) << row.type;
        EXPECT_EQ(order, row.expectedOrder) << row.index;
    }
}

TEST_F(PayloadMediaSourceTest, IncompleteMediaValues)
{
    RecordPayload("{A}");
    ASSERT_EQ(kCapsOK, capsSetPayloadData(session_, "{A}", kCapsDomainProperties, "mediaType", "1"));
    ASSERT_EQ(kCapsOK, capsSetPayloadData(session_, "{A}", kCapsDomainProperties, "mediaVolumeIndex", "4"));
    PayloadMediaSource::MediaType type = PayloadMediaSource::kMediaTypeLocal;
    std::uint16_t order = 9;
    FileSystemPath path("/unchanged");
    std::string name = "unchanged";
    // Without a path there is no record, and nothing is changed.
    EXPECT_FALSE(PayloadMediaSource::GetCAPSMediaInformation(session_, "{A}", type, order, path, name));
    EXPECT_EQ(order, 9);
    EXPECT_EQ(path.AsUTF8String(), "/unchanged");
    EXPECT_EQ(name, "unchanged");
    // A path that cannot be one is no record either.
    ASSERT_EQ(kCapsOK, capsSetPayloadData(session_, "{A}", kCapsDomainProperties, "mediaPath", "relative"));
    EXPECT_FALSE(PayloadMediaSource::GetCAPSMediaInformation(session_, "{A}", type, order, path, name));
    // Without a name there is one, with an empty name.
    ASSERT_EQ(kCapsOK, capsSetPayloadData(session_, "{A}", kCapsDomainProperties, "mediaPath", "/media"));
    EXPECT_TRUE(PayloadMediaSource::GetCAPSMediaInformation(session_, "{A}", type, order, path, name));
    EXPECT_EQ(name, "");
    EXPECT_EQ(order, 4);

    // A payload the database does not know takes no values.
    EXPECT_FALSE(PayloadMediaSource::SetCAPSMediaInformation(session_, "{Unknown}", "1", "1", "/p", "n"));
}

TEST_F(PayloadMediaSourceTest, VolumeOfTheSetupDescription)
{
    const auto proxy = Proxy("A", ProxyXml("{A}"));
    PayloadMediaSource third = Source(
        "A", proxy,
        Volumes(VolumeXml("Disk 1", "<Payload folder=\"B\"/>") + VolumeXml("Disk 2", "") +
                VolumeXml("Disk 3", "<Payload folder=\"C\"/><Payload folder=\"A\">Disc3</Payload>")));
    EXPECT_EQ(third.GetMediaType(), PayloadMediaSource::kMediaTypeVolume);
    EXPECT_EQ(third.GetVolumeOrder(), 3);
    EXPECT_EQ(third.GetMediaName(), "Disk 3");
    // The path is the root of the volume that holds the image: here the start-up volume.
    EXPECT_EQ(third.GetPath().AsUTF8String(), sysroot_.Root());

    PayloadMediaSource none =
        Source("A", proxy, Volumes(VolumeXml("Disk 1", "<Payload folder=\"B\"/>") + VolumeXml("Disk 2", "")));
    EXPECT_EQ(none.GetMediaType(), PayloadMediaSource::kMediaTypeLocal);
    EXPECT_EQ(none.GetVolumeOrder(), 3);

    PayloadMediaSource noSetup = Source("A", proxy);
    EXPECT_EQ(noSetup.GetMediaType(), PayloadMediaSource::kMediaTypeLocal);
    EXPECT_EQ(noSetup.GetVolumeOrder(), 1);
}

TEST_F(PayloadMediaSourceTest, UnusableSetupDescriptionThrows)
{
    const auto proxy = Proxy("A", ProxyXml("{A}"));
    try {
        Source("A", proxy,
               Volumes(VolumeXml("Disk 1", "<Payload>x</Payload>") + VolumeXml("Disk 2", "<Payload folder=\"A\"/>")));
        ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "Invalid configuration data.  @folder not specified for PayloadLocation: A");
    }
    try {
        Source("A", proxy, Volumes(VolumeXml("", "<Payload folder=\"A\"/>")));
        ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "Invalid configuration data.  Unable to get location for folder: A");
    }
}

TEST_F(PayloadMediaSourceTest, LocalSourceWhereTheImageIs)
{
    // Whatever "Setup.xml" says, an image found on a fixed volume is taken where it is.
    PayloadMediaSource source = Source("A", Proxy("A", ProxyXml("{A}"), true),
                                       Volumes(VolumeXml("Disk 2", "<Payload folder=\"A\"/>")));
    ASSERT_TRUE(source.Update(nullptr, Proxy("A", ProxyXml("{A}"), true), FileSystemPath(medium_), nullptr, nullptr));
    EXPECT_EQ(source.GetMediaType(), PayloadMediaSource::kMediaTypeLocal);
    EXPECT_EQ(source.GetPath().AsUTF8String(), medium_ + "/payloads/A/A.dmg");

    // Without "Setup.xml" and without the image, the source path is still the best guess.
    const auto missing = Proxy("B", ProxyXml("{B}"));
    PayloadMediaSource guessed = Source("B", missing);
    ASSERT_TRUE(guessed.Update(nullptr, missing, FileSystemPath(medium_), nullptr, nullptr));
    EXPECT_EQ(guessed.GetPath().AsUTF8String(), medium_ + "/payloads/B/B.dmg");
    EXPECT_EQ(guessed.GetVolumeOrder(), 1);
}

TEST_F(PayloadMediaSourceTest, RemovableSourceIsTheNamedVolume)
{
    const auto proxy = Proxy("A", ProxyXml("{A}"));
    const auto volumes = Volumes(VolumeXml("Disk 1", "<Payload folder=\"B\"/>") +
                                 VolumeXml("Disk 2", "<Payload folder=\"A\">Disc2</Payload>"));
    // The image is not under the source path: it is on the volume of its name.
    PayloadMediaSource source = Source("A", proxy, volumes);
    ASSERT_TRUE(source.Update(nullptr, proxy, FileSystemPath(sysroot_.Scratch()), nullptr, nullptr));
    EXPECT_EQ(source.GetMediaType(), PayloadMediaSource::kMediaTypeVolume);
    EXPECT_EQ(source.GetVolumeOrder(), 2);
    EXPECT_EQ(source.GetPath().AsUTF8String(), sysroot_.Path("/Volumes/Disk 2/Disc2/payloads/A/A.dmg"));

    // The image is under the source path, but that is a removable volume.
    DeclareRemovableVolume("/Volumes/Installer");
    const std::string removableMedium = sysroot_.Path("/Volumes/Installer");
    tolktest::MakeFolders(removableMedium + "/payloads/A");
    tolktest::WriteTextFile(removableMedium + "/payloads/A/A.dmg", "image");
    PayloadMediaSource fromDisc = Source("A", proxy, volumes);
    ASSERT_TRUE(fromDisc.Update(nullptr, proxy, FileSystemPath(removableMedium), nullptr, nullptr));
    EXPECT_EQ(fromDisc.GetPath().AsUTF8String(), sysroot_.Path("/Volumes/Disk 2/Disc2/payloads/A/A.dmg"));

    // A removable source without a volume name cannot be found again.
    PayloadMediaSource unnamed = Source("A", proxy);
    EXPECT_FALSE(unnamed.Update(nullptr, proxy, FileSystemPath(removableMedium), nullptr, nullptr));
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
    EXPECT_EQ(source.GetMediaType(), PayloadMediaSource::kMediaTypeVolume);
    EXPECT_EQ(source.GetVolumeOrder(), 2);
    EXPECT_EQ(source.GetPath().AsUTF8String(), "/Volumes/Old");
    EXPECT_EQ(source.GetMediaName(), "Old");

    // A copy has neither the codes nor the stored record: it goes by the source path.
    PayloadMediaSource copy(source);
    ASSERT_TRUE(copy.Update(nullptr, proxy, FileSystemPath(medium_), nullptr, nullptr));
    EXPECT_EQ(copy.GetPath().AsUTF8String(), medium_ + "/payloads/A/A.dmg");
    EXPECT_EQ(copy.GetMediaType(), PayloadMediaSource::kMediaTypeLocal);

    // Upgraded, but without a stored record, the payload cannot be found.
    ASSERT_EQ(kCapsOK, capsRemovePayloadDomainData(session_, "{B}", kCapsDomainProperties));
    Commit();
    try {
        Source("A", proxy);
        ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "Invalid configuration data.  Unable to get upgrade location for folder: A");
    }
}

TEST_F(PayloadMediaSourceTest, ThirdPartyPackageBesideTheImage)
{
    // The family marks another maker's payload; its package lies in the payload's folder.
    const auto thirdParty = Proxy(
        "T", "<PayloadInfo><InstallerProperties><Property name=\"OrvexCode\">{T}</Property></InstallerProperties>"
             "<Satisfies><ProductInfo><Family>NonOrvexPayload</Family></ProductInfo></Satisfies>"
             "<ThirdPartyComponent><Metadata><Type>cfmApplication</Type><Name>Tool.app</Name></Metadata>"
             "</ThirdPartyComponent></PayloadInfo>");
    tolktest::MakeFolders(medium_ + "/payloads/T/Tool.app");
    PayloadMediaSource source = Source("T", thirdParty);
    ASSERT_TRUE(source.Update(nullptr, thirdParty, FileSystemPath(medium_), nullptr, nullptr));
    EXPECT_EQ(source.GetPath().AsUTF8String(), medium_ + "/payloads/T/Tool.app");

    // A name script names the package.
    InitializeTessel();
    const auto scripted = Proxy(
        "S", "<PayloadInfo><Satisfies><ProductInfo><Family>NonOrvexPayload</Family></ProductInfo></Satisfies>"
             "<ThirdPartyComponent><Metadata><Type>cfmApplication</Type><NameScript>'Tool' + (1 + 1) + '.app'"
             "</NameScript></Metadata></ThirdPartyComponent></PayloadInfo>");
    PayloadMediaSource named = Source("S", scripted);
    ASSERT_TRUE(named.Update(nullptr, scripted, FileSystemPath(medium_), nullptr, nullptr));
    EXPECT_EQ(named.GetPath().AsUTF8String(), medium_ + "/payloads/S/Tool2.app");
    std::string result = "kept";
    EXPECT_TRUE(ThirdPartyPayloadSupportUtilites::RunThirdPartyScript(nullptr, "6 * 7", result));
    EXPECT_EQ(result, "42");
    EXPECT_FALSE(ThirdPartyPayloadSupportUtilites::RunThirdPartyScript(nullptr, "no such thing(", result));
    EXPECT_FALSE(ThirdPartyPayloadSupportUtilites::RunThirdPartyScript(nullptr, "", result));
    EXPECT_EQ(result, "42");

    // A component without a package name, or a proxy that says nothing of its product, fails.
    const auto nameless = Proxy(
        "N", "<PayloadInfo><Satisfies><ProductInfo><Family>NonOrvexPayload</Family></ProductInfo></Satisfies>"
             "<ThirdPartyComponent><Metadata><Type>cfmApplication</Type></Metadata></ThirdPartyComponent></PayloadInfo>");
    PayloadMediaSource noName = Source("N", nameless);
    EXPECT_FALSE(noName.Update(nullptr, nameless, FileSystemPath(medium_), nullptr, nullptr));
    const auto silent = Proxy("Q", "<PayloadInfo/>");
    PayloadMediaSource noProduct = Source("Q", silent);
    EXPECT_FALSE(noProduct.Update(nullptr, silent, FileSystemPath(medium_), nullptr, nullptr));
}

TEST_F(PayloadMediaSourceTest, DumpNamesTheCurrentMedium)
{
    PayloadMediaSource::PayloadMediaInfo info;
    info.mediaType = PayloadMediaSource::kMediaTypeVolume;
    info.volumeOrder = 2;
    info.mediaName = "Disk 2";
    info.path = FileSystemPath("/Volumes/Disk 2");
    EXPECT_EQ(info.Dump(), "Type: 1, Volume Order: 2, Media Name: Disk 2, Path: /Volumes/Disk 2");
}
