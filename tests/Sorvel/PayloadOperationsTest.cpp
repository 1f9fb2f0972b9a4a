// Command payloads installed, repaired and uninstalled through the payload operations on the
// engine's install thread; a payload that an installed one supersedes; the bootstrapper.
#include "Sorvel/source/xplat/InstallPayloadOperation.h"
#include "Sorvel/source/xplat/LocalFileSourceProvider.h"
#include "Sorvel/source/xplat/ModifyInstalledPayloadOperation.h"
#include "Sorvel/source/xplat/PayloadMediaSource.h"
#include "Sorvel/source/xplat/ThreadPayloadOperation.h"
#include "Sorvel/source/xplat/TolkUIRequest.h"
#include "caps/CAPSQueryUtilities.h"
#include "caps/CAPSSessionPtr.h"

#include "PayloadOperationFixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::Contains;
using ::testing::HasSubstr;
using tolktest::Rows;

namespace {

typedef InstallPayloadOperation<LocalFileSourceProvider> Install;
typedef std::map<std::string, std::string> Map;

const std::string kCode = "{5C3E7A10-0000-4000-8000-000000000001}";
const std::string kNewer = "{5C3E7A10-0000-4000-8000-000000000002}";

// Installs a folder and records the payload; a repair leaves a marker folder.
std::string SketchInstructions(const std::string& target)
{
    return "var target = '" + target + "';\n"
           "var mode = QENGetProperty('INSTALL_MODE');\n"
           "if (mode == 'install') {\n"
           "  if (!QENCreateDirectory(target)) throw new Error('no folder');\n"
           "  QENAddToUninstallScript(\"QENDeleteDirectory('\" + target + \"');\");\n"
           "  QENAddToUninstallScript(\"QENCAPSRemovePayloadData('\" + QENGetProperty('sessionID') + \"', '\" +\n"
           "                          QENGetProperty('orvexCode') + \"');\");\n"
           "  if (!QENCAPSWritePayloadData(QENGetProperty('sessionID'), QENGetProperty('orvexCode'), 'Sketch',\n"
           "      'Sketch', '1.0', '20240611.1', 'en_US', target, '', false, '', '', ['setupVersion', 'sessionID'],\n"
           "      [QENGetProperty('setupVersion'), QENGetProperty('sessionID')], [], [], '',\n"
           "      QENGetProperty('QEN_PAYLOAD'), mode))\n"
           "    throw new Error('not recorded');\n"
           "} else if (mode == 'repair') {\n"
           "  QENCreateDirectory(target + ' Repaired');\n"
           "}\n";
}

// An operation that asks to be cancelled before it starts its work.
template <class Operation>
class CancelledFirst : public Operation {
public:
    using Operation::Operation;
    int operator()(UIThreadOperationManager& manager, std::vector<UserInterfaceMessagePrompt>& prompts) override
    {
        this->GetOwningThread()->PostMessage(TolkMessages::kCancelRequest);
        return Operation::operator()(manager, prompts);
    }
};

class PayloadOperationsTest : public tolktest::PayloadOperationTest {
protected:
    void SetUp() override
    {
        PayloadOperationTest::SetUp();
        target_ = sysroot_.Path("/Applications/Sketch");
        AddCommandPayload("Sketch", kCode, SketchInstructions(target_));
        key_ = Session()->GetSessionKey();
        AddCollection(key_);
    }
    boost::shared_ptr<ThreadOperation> InstallOperation()
    {
        boost::shared_ptr<PayloadAccessor> accessor = Accessor(kCode);
        return boost::shared_ptr<ThreadOperation>(new Install(accessor, key_, FileSystemPath(medium_),
                                                              LocalFileSourceProvider(accessor->mediaSource.GetPath()),
                                                              Map{{"sessionID", key_}, {"setupVersion", "2.0.0.0"}}));
    }
    boost::shared_ptr<ThreadOperation> Modify(PayloadOperationConstants::InstallAction action)
    {
        return boost::shared_ptr<ThreadOperation>(new ModifyInstalledPayloadOperation(kCode, key_, action, ""));
    }

