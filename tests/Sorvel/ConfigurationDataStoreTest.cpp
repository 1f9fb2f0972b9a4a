#include "Sorvel/source/xplat/ConfigurationDataStore.h"

#include "Sorvel/source/xplat/SorvelConstants.h"

#include "PayloadFileFixture.h"

#include <iterator>
#include <string>
#include <vector>

using namespace ConfigurationData;

namespace {

class ConfigurationDataStoreTest : public tolktest::PayloadFileTest {
protected:
    // The volumes as the session and the media source read them, one line per volume:
    // "name: folder=path folder=path".
    std::vector<std::string> Volumes()
    {
        std::vector<VolumeInfo> records;
        EXPECT_TRUE(store_.VolumeInfoList().Get(std::back_inserter(records)));
        std::vector<std::string> volumes;
        for (VolumeInfo& record : records) {
            std::string line;
            EXPECT_TRUE(record.Name().Get(line));
            line += ":";
            std::vector<PayloadLocation> locations;
            EXPECT_TRUE(record.PayloadLocations().Get(std::back_inserter(locations)));
            for (PayloadLocation& location : locations) {
                std::string folder, path;
                EXPECT_TRUE(location.Folder().Get(folder));
                EXPECT_TRUE(location.Path(path));
                line += " " + folder + "=" + path;
            }
            volumes.push_back(line);
        }
        return volumes;
    }

    std::string DriverFolder()
    {
        std::string folder = "stale";
        EXPECT_TRUE(store_.DriverPayload().Folder().Get(folder));
        return folder;
    }

    ConfigurationDataStore store_;
};

TEST_F(ConfigurationDataStoreTest, TheExampleNamesItsDriverAndNoVolumes)
{
    ASSERT_TRUE(store_.Load(tolktest::ExamplePayloadsFolder() + "/" + SorvelConstants::kConfigurationFileName));
    const std::string before = Saved(store_);
    EXPECT_EQ(DriverFolder(), "OrvexSketchbook");
    EXPECT_TRUE(Volumes().empty());
    EXPECT_EQ(Saved(store_), before);

    ASSERT_TRUE(store_.Load(WriteXml("Setup.xml", "<Setup><Driver/><Media/></Setup>")));
    EXPECT_EQ(DriverFolder(), "");
    EXPECT_TRUE(Volumes().empty());
}

TEST_F(ConfigurationDataStoreTest, VolumesInTheirOrderWithTheirPayloadLocations)
{
    ASSERT_TRUE(store_.Load(WriteXml("Setup.xml",
                                     "<Setup><Media>"
                                     "<Volume><Name>Disk 1</Name><Payloads><Payload folder=\"Main\"/>"
                                     "<Payload folder=\"Fonts\">Disc1</Payload></Payloads></Volume>"
                                     "<Other><Name>not a volume</Name></Other>"
                                     "<Volume><Payloads><Payload>no folder</Payload><Extra folder=\"X\"/></Payloads>"
                                     "</Volume>"
                                     "<Volume><Name>Disk 3</Name><Payloads>"
                                     "<Payload folder=\"Viewer\">Disc3/sub</Payload></Payloads>"
                                     "<Name>a second name is not read</Name></Volume>"
                                     "</Media><Driver folder=\"Main\"/></Setup>")));
    const std::string before = Saved(store_);
    EXPECT_EQ(DriverFolder(), "Main");
    // Volume n is the n-th Volume element; what is missing reads empty.
    EXPECT_EQ(Volumes(), (std::vector<std::string>{"Disk 1: Main= Fonts=Disc1", ": =no folder",
                                                   "Disk 3: Viewer=Disc3/sub"}));
    EXPECT_EQ(Saved(store_), before);
}

}  // namespace
