// The engine's services: the payload session it acquires, one operation at a time on the install
// thread, its status, the message relay to the request manager, and media optimisation.
#include "Common/source/mac/FileSystemUtilsMac.h"
#include "Shared/TolkConstants.h"
#include "Sorvel/source/xplat/InstallerEngine.h"
#include "Sorvel/source/xplat/PayloadAccessor.h"
#include "Sorvel/source/xplat/PayloadSessionManager.h"
#include "Sorvel/source/xplat/ThreadPayloadOperationState.h"
#include "Sorvel/source/xplat/UIThreadOperationManager.h"
#include "caps/caps.h"
#include "caps/capsiHooks.h"

#include "FakeThreadOperation.h"
#include "PayloadFileFixture.h"
#include "PayloadMediumFixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::HasSubstr;
using tolktest::FakeThreadOperation;
using tolktest::Gate;
using tolktest::ProxyXml;
using tolktest::ReadTextFile;
using tolktest::WaitUntilFinished;

namespace {

const std::string kExampleCode = "{EAA9F4CF-E360-4950-BA50-519B03622F12}";
const std::string kExampleKey = "a42658624434a65da803d2b23b4e8d0";

class InstallerEngineServicesTest : public tolktest::PayloadMediumTest {
protected:
    // An engine with the request queue its main routine would have made.
    void GiveManager(InstallerEngine& engine)
    {
        manager_.reset(new UIThreadOperationManager(nullptr));
        engine.SetUIThreadOperationManagerForTesting(manager_);
    }
    static FileSystemPath ExampleMedium() { return FileSystemPath(tolktest::ExamplePayloadsFolder()).Parent(); }

    boost::shared_ptr<UIThreadOperationManager> manager_;
};

// Asks the user one question through the request manager and keeps the answer. Like the
// command-payload glue, it tells its thread which request it waits on, so an abort can free it.
int AskQuestion(FakeThreadOperation& operation, UIThreadOperationManager& manager, std::atomic<int>& answered,
                std::atomic<unsigned>& option)
{
    UserInterfaceMessagePrompt question(3, TolkUIRequest::kResponseYes | TolkUIRequest::kResponseNo,
                                        TolkUIRequest::kIndicatorDefault, "disk");
    operation.GetOwningThread()->SetPendingUICall(&question);
    answered = manager.CallFromUIThreadContext(&question) ? 1 : 0;
    option = question.GetUserResponseOption();
    return 0;
}

}  // namespace

TEST_F(InstallerEngineServicesTest, OneOperationAtATime)
{
    InstallerEngine engine((FileSystemPath(medium_)));
    bool running = true;
    ThreadPayloadOperationState state;
    state.percentComplete = 55;
    EXPECT_FALSE(engine.GetInstallThreadStatus(running, state));
    EXPECT_TRUE(running);
    EXPECT_EQ(state.percentComplete, 55u);
    EXPECT_FALSE(engine.PostThreadMessage(0));

    // Without the request queue nothing starts, and the caller keeps the operation.
    Gate release;
    boost::shared_ptr<FakeThreadOperation> first(
        new FakeThreadOperation([&](FakeThreadOperation&, UIThreadOperationManager&) {
            release.Wait();
            return 0;
        }));
    boost::shared_ptr<ThreadOperation> handed(first);
    engine.bootstrapping_ = true;
    EXPECT_FALSE(engine.InstallPayload(handed));
    EXPECT_FALSE(engine.bootstrapping_);
    EXPECT_TRUE(handed);

    GiveManager(engine);
    ASSERT_TRUE(engine.InstallPayload(handed));
    EXPECT_FALSE(handed);
    ASSERT_TRUE(engine.GetInstallThreadStatus(running, state));
    EXPECT_TRUE(running);

    // A second operation is refused while the first runs, and the first is left alone.
    boost::shared_ptr<FakeThreadOperation> second(new FakeThreadOperation);
    boost::shared_ptr<ThreadOperation> secondHanded(second);
    EXPECT_FALSE(engine.InstallPayload(secondHanded));
    EXPECT_TRUE(secondHanded);
    EXPECT_TRUE(engine.PostThreadMessage(-1));
    ASSERT_TRUE(engine.GetInstallThreadStatus(running, state));
    EXPECT_TRUE(running);

    release.Open();
    WaitUntilFinished(engine);
    ASSERT_TRUE(engine.GetInstallThreadStatus(running, state));
    EXPECT_FALSE(running);
    EXPECT_EQ(state.percentComplete, 100u);
    EXPECT_EQ(first->calls, 1);
    EXPECT_FALSE(engine.PostThreadMessage(0));

    // Once it has ended the next one starts.
    EXPECT_TRUE(engine.InstallPayload(secondHanded));
    WaitUntilFinished(engine);
    EXPECT_EQ(second->calls, 1);
    boost::shared_ptr<ThreadOperation> none;
    EXPECT_FALSE(engine.InstallPayload(none));

    // A thread the system refuses is no started operation.
    TolkThreadTesting::FailNextThreadStart();
    boost::shared_ptr<FakeThreadOperation> refused(new FakeThreadOperation);
    boost::shared_ptr<ThreadOperation> refusedHanded(refused);
    EXPECT_FALSE(engine.InstallPayload(refusedHanded));
    ASSERT_TRUE(engine.GetInstallThreadStatus(running, state));
    EXPECT_FALSE(running);
    EXPECT_EQ(refused->calls, 0);
}