    // Records the payload as installed in the collection, as its scripts would.
    static void RecordInstalled(const std::string& collection, const std::string& code, const std::string& upgrades = "")
    {
        CAPSSessionPtr session;
        ASSERT_TRUE(session.Open());
        CAPSQueryUtilities::PackageManagementData payload(collection, code, PayloadOperationConstants::kInstall);
        payload.productFamily = payload.productName = "Sketch";
        payload.version = "2.0";
        payload.signature = "20240611.1";
        if (!upgrades.empty())
            payload.upgrades.insert(upgrades);
        CAPSQueryUtilities::PackageManagementOperationResult result;
        ASSERT_TRUE(CAPSQueryUtilities::PackageManagementOperationSucceeded(
            CAPSQueryUtilities::DoCAPSPackageManagementOperations(session, payload, result), result));
    }

    std::string target_;
    std::string key_;
};

}  // namespace

TEST_F(PayloadOperationsTest, InstallRepairAndUninstallACommandPayload)
{
    ThreadPayloadOperationState state = Run(InstallOperation());
    EXPECT_EQ(state.statusMessage.Code(), 0) << state.errorTexts.size();
    EXPECT_EQ(state.percentComplete, 100u);
    EXPECT_TRUE(Exists(target_));
    EXPECT_EQ(Links(), Rows{key_ + " " + kCode + " 2"});
    EXPECT_THAT(Query("SELECT key, value FROM payload_data WHERE domain = 5", 2), Contains("setupVersion 2.0.0.0"));

    state = Run(Modify(PayloadOperationConstants::kRepair));
    EXPECT_EQ(state.statusMessage.Code(), 0);
    EXPECT_TRUE(Exists(target_ + " Repaired"));
    EXPECT_EQ(Query("SELECT value FROM payload_data WHERE key = 'mostRecentSessionID'", 1), Rows{key_});

    state = Run(Modify(PayloadOperationConstants::kUninstall));
    EXPECT_EQ(state.statusMessage.Code(), 0);
    EXPECT_FALSE(Exists(target_));
    EXPECT_TRUE(Links().empty());
    EXPECT_FALSE(Exists(UninstallFolder() + "/" + kCode + ".js"));
}

TEST_F(PayloadOperationsTest, SupersededPayloadIsRecordedWithoutInstalling)
{
    AddCollection("{OTHER}");
    RecordInstalled("{OTHER}", kNewer, kCode);
    boost::shared_ptr<ThreadOperation> operation = InstallOperation();
    const ThreadPayloadOperationState state = Run(operation);
    EXPECT_EQ(operation->GetOperationResult(), 0);
    EXPECT_EQ(state.statusMessage.Code(), 0);
    EXPECT_FALSE(Exists(target_));
    EXPECT_THAT(Links(), Contains(key_ + " " + kCode + " 2"));
}

TEST_F(PayloadOperationsTest, ModificationsThatCannotBeDoneAreFailures)
{
    // Not installed for this collection.
    boost::shared_ptr<ThreadOperation> repair = Modify(PayloadOperationConstants::kRepair);
    ThreadPayloadOperationState state = Run(repair);
    EXPECT_EQ(repair->GetOperationResult(), 1);
    EXPECT_EQ(state.statusMessage.Code(), 2);
    EXPECT_THAT(state.errorTexts,
                Contains("Payload cannot be repaired because it is not installed for current collection"));

    boost::shared_ptr<ThreadOperation> unknown(
        new ModifyInstalledPayloadOperation(kCode, key_, static_cast<PayloadOperationConstants::InstallAction>(7), ""));
    state = Run(unknown);
    EXPECT_EQ(unknown->GetOperationResult(), 1);
    EXPECT_EQ(state.statusMessage.Code(), 2);
    EXPECT_THAT(state.errorTexts, Contains("Unkown payload action request: 7"));

    // Installed, but the medium recorded for it is gone.
    ASSERT_EQ(Run(InstallOperation()).statusMessage.Code(), 0);
    {
        CAPSSessionPtr session;
        ASSERT_TRUE(session.Open());
        ASSERT_TRUE(PayloadMediaSource::SetCAPSMediaInformation(session, kCode, "1", "1", "/Volumes/Sketch Disc", "Sketch Disc"));
    }
    state = Run(Modify(PayloadOperationConstants::kRepair));
    EXPECT_EQ(state.statusMessage.Code(), 6);
    EXPECT_EQ(state.statusMessage.Arguments(), (Map{{"mediaPath", "/Volumes/Sketch Disc"}}));
    EXPECT_FALSE(Exists(target_ + " Repaired"));

    // The session's own copy of the payload needs no medium.
    boost::shared_ptr<ThreadOperation> local(new ModifyInstalledPayloadOperation(
        kCode, key_, PayloadOperationConstants::kRepair, Accessor(kCode)->mediaSource.GetPath().AsUTF8String()));
    EXPECT_EQ(Run(local).statusMessage.Code(), 0);
    EXPECT_TRUE(Exists(target_ + " Repaired"));
}

