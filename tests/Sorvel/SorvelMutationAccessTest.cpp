// The mutation-access publisher over a medium with a command payload: operations started with and
// without waiting, the install thread's refusals and questions, collection properties, database
// simulations, the two locks and deployment files.
#include "Sorvel/source/xplat/InstallerEngine.h"
#include "Sorvel/source/xplat/SorvelDataAccess.h"
#include "Sorvel/source/xplat/TolkMessage.h"
#include "Sorvel/source/xplat/UserInterfaceMessagePrompt.h"

#include "FakeThreadOperation.h"
#include "MutationAccessFixture.h"

#include "platform/RunLoop.h"

#include <gtest/gtest.h>

#include <atomic>

using tolktest::Rows;

namespace {

const std::string kSuccess = "{ \"success\": 1 }";

typedef tolktest::MutationAccessTest SorvelMutationAccessTest;

}  // namespace

TEST_F(SorvelMutationAccessTest, InstallPayloadAnswersAtOnceOrOnceTheThreadHasStopped)
{
    EXPECT_EQ(Call("InstallPayload", {kCode, "install", PageProperties()}), "{\"success\":\"1\"}");
    WaitForStatus();
    EXPECT_TRUE(Exists(target_));
    EXPECT_EQ(Links(), Rows{key_ + " " + kCode + " 2"});
    EXPECT_EQ(Call("GetInstallStatus"),
              "{\"isRunning\":\"0\",\"percentComplete\":\"100\",\"message\":{\"code\":\"0\",\"args\":{}}}");

    // Waiting: the answer comes after the repair has run and carries its final status.
    EXPECT_EQ(Call("InstallPayload", {kCode, "repair", "de", "1"}),
              "{\"success\":\"1\",\"message\":{\"code\":\"0\",\"args\":{}}}");
    EXPECT_TRUE(Exists(target_ + " Repaired"));
}

TEST_F(SorvelMutationAccessTest, AWaitServesTheRunLoopAndAnswersTheThreadsQuestionsWithZero)
{
    // The payload holds its first command back until the file appears; the task that writes it
    // can only run while the waiting call serves this thread's run loop. It also asks the run
    // to cancel, so the install thread puts its cancel question, which nobody but the wait sees.
    const std::string go = sysroot_.Scratch() + "/go";
    WriteCommandImage(medium_ + "/payloads/Sketch/Sketch.dmg", kCode, Instructions(target_, go));
    platform::RunLoop::Current().Post([this, go]() {
        Engine().PostThreadMessage(TolkMessages::kCancelRequest);
        tolktest::WriteTextFile(go, "");
    });
    // Response 0 is no answer the question offers: the run is cancelled.
    EXPECT_EQ(Call("InstallPayload", {kCode, "install", PageProperties(), "1"}),
              "{\"success\":\"1\",\"message\":{\"code\":\"1\",\"args\":{}}}");
    EXPECT_FALSE(Exists(target_));
    EXPECT_TRUE(Links().empty());
}

TEST_F(SorvelMutationAccessTest, WhileAThreadRunsOperationsAreRefusedAndItsQuestionRelayed)
{
    std::atomic<unsigned long> response{99};
    const tolktest::FakeThreadOperation::Body ask = [&response](tolktest::FakeThreadOperation&,
                                                                UIThreadOperationManager& manager) {
        UserInterfaceMessagePrompt question(7, TolkUIRequest::kResponseYes | TolkUIRequest::kResponseNo,
                                            TolkUIRequest::kIndicatorDefault, "Sketch");
        manager.CallFromUIThreadContext(&question);
        response = question.GetUserResponseOption();
        return 0;
    };
    boost::shared_ptr<ThreadOperation> asking(new tolktest::FakeThreadOperation(ask));
    ASSERT_TRUE(Engine().InstallPayload(asking));

    std::string peeked = "{}";
    ASSERT_TRUE(tolktest::WaitUntil([&]() { return (peeked = Call("PeekInstallThreadMessage")) != "{}"; }));
    bool waiting = false;
    std::string id, json;
    ASSERT_TRUE(Engine().PeekInstallThreadMessage(waiting, id, json));
    EXPECT_EQ(peeked, "{\"messageID\": \"" + id + "\",\"data\":" + json + "}");

    EXPECT_EQ(Call("InstallPayload", {kCode, "install"}), "{\"_error\":\"18\"}");
    EXPECT_EQ(Call("InstallBootstrapper", {"install", "de"}), "{\"_error\":\"18\"}");
    EXPECT_EQ(Call("PostInstallThreadMessageResult", {"0123", "1"}), "{\"_error\":\"9999\"}");
    EXPECT_EQ(Call("PostInstallThreadMessageResult", {id, "2"}), "{}");
    WaitForStatus();
    EXPECT_EQ(response, 2u);
    EXPECT_EQ(Call("PeekInstallThreadMessage"), "{}");
    EXPECT_EQ(Call("PostInstallThreadMessage", {"0"}), "{\"_error\":\"9999\"}");
}

