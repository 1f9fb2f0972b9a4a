// A fixture for the payload operations: installation media under a temporary system root with
// command payload images written at test time, the installation database, a Setup bundle with
// the support scripts, and an engine with its request queue that runs operations to their end.
#pragma once

#include "Sorvel/source/xplat/InstallerEngine.h"
#include "Sorvel/source/xplat/PayloadAccessor.h"
#include "Sorvel/source/xplat/PayloadSessionManager.h"
#include "Sorvel/source/xplat/ThreadOperation.h"
#include "Sorvel/source/xplat/ThreadPayloadOperationState.h"
#include "Sorvel/source/xplat/UIThreadOperationManager.h"
#include "caps/caps.h"
#include "caps/capsiHooks.h"

#include "FakeThreadOperation.h"
#include "PayloadMediumFixture.h"
#include "tests/caps/CapsTestSupport.h"

#include "platform/Bundle.h"

#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace tolktest {

typedef std::vector<std::string> Rows;

class PayloadOperationTest : public PayloadMediumTest {
protected:
    void SetUp() override
    {
        PayloadMediumTest::SetUp();
        savedDirectory_ = std::filesystem::current_path();
        // Only root makes the database folders; the seam lets any user make them here.
        capsiSetRunningAsRootForTesting(1);
        capsiSession* session = nullptr;
        ASSERT_EQ(capsOpenSession(&session), kCapsOK);
        ASSERT_EQ(capsCloseSession(session), kCapsOK);
        MakeFolders(UninstallFolder());
        const std::string bundle = sysroot_.Scratch() + "/Setup.app";
        MakeFolders(bundle + "/Contents/SharedSupport");
        for (const char* name : {"InstallSetup.js", "InstallConditionsPrefix.js", "InstallConditionsSuffix.js"})
            std::filesystem::copy_file(std::string(TOLK_SOURCE_DIR "/Sorvel/resources/SharedSupport/") + name,
                                       bundle + "/Contents/SharedSupport/" + name);
        platform::Bundle::SetMainBundlePathForTesting(bundle);
    }
    void TearDown() override
    {
        engine_.reset();
        manager_.reset();
        platform::Bundle::SetMainBundlePathForTesting(std::string());
        capsiSetRunningAsRootForTesting(-1);
        // The bootstrapper's uninstall leaves the working directory.
        std::filesystem::current_path(savedDirectory_);
        PayloadMediumTest::TearDown();
    }

    // The engine on the medium, with the request queue its main routine would make.
    InstallerEngine& Engine()
    {
        if (!engine_) {
            engine_.reset(new InstallerEngine(FileSystemPath(medium_)));
            manager_.reset(new UIThreadOperationManager(nullptr));
            engine_->SetUIThreadOperationManagerForTesting(manager_);
        }
        return *engine_;
    }
    boost::shared_ptr<PayloadSessionManager> Session()
    {
        boost::shared_ptr<PayloadSessionManager> session = Engine().GetPayloadSessionManager();
        EXPECT_TRUE(session);
        return session;
    }
    boost::shared_ptr<PayloadAccessor> Accessor(const std::string& code) { return Session()->GetPayloadAccessorForOrvexCode(code); }

    // Waits for the install thread; its last status.
    ThreadPayloadOperationState WaitForStatus() { return WaitUntilFinished(Engine()); }
    // Runs the operation on the engine's install thread to its end; its last status.
    ThreadPayloadOperationState Run(const boost::shared_ptr<ThreadOperation>& operation)
    {
        boost::shared_ptr<ThreadOperation> handed(operation);
        EXPECT_TRUE(Engine().InstallPayload(handed));
        return WaitForStatus();
    }
    // Waits for the install thread's question and answers it.
    void AnswerQuestion(unsigned long option)
    {
        std::string id, json;
        ASSERT_TRUE(WaitForQuestion(Engine(), id, json));
        ASSERT_TRUE(Engine().PostInstallThreadMessageResult(id, option));
    }

    // payloads/<folder>/<folder>.proxy.xml and the command payload image <folder>.dmg beside it.
    void AddCommandPayload(const std::string& folder, const std::string& code, const std::string& instructions,
                           const std::string& imageProxyCode = "")
    {
        AddProxy(folder, ProxyXml(code, folder));
        WriteCommandImage(medium_ + "/payloads/" + folder + "/" + folder + ".dmg",
                          imageProxyCode.empty() ? code : imageProxyCode, instructions);
    }
    // A command payload image as a folder; an empty code writes a proxy file without one.
    static void WriteCommandImage(const std::string& image, const std::string& code, const std::string& instructions)
    {
        MakeFolders(image + "/Assets");
        const std::string property = code.empty() ? "" : "<Property name=\"OrvexCode\">" + code + "</Property>";
        WriteTextFile(image + "/Proxy.xml", "<?xml version=\"1.0\" encoding=\"utf-8\"?><PayloadInfo version=\"2.0\">"
                                            "<InstallerProperties>" + property + "</InstallerProperties></PayloadInfo>");
        WriteTextFile(image + "/Conditions.js", "true;\n");
        WriteTextFile(image + "/Instructions.js", instructions);
    }

    // Records the collection, as the bootstrapper of a session does.
    void AddCollection(const std::string& key)
    {
        capsiSession* session = nullptr;
        ASSERT_EQ(capsOpenSession(&session), kCapsOK);
        EXPECT_EQ(capsAddCollection(session, key.c_str(), ""), kCapsOK);
        ASSERT_EQ(capsCloseSession(session), kCapsOK);
    }

    std::string UninstallFolder() const { return sysroot_.Path("/Library/Application Support/Orvex/Uninstall"); }
    // Rows of a query on "caps.db", the columns of a row joined by blanks.
    Rows Query(const std::string& sql, std::size_t columns)
    {
        return RawDatabase(sysroot_.Path("/Library/Application Support/Orvex/caps/caps.db")).JoinedRows(sql, columns);
    }
    Rows Links() { return Query("SELECT collectionID, payloadID, installState FROM tolk_collection_payload ORDER BY 1, 2", 3); }

    static bool Exists(const std::string& path) { return std::filesystem::exists(path); }

private:
    std::filesystem::path savedDirectory_;
    std::unique_ptr<InstallerEngine> engine_;
    boost::shared_ptr<UIThreadOperationManager> manager_;
};

}  // namespace tolktest
