#include "Sorvel/source/xplat/DeploymentFileDataStore.h"
#include "Sorvel/source/xplat/InstallerEngine.h"
#include "Sorvel/source/xplat/UIDriverSilent.h"

#include "PayloadFileFixture.h"

#include <iterator>
#include <map>
#include <string>
#include <utility>
#include <vector>

using namespace DeploymentFile;

namespace {

typedef std::map<std::string, std::string> Properties;
typedef std::vector<std::pair<std::string, std::string>> Actions;  // code, action

// Writes a deployment file the way the script interface does.
bool Write(const std::string& path, const Properties& properties, const Actions& actions)
{
    DeploymentFileDataStore store;
    if (!store.CreateDocument() || store.Properties().Set(properties) != properties.size())
        return false;
    for (const std::pair<std::string, std::string>& action : actions) {
        PayloadData payload = store.Payloads().CreateItem();
        if (!payload.OrvexCode().Set(action.first) || !payload.Action().Set(action.second))
            return false;
    }
    return store.Save(path, true);
}

void Read(const DeploymentFileDataStore& store, Properties& properties, Actions& actions)
{
    EXPECT_TRUE(store.Properties().Get(properties));
    std::vector<PayloadData> payloads;
    EXPECT_TRUE(store.Payloads().Get(std::back_inserter(payloads)));
    actions.clear();
    for (PayloadData& payload : payloads) {
        std::pair<std::string, std::string> action;
        EXPECT_TRUE(payload.OrvexCode().Get(action.first));
        EXPECT_TRUE(payload.Action().Get(action.second));
        actions.push_back(action);
    }
}

typedef tolktest::PayloadFileTest DeploymentFileDataStoreTest;

TEST_F(DeploymentFileDataStoreTest, AWrittenFileReloadsToTheSamePropertiesAndActions)
{
    const Properties properties = {{"INSTALLDIR", "/Applications/Orvex Sketchbook"},
                                   {"AddRemoveInfoDisplayName", "Skizzenbuch \xE2\x80\x93 \"Pro\" <2> & 'Co'"},
                                   {"comment", "  two lines\r\n\tindented  "},
                                   {"emptyValue", ""}};
    const Actions actions = {{"{C4940677-D7A3-4BD1-A217-41223944EFDA}", "install"},
                             {"{80F309BD-C18B-4643-BC52-007C9D1F0142}", "install"},
                             {"{0A}", "re & move"}};
    const std::string path = sysroot_.Scratch() + "/Orvex Sketchbook.install.xml";
    ASSERT_TRUE(Write(path, properties, actions));

    DeploymentFileDataStore store;
    ASSERT_TRUE(store.Load(path));
    Properties readProperties;
    Actions readActions;
    Read(store, readProperties, readActions);
    EXPECT_EQ(readProperties, properties);
    EXPECT_EQ(readActions, actions);

    // The structure other readers expect, with payloads in the order written.
    ASSERT_TRUE(Write(path, {{"b", "2"}, {"a", "1"}}, {{"{B}", "remove"}, {"{A}", "remove"}}));
    ASSERT_TRUE(store.Load(path));
    EXPECT_EQ(Saved(store), "<Deployment><Properties><Property name=\"a\">1</Property><Property name=\"b\">2</Property>"
                            "</Properties><Payloads><Payload orvexCode=\"{B}\"><Action>remove</Action></Payload>"
                            "<Payload orvexCode=\"{A}\"><Action>remove</Action></Payload></Payloads></Deployment>");
}

TEST_F(DeploymentFileDataStoreTest, AFileWithoutPayloadsOrPropertiesReadsEmpty)
{
    DeploymentFileDataStore store;
    ASSERT_TRUE(store.Load(WriteXml("a.install.xml", "<Deployment><Payloads><Payload orvexCode=\"{A}\"/></Payloads>"
                                                     "</Deployment>")));
    Properties properties = {{"stale", "x"}};
    Actions actions;
    Read(store, properties, actions);
    EXPECT_TRUE(properties.empty());
    EXPECT_EQ(actions, (Actions{{"{A}", ""}}));

    const std::string text = "<Deployment><Properties><Property name=\"k\">v</Property><Property>unnamed</Property>"
                             "<Property name=\"k\">second</Property></Properties></Deployment>";
    ASSERT_TRUE(store.Load(WriteXml("b.install.xml", text)));
    Read(store, properties, actions);
    EXPECT_EQ(properties, (Properties{{"k", "v"}}));
    EXPECT_TRUE(actions.empty());
    EXPECT_EQ(Saved(store), text);
}

TEST_F(DeploymentFileDataStoreTest, TheOlderSilentDriverReadsTheFileTheCommandLineNames)
{
    InstallerEngine engine(FileSystemPath(sysroot_.Scratch()));
    UIDriverSilent driver(engine);
    std::string error = "stale";
    EXPECT_TRUE(driver.AreSilentParametersValid(error));
    EXPECT_EQ(error, "");
    EXPECT_FALSE(driver.Run());

    DeploymentFileDataStore store;
    EXPECT_FALSE(driver.LoadDeploymentFile(store)) << "no command line yet";
    engine.ProcessArgumentVector({"Setup", "--mode=silent"});
    EXPECT_FALSE(driver.LoadDeploymentFile(store)) << "no deployment file named";
    engine.ProcessArgumentVector({"Setup", "--deploymentFile=" + sysroot_.Scratch() + "/missing.xml"});
    EXPECT_FALSE(driver.LoadDeploymentFile(store));

    const std::string path = sysroot_.Scratch() + "/Sketch.install.xml";
    ASSERT_TRUE(Write(path, {{"INSTALLDIR", "/Applications/Sketch"}}, {{"{A}", "install"}}));
    engine.ProcessArgumentVector({"Setup", "--deploymentFile=" + path});
    ASSERT_TRUE(driver.LoadDeploymentFile(store));
    Properties properties;
    Actions actions;
    Read(store, properties, actions);
    EXPECT_EQ(properties, (Properties{{"INSTALLDIR", "/Applications/Sketch"}}));
    EXPECT_EQ(actions, (Actions{{"{A}", "install"}}));
}

}  // namespace
