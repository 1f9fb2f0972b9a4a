// Payloads of other makers: an application run through the CFM launcher and judged by its
// success ranges, a "tolk1" payload run by the command engine, the component's scripts, and
// repairs and uninstalls that only some package types support.
#include "Common/source/mac/TQInitManager.h"
#include "Sorvel/source/xplat/InstallThirdPartyPayloadOperation.h"
#include "Sorvel/source/xplat/LocalFileSourceProvider.h"
#include "Sorvel/source/xplat/ModifyInstalledThirdPartyPayloadOperation.h"
#include "Sorvel/source/xplat/ThirdPartyPayloadSupportUtilites.h"

#include "PayloadOperationFixture.h"
#include "tests/support/PayloadImages.h"

#include <sys/stat.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::Contains;
using tolktest::Rows;

namespace {

typedef InstallThirdPartyPayloadOperation<LocalFileSourceProvider> Install;
typedef std::map<std::string, std::string> Map;

const std::string kViewer = "{7A1D0000-0000-4000-8000-000000000001}";

// A ThirdPartyComponent element; metadata and the rest are inserted as given.
std::string Component(const std::string& metadata, const std::string& rest)
{
    return "<ThirdPartyComponent><Metadata>" + metadata + "</Metadata>" + rest + "</ThirdPartyComponent>";
}

class ThirdPartyPayloadsTest : public tolktest::PayloadOperationTest {
protected:
    // payloads/<folder> with the component in its proxy; answers the payload's path.
    std::string AddThirdParty(const std::string& folder, const std::string& code, const std::string& component)
    {
        AddProxy(folder, tolktest::ProxyXml(code, folder, "1.0", component));
        return medium_ + "/payloads/" + folder + "/" + folder + ".dmg";
    }
    // The application: a program that leaves a mark and ends with the code.
    void WriteApplication(const std::string& path, int exitCode)
    {
        tolktest::WriteTextFile(path, "#!/bin/sh\necho ran >> '" + Marker() + "'\nexit " + std::to_string(exitCode) + "\n");
        chmod(path.c_str(), 0755);
    }
    std::string Marker() const { return sysroot_.Scratch() + "/ran"; }

    boost::shared_ptr<ThreadOperation> InstallOperation(const std::string& code, const Map& properties)
    {
        boost::shared_ptr<PayloadAccessor> accessor = Accessor(code);
        return boost::shared_ptr<ThreadOperation>(new Install(accessor, Session()->GetSessionKey(), FileSystemPath(medium_),
                                                              LocalFileSourceProvider(accessor->mediaSource.GetPath()),
                                                              properties, &Engine()));
    }
    boost::shared_ptr<ThreadOperation> Modify(const std::string& code, PayloadOperationConstants::InstallAction action,
                                              const std::string& sourcePath = "")
    {
        PayloadProxy::ThirdPartyComponent component = Accessor(code)->proxyDataStore->ThirdPartyComponentData();
        return boost::shared_ptr<ThreadOperation>(new ModifyInstalledThirdPartyPayloadOperation(
            code, Session()->GetSessionKey(), action, sourcePath, component, &Engine()));
    }

    TQInitManager scripting_;
};

}  // namespace

