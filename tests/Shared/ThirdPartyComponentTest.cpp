#include "Shared/ProxyFileDataStore.h"
#include "Shared/ThirdPartyComponent.h"

#include "tests/Sorvel/PayloadFileFixture.h"

#include <iterator>
#include <map>
#include <string>
#include <utility>
#include <vector>

using namespace PayloadProxy;

namespace {

typedef std::map<std::string, std::string> Map;

const std::string kThirdPartyProxy =
    "<PayloadInfo version=\"2.0\">"
    "<Satisfies><ProductInfo><Family>NonOrvexPayload</Family></ProductInfo></Satisfies>"
    "<ThirdPartyComponent>"
    "<Metadata><Type>tolk1</Type><Name>Viewer.dmg</Name><NameScript>'Viewer.dmg'</NameScript>"
    "<IsInstalledScript>0</IsInstalledScript></Metadata>"
    "<Arguments prefix=\"--\" delimiter=\"=\">"
    "<Install><Argument name=\"target\">[INSTALLDIR]</Argument><Argument name=\"quiet\">1</Argument></Install>"
    "<Uninstall><Argument name=\"all\">yes</Argument></Uninstall></Arguments>"
    "<SuccessCodes><Install><Range lowerBound=\"0\" upperBound=\"0\"/><Range lowerBound=\"3010\" upperBound=\"3011\"/>"
    "</Install><Repair><Range lowerBound=\"-5\" upperBound=\"x\"/></Repair></SuccessCodes>"
    "<Capabilities>"
    "<Install><Value lang=\"en_US\">Restart to finish.</Value><Value lang=\"de_DE\">Neu starten.</Value></Install>"
    "<Repair isRepairable=\"1\"><Value lang=\"en_US\">Repaired.</Value></Repair>"
    "<Uninstall isUninstallable=\"yes\"/></Capabilities>"
    "</ThirdPartyComponent></PayloadInfo>";

// Each range as "lower..upper", a bound that does not convert as "?".
std::string Ranges(ThirdPartySuccessCodes::RangeList list)
{
    std::vector<ThirdPartyInstallSuccessRanges> ranges;
    EXPECT_TRUE(list.Get(std::back_inserter(ranges)));
    std::string text;
    for (ThirdPartyInstallSuccessRanges& range : ranges) {
        int lower = 0, upper = 0;
        text += (range.LowerBound().Get(lower) ? std::to_string(lower) : "?") + ".." +
                (range.UpperBound().Get(upper) ? std::to_string(upper) : "?") + " ";
    }
    return text;
}

class ThirdPartyComponentTest : public tolktest::PayloadFileTest {
protected:
    ProxyFileDataStore store_;
};

TEST_F(ThirdPartyComponentTest, ReadsTheWholeComponent)
{
    ASSERT_TRUE(store_.Load(WriteXml("Viewer.proxy.xml", kThirdPartyProxy)));
    ThirdPartyComponent component = store_.ThirdPartyComponentData();

    ThirdPartyMetadata metadata = component.ThirdPartyMetadataData();
    std::string type, name, nameScript, installed;
    metadata.Type().Get(type);
    metadata.Name().Get(name);
    metadata.NameScript().Get(nameScript);
    metadata.IsInstalledScript().Get(installed);
    EXPECT_EQ(type + "|" + name + "|" + nameScript + "|" + installed, "tolk1|Viewer.dmg|'Viewer.dmg'|0");

    ThirdPartyArguments arguments = component.ThirdPartyArgumentsData();
    std::string prefix, delimiter;
    arguments.Prefix().Get(prefix);
    arguments.Delimiter().Get(delimiter);
    EXPECT_EQ(prefix + "|" + delimiter, "--|=");
    Map map;
    EXPECT_TRUE(arguments.ThirdPartyInstallArgumentsData().ThirdPartyArgumentsMap().Get(map));
    EXPECT_EQ(map, (Map{{"quiet", "1"}, {"target", "[INSTALLDIR]"}}));
    EXPECT_TRUE(arguments.ThirdPartyUninstallArgumentsData().ThirdPartyArgumentsMap().Get(map));
    EXPECT_EQ(map, (Map{{"all", "yes"}}));
    EXPECT_TRUE(arguments.ThirdPartyRepairArgumentsData().ThirdPartyArgumentsMap().Get(map));
    EXPECT_TRUE(map.empty());

    ThirdPartySuccessCodes codes = component.ThirdPartySuccessCodesData();
    EXPECT_EQ(Ranges(codes.GetInstallSuccessRanges()), "0..0 3010..3011 ");
    EXPECT_EQ(Ranges(codes.GetRepairSuccessRanges()), "-5..? ");
    EXPECT_EQ(Ranges(codes.GetUninstallSuccessRanges()), "");

    ThirdPartyCapabilities capabilities = component.ThirdPartyCapabilitiesData();
    EXPECT_TRUE(capabilities.ThirdPartyCapabilitiesInstallData().InstallMessage().Get(map));
    EXPECT_EQ(map, (Map{{"de_DE", "Neu starten."}, {"en_US", "Restart to finish."}}));
    ThirdPartyCapabilitiesRepair repair = capabilities.ThirdPartyCapabilitiesRepairData();
    EXPECT_TRUE(repair.SupportsRepair());
    EXPECT_TRUE(repair.RepairMessage().Get(map));
    EXPECT_EQ(map, (Map{{"en_US", "Repaired."}}));
    ThirdPartyCapabilitiesUninstall uninstall = capabilities.ThirdPartyCapabilitiesUninstallData();
    EXPECT_FALSE(uninstall.SupportsUninstall());
    EXPECT_TRUE(uninstall.UninstallMessage().Get(map));
    EXPECT_TRUE(map.empty());
}

TEST_F(ThirdPartyComponentTest, CapabilityFlagsAreOneOrZero)
{
    const std::vector<std::pair<std::string, bool>> cases = {
        {"1", true}, {"0", false}, {"", false}, {"true", false}, {"2", false}};
    for (const std::pair<std::string, bool>& c : cases) {
        ASSERT_TRUE(store_.Load(WriteXml("Flags.proxy.xml", "<PayloadInfo><ThirdPartyComponent><Capabilities>"
                                                            "<Repair isRepairable=\"" + c.first + "\"/>"
                                                            "<Uninstall isUninstallable=\"" + c.first + "\"/>"
                                                            "</Capabilities></ThirdPartyComponent></PayloadInfo>")));
        ThirdPartyComponent component = store_.ThirdPartyComponentData();
        ThirdPartyCapabilities capabilities = component.ThirdPartyCapabilitiesData();
        EXPECT_EQ(capabilities.ThirdPartyCapabilitiesRepairData().SupportsRepair(), c.second) << c.first;
        EXPECT_EQ(capabilities.ThirdPartyCapabilitiesUninstallData().SupportsUninstall(), c.second) << c.first;
    }
}

}  // namespace