TEST_F(InstallerEngineServicesTest, QuestionsAreRelayedThroughTheRequestManager)
{
    InstallerEngine engine((FileSystemPath(medium_)));
    bool waiting = true;
    std::string id = "id";
    std::string json = "json";
    // Without a request queue there is nothing to ask or answer.
    EXPECT_TRUE(engine.PeekInstallThreadMessage(waiting, id, json));
    EXPECT_TRUE(waiting);
    EXPECT_EQ(id, "id");
    EXPECT_TRUE(engine.PostInstallThreadMessageResult("id", 1));

    GiveManager(engine);
    EXPECT_TRUE(engine.PeekInstallThreadMessage(waiting, id, json));
    EXPECT_FALSE(waiting);

    std::atomic<int> answered{-1};
    std::atomic<unsigned> option{0};
    boost::shared_ptr<ThreadOperation> operation(new FakeThreadOperation(
        [&](FakeThreadOperation& op, UIThreadOperationManager& manager) {
            return AskQuestion(op, manager, answered, option);
        }));
    ASSERT_TRUE(engine.InstallPayload(operation));
    ASSERT_TRUE(tolktest::WaitForQuestion(engine, id, json));
    EXPECT_THAT(json, HasSubstr("\"statusCode\":\"3\""));
    EXPECT_THAT(json, HasSubstr("disk"));
    EXPECT_EQ(id.size(), 31u);

    EXPECT_FALSE(engine.PostInstallThreadMessageResult("0123456789abcdef0123456789abcde", 1));
    EXPECT_TRUE(engine.PostInstallThreadMessageResult(id, TolkUIRequest::kResponseNo));
    WaitUntilFinished(engine);
    EXPECT_EQ(answered, 1);
    EXPECT_EQ(option, static_cast<unsigned>(TolkUIRequest::kResponseNo));
    EXPECT_TRUE(engine.PeekInstallThreadMessage(waiting, id, json));
    EXPECT_FALSE(waiting);
}

TEST_F(InstallerEngineServicesTest, EngineWaitsForItsOperationBeforeItGoes)
{
    std::atomic<int> answered{-1};
    std::atomic<unsigned> option{0};
    {
        InstallerEngine engine((FileSystemPath(medium_)));
        GiveManager(engine);
        boost::shared_ptr<ThreadOperation> operation(new FakeThreadOperation(
            [&](FakeThreadOperation& op, UIThreadOperationManager& manager) {
            return AskQuestion(op, manager, answered, option);
        }));
        ASSERT_TRUE(engine.InstallPayload(operation));
        std::string id;
        std::string json;
        ASSERT_TRUE(tolktest::WaitForQuestion(engine, id, json));
        manager_.reset();
    }
    // The question was withdrawn unanswered and the operation ended before the engine went.
    EXPECT_EQ(answered, 0);
}

TEST_F(InstallerEngineServicesTest, EngineGoingAwayServesItsOperationsWorkOnTheMainThread)
{
    // An application registration asks the main thread to refresh the Finder and waits for it;
    // the engine, going away on the main thread meanwhile, must keep serving it.
    const std::string application = sysroot_.Path("/Applications/Sample.app");
    tolktest::MakeFolders(application + "/Contents/MacOS");
    Gate started;
    std::atomic<int> registered{-1};
    {
        InstallerEngine engine((FileSystemPath(medium_)));
        GiveManager(engine);
        boost::shared_ptr<ThreadOperation> operation(
            new FakeThreadOperation([&](FakeThreadOperation&, UIThreadOperationManager&) {
                started.Open();
                registered = FileSystemUtilsMac::RegisterApplication(FileSystemPath(application)) ? 1 : 0;
                return 0;
            }));
        ASSERT_TRUE(engine.InstallPayload(operation));
        started.Wait();
    }
    EXPECT_NE(registered, -1);
}