TEST_F(ThirdPartyPayloadsTest, ApplicationExitCodeIsJudgedBySuccessRanges)
{
    const std::string application = AddThirdParty(
        "Viewer", kViewer,
        Component("<Type>cfmApplication</Type><Name>Viewer</Name>",
                  "<SuccessCodes><Install><Range lowerBound=\"0\" upperBound=\"0\"/>"
                  "<Range lowerBound=\"3\" upperBound=\"3\"/></Install></SuccessCodes>"
                  "<Capabilities><Install><Value lang=\"en_US\">Restart to finish.</Value></Install></Capabilities>"));
    const std::string key = Session()->GetSessionKey();
    AddCollection(key);
    tolktest::RecordToolCalls(sysroot_);
    const Map properties = {{"sessionID", key}, {"mediaPath", application}, {"unstored", "x"}};

    WriteApplication(application, 1);
    boost::shared_ptr<ThreadOperation> failing = InstallOperation(kViewer, properties);
    ThreadPayloadOperationState state = Run(failing);
    EXPECT_EQ(failing->GetOperationResult(), 1);
    EXPECT_EQ(state.statusMessage.Code(), 2);
    EXPECT_TRUE(Links().empty());

    WriteApplication(application, 3);
    boost::shared_ptr<ThreadOperation> passing = InstallOperation(kViewer, properties);
    state = Run(passing);
    EXPECT_EQ(passing->GetOperationResult(), 0);
    EXPECT_EQ(state.statusMessage.Code(), 7);
    EXPECT_EQ(state.statusMessage.Arguments(), (Map{{"en_US", "Restart to finish."}}));
    EXPECT_EQ(Links(), Rows{key + " " + kViewer + " 2"});
    EXPECT_EQ(Query("SELECT key, value FROM payload_data WHERE domain = 5 ORDER BY 1", 2),
              (Rows{"mediaPath " + application, "sessionID " + key}));

    EXPECT_EQ(tolktest::ReadTextFile(Marker()), "ran\nran\n");
    const std::vector<std::vector<std::string> > calls = tolktest::RecordedToolCalls(sysroot_);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1], (std::vector<std::string>{
                            sysroot_.Path("/System/Library/Frameworks/Carbon.framework/Versions/A/Support/LaunchCFMApp"),
                            application}));
}

TEST_F(ThirdPartyPayloadsTest, InstalledPayloadIsOnlyRecordedAndOtherTypesAreRefused)
{
    const std::string application = AddThirdParty(
        "Viewer", kViewer,
        Component("<Type>cfmApplication</Type><NameScript>'Vie' + 'wer'</NameScript>"
                  "<IsInstalledScript>1 + 1</IsInstalledScript>", ""));
    for (const char* type : {"applePackage", "application", "msiPackage"})
        AddThirdParty(type, std::string("{") + type + "}", Component(std::string("<Type>") + type + "</Type><Name>x</Name>", ""));
    const std::string key = Session()->GetSessionKey();
    AddCollection(key);
    WriteApplication(application, 0);

    boost::shared_ptr<ThreadOperation> installed = InstallOperation(kViewer, {});
    EXPECT_EQ(Run(installed).statusMessage.Code(), 0);
    EXPECT_FALSE(Exists(Marker()));
    EXPECT_EQ(Links(), Rows{key + " " + kViewer + " 2"});

    for (const char* type : {"applePackage", "application", "msiPackage"}) {
        const ThreadPayloadOperationState state = Run(InstallOperation(std::string("{") + type + "}", {}));
        EXPECT_EQ(state.statusMessage.Code(), 2);
        EXPECT_THAT(state.errorTexts, Contains(std::string("Unsupported payload type provided to InstallThirdPartyPayload: ") + type));
    }
}

TEST_F(ThirdPartyPayloadsTest, OnlyTolk1PayloadsAreRepairedOrUninstalledPhysically)
{
    const std::string application = AddThirdParty(
        "Viewer", kViewer,
        Component("<Type>cfmApplication</Type><Name>Viewer</Name>",
                  "<Capabilities><Repair isRepairable=\"1\"/><Uninstall isUninstallable=\"0\">"
                  "<Value lang=\"en_US\">Drag it to the bin.</Value></Uninstall></Capabilities>"));
    const std::string key = Session()->GetSessionKey();
    AddCollection(key);
    WriteApplication(application, 0);
    ASSERT_EQ(Run(InstallOperation(kViewer, {{"sessionID", key}})).statusMessage.Code(), 0);

    // No source, and no medium recorded.
    ThreadPayloadOperationState state = Run(Modify(kViewer, PayloadOperationConstants::kRepair));
    EXPECT_EQ(state.statusMessage.Code(), 6);
    EXPECT_EQ(state.statusMessage.Arguments(), (Map{{"mediaPath", ""}}));

    state = Run(Modify(kViewer, PayloadOperationConstants::kRepair, application));
    EXPECT_EQ(state.statusMessage.Code(), 2);
    EXPECT_THAT(state.errorTexts,
                Contains("Attempt made to repair third party payload type that doesn't support repair, failing."));

    // An uninstall the payload does not support only changes the records.
    state = Run(Modify(kViewer, PayloadOperationConstants::kUninstall));
    EXPECT_EQ(state.statusMessage.Code(), 7);
    EXPECT_EQ(state.statusMessage.Arguments(), (Map{{"en_US", "Drag it to the bin."}}));
    EXPECT_TRUE(Links().empty());
    EXPECT_TRUE(Exists(application));
}