TEST_F(SorvelMutationAccessTest, CollectionPropertiesAreStoredOnceThenOnlyTheMutableOnesChange)
{
    {
        CAPSSessionPtr session;
        ASSERT_TRUE(session.Open());
        ASSERT_EQ(capsSetCollectionData(session, key_.c_str(), kCapsDomainProperties, "stale", "1"), kCapsOK);
    }
    EXPECT_EQ(Call("StoreCollectionProperties", {key_, Bencoded({{"INSTALLDIR", "/A"}, {"removeUserPrefs", "0"}})}),
              kSuccess);
    EXPECT_EQ(CollectionData(key_), (Rows{"INSTALLDIR /A", "_collectionPropertiesSet_ 1", "removeUserPrefs 0"}));

    EXPECT_EQ(Call("StoreCollectionProperties", {key_, Bencoded({{"INSTALLDIR", "/B"}, {"removeUserPrefs", "1"}})}),
              kSuccess);
    EXPECT_EQ(CollectionData(key_), (Rows{"INSTALLDIR /A", "_collectionPropertiesSet_ 1", "removeUserPrefs 1"}));

    // While the engine configures its bootstrapper only an explicit override stores.
    Engine().bootstrapping_ = true;
    EXPECT_EQ(Call("StoreCollectionProperties", {key_, Bencoded({{"removeUserPrefs", "0"}})}), kSuccess);
    EXPECT_EQ(CollectionData(key_), (Rows{"INSTALLDIR /A", "_collectionPropertiesSet_ 1", "removeUserPrefs 1"}));
    EXPECT_EQ(Call("StoreCollectionProperties", {key_, Bencoded({{"removeUserPrefs", "0"}}), "1"}), kSuccess);
    EXPECT_EQ(CollectionData(key_), (Rows{"INSTALLDIR /A", "_collectionPropertiesSet_ 1", "removeUserPrefs 0"}));
}

TEST_F(SorvelMutationAccessTest, SimulationsSeeEachOtherAndNeverReachTheDatabase)
{
    EXPECT_EQ(Call("SimulateInstallPayload", {kCode, "install"}), "{\"_error\":\"20\"}");
    EXPECT_EQ(Call("OpenCAPSSimulation"), kSuccess);
    EXPECT_EQ(Call("OpenCAPSSimulation"), "{\"_error\":\"20\"}");

    const std::string none = "\"simulationResults\":{\"conflicting\":[],\"upgraded\":[],\"corrupted\":[]}";
    EXPECT_EQ(Call("SimulateInstallPayload", {kCode, "install", PageProperties(), "1"}),
              "{\"message\":{\"code\":\"0\"," + none + "}}");
    // The second install meets the first one's bookkeeping.
    EXPECT_EQ(Call("SimulateInstallPayload", {kOther, "install"}),
              std::string("{\"message\":{\"code\":\"3\",\"simulationResults\":{\"conflicting\":[\"") + kCode +
                  "\"],\"upgraded\":[],\"corrupted\":[]}}}");
    // Real operations are refused at once while a simulation is open: its records would make the
    // payload look installed already.
    EXPECT_EQ(Call("InstallPayload", {kCode, "install", PageProperties(), "1"}), "{\"_error\":\"20\"}");
    EXPECT_EQ(Call("InstallBootstrapper", {"install", "de", "1"}), "{\"_error\":\"20\"}");
    EXPECT_EQ(Call("CloseCAPSSimulation"), kSuccess);
    EXPECT_EQ(Call("CloseCAPSSimulation"), "{\"_error\":\"20\"}");
    EXPECT_TRUE(Links().empty());
    EXPECT_EQ(Call("InstallPayload", {kCode, "install", PageProperties(), "1"}),
              "{\"success\":\"1\",\"message\":{\"code\":\"0\",\"args\":{}}}");
    EXPECT_TRUE(Exists(target_));
    EXPECT_EQ(Links(), Rows{key_ + " " + kCode + " 2"});

    // A publisher that goes with a simulation open rolls it back.
    EXPECT_EQ(Call("OpenCAPSSimulation"), kSuccess);
    EXPECT_EQ(Call("SimulateInstallPayload", {kOther, "install"}),
              std::string("{\"message\":{\"code\":\"3\",\"simulationResults\":{\"conflicting\":[\"") + kCode +
                  "\"],\"upgraded\":[],\"corrupted\":[]}}}");
    publisher_.reset();
    EXPECT_EQ(Links(), Rows{key_ + " " + kCode + " 2"});
}