TEST_F(InstallerEngineServicesTest, SessionOfTheExampleMedium)
{
    InstallerEngine engine(ExampleMedium());
    boost::shared_ptr<PayloadSessionManager> session = engine.GetPayloadSessionManager();
    ASSERT_TRUE(session);
    EXPECT_EQ(engine.GetPayloadSessionManager(), session);
    EXPECT_EQ(session->GetSessionKey(), kExampleKey);
    // The payloads point at the installation source: the installer parent.
    boost::shared_ptr<PayloadAccessor> accessor = session->GetPayloadAccessorForOrvexCode(kExampleCode);
    ASSERT_TRUE(accessor);
    EXPECT_EQ(accessor->mediaSource.GetPath().AsUTF8String(),
              tolktest::ExamplePayloadsFolder() + "/OrvexSketchbook/OrvexSketchbook.dmg");
    EXPECT_THAT(ReadTextFile(LogFolder() + "/Orvex Sketchbook 2.0.log"),
                HasSubstr("Updated source path: " + ExampleMedium().AsUTF8String()));
}

TEST_F(InstallerEngineServicesTest, RecordedSourcePathOfTheCollection)
{
    capsiSetRunningAsRootForTesting(1);
    capsiSession* database = nullptr;
    ASSERT_EQ(kCapsOK, capsOpenSession(&database));
    capsiSetRunningAsRootForTesting(-1);
    ASSERT_EQ(kCapsOK, capsAddCollection(database, kExampleKey.c_str(), kExampleCode.c_str()));
    ASSERT_EQ(kCapsOK, capsSetCollectionData(database, kExampleKey.c_str(), kCapsDomainInstaller, "installSourcePath",
                                             sysroot_.Scratch().c_str()));
    ASSERT_EQ(kCapsOK, capsCloseSession(database));

    InstallerEngine engine(ExampleMedium());
    boost::shared_ptr<PayloadSessionManager> session = engine.GetPayloadSessionManager();
    ASSERT_TRUE(session);
    EXPECT_EQ(session->GetPayloadAccessorForOrvexCode(kExampleCode)->mediaSource.GetPath().AsUTF8String(),
              sysroot_.Scratch() + "/payloads/OrvexSketchbook/OrvexSketchbook.dmg");
}

TEST_F(InstallerEngineServicesTest, SilentModeTakesFullProxyFilesOnly)
{
    AddProxy("Boot", ProxyXml("{B}"), "Boot.boot.xml");
    AddProxy("Full", ProxyXml("{F}"));
    InstallerEngine engine((FileSystemPath(medium_)));
    ASSERT_TRUE(engine.ProcessArgumentVector({"Setup", "--mode=silent"}));
    boost::shared_ptr<PayloadSessionManager> session = engine.GetPayloadSessionManager();
    ASSERT_TRUE(session);
    EXPECT_EQ(session->GetSessionOrvexCodes(), std::vector<std::string>{"{F}"});

}

TEST_F(InstallerEngineServicesTest, BootstrapperParametersOfTheExampleMedium)
{
    InstallerEngine engine(ExampleMedium());
    ASSERT_TRUE(engine.ProcessArgumentVector({"Setup", "--record=/tmp/answers.xml"}));
    InstallerEngine::StringMap params;
    params["stale"] = "x";
    ASSERT_TRUE(engine.GetBootstrapperInstallParams(params));
    EXPECT_EQ(params.count("stale"), 0u);
    EXPECT_EQ(params.at("ConfiguringBootstrapper"), "1");
    EXPECT_EQ(params.at("INSTALLDIR"),
              sysroot_.Path("/Library/Application Support/Orvex/Installers/" + kExampleKey));
    EXPECT_EQ(params.at("record"), "/tmp/answers.xml");
    EXPECT_EQ(params.at("AddRemoveInfoDisplayName"), "Orvex Sketchbook");
    EXPECT_EQ(params.at("AddRemoveInfoDisplayVersion"), "2.0");
    EXPECT_EQ(params.at("suppressUninstaller"), "0");
    EXPECT_EQ(params.at("driverOrvexCode"), kExampleCode);
    EXPECT_EQ(params.at("productName"), "Orvex Sketchbook");
    // The session's default properties come first.
    EXPECT_EQ(params.at("sessionID"), kExampleKey);
    EXPECT_EQ(params.at("setupVersion"), "2.0.0.0");
    EXPECT_EQ(params.at("platform"), "OSX");
}

TEST_F(InstallerEngineServicesTest, MediaOptimization)
{
    InstallerEngine engine(ExampleMedium());
    EXPECT_EQ(engine.DoMediaOptimizationWorkflow(), 0);
    const std::string log = ReadTextFile(LogFolder() + "/Orvex Sketchbook 2.0.log");
    EXPECT_THAT(log, HasSubstr("Optimizing for media"));
    EXPECT_THAT(log, HasSubstr("Media optimization not necessary on OSX"));
    PayloadSessionManager::Release();

    AddProxy("A", "<PayloadInfo>broken");
    InstallerEngine broken((FileSystemPath(medium_)));
    EXPECT_EQ(broken.DoMediaOptimizationWorkflow(), 13);
    EXPECT_THAT(ReadTextFile(LogFolder() + "/Orvex Setup Errors.log"),
                HasSubstr("Unable to initialize payload session for media optimization"));
}