TEST_F(ThirdPartyPayloadsTest, Tolk1PayloadRunsThroughTheCommandEngine)
{
    const std::string target = sysroot_.Path("/Applications/Plugin");
    const std::string image =
        AddThirdParty("Plugin", kViewer,
                      Component("<Type>tolk1</Type><Name>Plugin</Name>",
                                "<Capabilities><Uninstall isUninstallable=\"1\"/></Capabilities>"));
    WriteCommandImage(image, kViewer,
                      "if (QENGetProperty('THIRD_PARTY_TOLK') != '1') throw new Error('not third party');\n"
                      "if (!QENCreateDirectory('" + target + "')) throw new Error('no folder');\n"
                      "QENAddToUninstallScript(\"QENDeleteDirectory('" + target + "');\");\n");
    const std::string key = Session()->GetSessionKey();
    AddCollection(key);

    ThreadPayloadOperationState state = Run(InstallOperation(kViewer, {{"sessionID", key}}));
    EXPECT_EQ(state.statusMessage.Code(), 0);
    EXPECT_TRUE(Exists(target));
    EXPECT_EQ(Links(), Rows{key + " " + kViewer + " 2"});

    state = Run(Modify(kViewer, PayloadOperationConstants::kUninstall));
    EXPECT_EQ(state.statusMessage.Code(), 0);
    EXPECT_FALSE(Exists(target));
    EXPECT_TRUE(Links().empty());
}

TEST_F(ThirdPartyPayloadsTest, ExitCodesRangesAndArguments)
{
    using namespace ThirdPartyPayloadSupportUtilites;
    PayloadOperationConstants::OperationResult result = PayloadOperationConstants::kFailed;
    unsigned long code = 5;
    EXPECT_TRUE(InterpretThirdPartyExitCode(code, {}, "tolk1", {}, result));
    EXPECT_EQ(result, 5);
    EXPECT_FALSE(PayloadOperationConstants::CountsAsSuccess(3));
    code = 8;
    EXPECT_FALSE(InterpretThirdPartyExitCode(code, {}, "tolk1", {}, result));
    const SuccessRanges ranges = {{0, 0}, {3010, 3011}};
    for (unsigned long exit : {0ul, 3010ul, 3011ul})
        EXPECT_TRUE(InterpretThirdPartyExitCode(exit, ranges, "cfmApplication", {}, result)) << exit;
    code = 1;
    EXPECT_FALSE(InterpretThirdPartyExitCode(code, ranges, "cfmApplication", {}, result));
    EXPECT_TRUE(InterpretThirdPartyExitCode(code, {}, "cfmApplication", {}, result));
    EXPECT_EQ(result, 0);

    // A backwards range leaves no ranges at all.
    AddThirdParty("Viewer", kViewer,
                  Component("<Type>cfmApplication</Type>",
                            "<Arguments delimiter=\"=\"><Install><Argument name=\"dir\">--dir [payloadDir]/$1</Argument>"
                            "</Install></Arguments><SuccessCodes><Repair><Range lowerBound=\"0\" upperBound=\"0\"/>"
                            "<Range lowerBound=\"5\" upperBound=\"4\"/></Repair></SuccessCodes>"));
    PayloadProxy::ThirdPartyComponent component = Accessor(kViewer)->proxyDataStore->ThirdPartyComponentData();
    SuccessRanges read = {{1, 1}};
    EXPECT_FALSE(GetOperationSuccessRanges(component, PayloadOperationConstants::kRepair, read));
    EXPECT_TRUE(read.empty());

    std::string prefix = "x", delimiter;
    Map arguments;
    ASSERT_TRUE(GetOperationArguments(component, PayloadOperationConstants::kInstall, prefix, delimiter, arguments));
    EXPECT_EQ(prefix + "|" + delimiter, "|=");
    ASSERT_TRUE(ExpandArgumentValues({{"payloadDir", "/Vol\\ume/[payloadDir]"}}, arguments));
    EXPECT_EQ(arguments, (Map{{"dir", "--dir /Vol\\ume/[payloadDir]/$1"}}));
}