TEST_F(PayloadOperationsTest, CancelAnsweredNoGoesOnAndYesRollsBack)
{
    boost::shared_ptr<PayloadAccessor> accessor = Accessor(kCode);
    boost::shared_ptr<ThreadOperation> install(new CancelledFirst<Install>(
        accessor, key_, FileSystemPath(medium_), LocalFileSourceProvider(accessor->mediaSource.GetPath()),
        Map{{"sessionID", key_}, {"setupVersion", "2.0.0.0"}}));
    boost::shared_ptr<ThreadOperation> handed(install);
    ASSERT_TRUE(Engine().InstallPayload(handed));
    AnswerQuestion(TolkUIRequest::kResponseNo);
    EXPECT_EQ(WaitForStatus().statusMessage.Code(), 0);
    EXPECT_TRUE(Exists(target_));

    boost::shared_ptr<ThreadOperation> uninstall(
        new CancelledFirst<ModifyInstalledPayloadOperation>(kCode, key_, PayloadOperationConstants::kUninstall, ""));
    handed = uninstall;
    ASSERT_TRUE(Engine().InstallPayload(handed));
    AnswerQuestion(TolkUIRequest::kResponseYes);
    const ThreadPayloadOperationState state = WaitForStatus();
    EXPECT_EQ(uninstall->GetOperationResult(), 1);
    EXPECT_EQ(state.statusMessage.Code(), 1);
    EXPECT_TRUE(Exists(target_));
    EXPECT_EQ(Links(), Rows{key_ + " " + kCode + " 2"});
}

TEST_F(PayloadOperationsTest, BootstrapperInstalledAndUninstalled)
{
    const std::string folder = sysroot_.Path("/Library/Application Support/Orvex/Installers/") + key_;
    tolktest::MakeFolders(sysroot_.Path("/Library/Application Support/Orvex/Installers"));
    WriteCommandImage(medium_ + "/Bootstrapper.dmg", "",
                      "var folder = QENGetProperty('INSTALLDIR');\n"
                      "if (!QENCreateDirectory(folder)) throw new Error('no folder');\n"
                      "QENAddToUninstallScript(\"QENDeleteDirectory('\" + folder + \"');\");\n");
    InstallerEngine& engine = Engine();
    const Map properties = {{"sessionID", key_}, {"INSTALLDIR", folder}, {"AddRemoveInfoDisplayName", "Sketch/Pro"},
                            {"AddRemoveInfoDisplayVersion", "1.0"}};
    EXPECT_FALSE(engine.InstallBootstrapper(PayloadOperationConstants::kRepair, properties));
    EXPECT_TRUE(engine.bootstrapping_);

    ASSERT_TRUE(engine.InstallBootstrapper(PayloadOperationConstants::kInstall, properties));
    EXPECT_EQ(WaitForStatus().statusMessage.Code(), 0);
    EXPECT_TRUE(Exists(folder));
    const std::string log = tolktest::ReadTextFile(LogFolder() + "/Sketch-Pro 1.0.log");
    EXPECT_THAT(log, HasSubstr("START - Install Bootstrapper Session"));
    EXPECT_THAT(log, HasSubstr("\tINSTALLDIR=" + folder));

    // Left alone while a payload of the session is installed.
    RecordInstalled(key_, kCode);
    EXPECT_FALSE(engine.BeginUninstallBootstrap());
    {
        CAPSSessionPtr session;
        ASSERT_TRUE(session.Open());
        ASSERT_EQ(capsSetInstallState(session, key_.c_str(), kCode.c_str(), kCapsNotInstalled), kCapsOK);
    }
    ASSERT_TRUE(engine.BeginUninstallBootstrap());
    EXPECT_EQ(WaitForStatus().statusMessage.Code(), 0);
    EXPECT_FALSE(Exists(folder));
    EXPECT_FALSE(Exists(UninstallFolder() + "/" + key_ + ".js"));
}