TEST_F(SorvelMutationAccessTest, LocksAreHeldUntilThePublisherGoes)
{
    EXPECT_EQ(Call("IsSetupLocked"), "{\"isLocked\":\"0\"}");
    EXPECT_EQ(Call("AcquireSetupLock"), kSuccess);
    EXPECT_EQ(Call("AcquireSetupLock"), "{\"_error\":\"9999\"}");
    EXPECT_EQ(Call("IsSetupLocked"), "{\"isLocked\":\"1\"}");
    EXPECT_EQ(Call("IsBootstrapperLocked"), "{\"isLocked\":\"0\"}");

    SorvelMutationAccess other(&Engine(), nullptr);
    EXPECT_EQ(Call(other, "AcquireSetupLock", {}), "{\"_error\":\"9999\"}");
    EXPECT_EQ(Call(other, "AcquireBootstrapperLock", {}), kSuccess);
    EXPECT_EQ(Call("IsBootstrapperLocked"), "{\"isLocked\":\"1\"}");
    publisher_.reset();
    EXPECT_EQ(Call(other, "AcquireSetupLock", {}), kSuccess);
}

TEST_F(SorvelMutationAccessTest, DeploymentFilesReadBackAsAnUnattendedRunSeesThem)
{
    const std::string folder = sysroot_.Scratch();
    const std::string properties = Bencoded({{"productName", "Sketch"},
                                             {"INSTALLDIR", "/Applications/Sketch \"2\""},
                                             {"removeUserPrefs", ""},
                                             {"comment", "not a payload property"}});
    const std::string actions = Bencoded({{kCode, "whatever"}, {kOther, ""}});
    EXPECT_EQ(Call("SaveDeploymentFiles", {folder, properties, actions}),
              "{\"installFile\":\"" + folder + "/Sketch.install.xml\",\"removeFile\":\"" + folder +
                  "/Sketch.remove.xml\"}");

    const std::map<std::string, std::string> expected = {
        {"install", "{\"DeploymentData\":{\"Properties\":{\"INSTALLDIR\":\"/Applications/Sketch \\\"2\\\"\"},"},
        {"remove", "{\"DeploymentData\":{\"Properties\":{},"}};
    for (const auto& file : expected) {
        InstallerEngine reader{FileSystemPath(medium_)};
        reader.ProcessArgumentVector({"--deploymentFile=" + folder + "/Sketch." + file.first + ".xml"});
        SorvelDataAccess access(&reader, nullptr);
        std::string answer;
        ASSERT_TRUE(access.InvokeMethodByName("GetCommandLineArguments", {}, answer));
        EXPECT_EQ(answer, file.second + "\"PayloadActions\":[{\"orvexCode\":\"" + kCode + "\",\"action\":\"" +
                              file.first + "\"},{\"orvexCode\":\"" + kOther + "\",\"action\":\"" + file.first +
                              "\"}]},\"Properties\":{}}");
    }
}
