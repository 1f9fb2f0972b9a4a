// The mutation-access publisher given bad arguments, and a database write that fails halfway.
#include "Common/source/xplat/Logger.h"
#include "Sorvel/source/xplat/SorvelDataAccess.h"

#include "MutationAccessFixture.h"

#include <gtest/gtest.h>

#include <boost/thread/mutex.hpp>

#include <filesystem>

#include <string>
#include <vector>

using tolktest::Rows;

namespace {

struct BadCall {
    std::string method;
    std::vector<std::string> arguments;
    std::string answer;
};

typedef tolktest::MutationAccessTest SorvelMutationAccessFaultTest;

}  // namespace

TEST_F(SorvelMutationAccessFaultTest, EachMethodChecksItsArgumentsFirst)
{
    const std::string code = kCode;
    const std::string missing = sysroot_.Scratch() + "/missing";
    const std::vector<BadCall> calls = {
        {"Log", {"4"}, "{\"_error\":\"1\"}"},
        {"Log", {"x", "text"}, "{\"_error\":\"15\"}"},  // no logger: checked before the level
        {"InstallPayload", {code}, "{\"_error\":\"1\"}"},
        {"InstallPayload", {"", "install"}, "{\"_error\":\"1\"}"},
        {"InstallPayload", {code, "Install"}, "{\"_error\":\"1\"}"},
        {"InstallPayload", {code, "install", "d3:key"}, "{\"_error\":\"1\"}"},
        {"InstallPayload", {"{NOT-IN-SESSION}", "install"}, "{\"_error\":\"18\"}"},
        {"InstallBootstrapper", {"install"}, "{\"_error\":\"1\"}"},
        {"InstallBootstrapper", {"upgrade", "d3:key"}, "{\"_error\":\"19\"}"},
        {"InstallBootstrapper", {"upgrade", "de"}, "{\"_error\":\"2\"}"},
        {"GetInstallStatus", {"x"}, "{\"_error\":\"1\"}"},
        {"GetInstallStatus", {}, "{\"_error\":\"9999\"}"},  // no thread was ever started
        {"PostInstallThreadMessage", {}, "{\"_error\":\"1\"}"},
        {"PostInstallThreadMessage", {"1"}, "{\"_error\":\"2\",\"invalidMessage\":\"1\"}"},
        {"PostInstallThreadMessage", {" 0"}, "{\"_error\":\"2\",\"invalidMessage\":\" 0\"}"},
        {"PostInstallThreadMessageResult", {"0a1b"}, "{\"_error\":\"1\"}"},
        {"PostInstallThreadMessageResult", {"0a1b", "yes"}, "{\"_error\":\"2\"}"},
        {"PeekInstallThreadMessage", {"x"}, "{\"_error\":\"1\"}"},
        {"StoreCollectionProperties", {key_}, "{\"_error\":\"1\"}"},
        {"StoreCollectionProperties", {key_, "d1:a"}, "{\"_error\":\"19\"}"},
        {"StoreCollectionProperties", {"{NO-COLLECTION}", "d1:a1:be"}, "{\"_error\":\"16\"}"},
        {"OpenCAPSSimulation", {"x"}, "{\"_error\":\"1\"}"},
        {"SimulateInstallPayload", {code, "install"}, "{\"_error\":\"20\"}"},
        {"CloseCAPSSimulation", {"x"}, "{\"_error\":\"1\"}"},
        {"SetWorkflowExitCode", {}, "{\"_error\":\"1\"}"},
        {"SetWorkflowExitCode", {"4.5"}, "{\"_error\":\"2\"}"},
        {"AcquireBootstrapperLock", {"x"}, "{\"_error\":\"1\"}"},
        {"AcquireSetupLock", {"x"}, "{\"_error\":\"1\"}"},
        {"IsBootstrapperLocked", {"x"}, "{\"_error\":\"1\"}"},
        {"IsSetupLocked", {"x"}, "{\"_error\":\"1\"}"},
        {"SaveDeploymentFiles", {missing, "de"}, "{\"_error\":\"1\"}"},
        {"SaveDeploymentFiles", {missing, "de", "d1:x"}, "{\"_error\":\"19\"}"},
        {"SaveDeploymentFiles", {missing, "de", "de"}, "{\"_error\":\"9999\"}"},
        {"SaveDeploymentFiles", {"/" + std::string(2000, 'x'), "de", "de"}, "{\"_error\":\"9999\"}"},
    };
    for (const BadCall& call : calls)
        EXPECT_EQ(Call(call.method, call.arguments), call.answer) << call.method << " " << call.arguments.size();

    boost::mutex mutex;
    Logger logger(mutex, sysroot_.Scratch() + "/Sorvel.log");
    SorvelMutationAccess logging(&Engine(), &logger);
    EXPECT_EQ(Call(logging, "Log", {"x", "text"}), "{\"_error\":\"2\",\"level\":\"x\",\"message\":\"text\"}");
    EXPECT_EQ(Call(logging, "Log", {"4", "text"}), "{}");

    // A simulation needs a payload call it can parse and an operation for it.
    ASSERT_EQ(Call("OpenCAPSSimulation"), "{ \"success\": 1 }");
    EXPECT_EQ(Call("SimulateInstallPayload", {code, "upgrade"}), "{\"_error\":\"1\"}");
    EXPECT_EQ(Call("SimulateInstallPayload", {"{NOT-IN-SESSION}", "install"}), "{\"_error\":\"18\"}");
}

TEST_F(SorvelMutationAccessFaultTest, AFirstStoreThatFailsHalfwayKeepsTheOldProperties)
{
    {
        CAPSSessionPtr session;
        ASSERT_TRUE(session.Open());
        ASSERT_EQ(capsSetCollectionData(session, key_.c_str(), kCapsDomainProperties, "INSTALLDIR", "/old"), kCapsOK);
    }
    capstest::RawDatabase database(sysroot_.Path("/Library/Application Support/Orvex/caps/caps.db"));
    ASSERT_EQ(database.Exec("CREATE TRIGGER poison BEFORE INSERT ON collection_data WHEN NEW.key = 'poison' "
                            "BEGIN SELECT RAISE(ABORT, 'poisoned'); END;"),
              0);

    // The old set is removed and "INSTALLDIR" written before "poison" fails.
    EXPECT_EQ(Call("StoreCollectionProperties", {key_, Bencoded({{"INSTALLDIR", "/new"}, {"poison", "1"}})}),
              "{\"_error\":\"16\"}");
    EXPECT_EQ(CollectionData(key_), Rows{"INSTALLDIR /old"});
}

TEST_F(SorvelMutationAccessFaultTest, AProductNameNeverLeadsTheDeploymentFilesOutOfTheirFolder)
{
    const std::string folder = sysroot_.Scratch() + "/deploy";
    tolktest::MakeFolders(folder);
    EXPECT_EQ(Call("SaveDeploymentFiles", {folder, Bencoded({{"productName", "../../escaped"}}), Bencoded({})}),
              "{\"installFile\":\"" + folder + "/..-..-escaped.install.xml\",\"removeFile\":\"" + folder +
                  "/..-..-escaped.remove.xml\"}");
    EXPECT_TRUE(std::filesystem::exists(folder + "/..-..-escaped.install.xml"));
    EXPECT_FALSE(std::filesystem::exists(sysroot_.Scratch() + "/../escaped.install.xml"));
}

TEST_F(SorvelMutationAccessFaultTest, ACommitThatFailsAnswersTheDatabaseError)
{
    const std::string database = sysroot_.Path("/Library/Application Support/Orvex/caps/caps.db");
    ASSERT_EQ(Call("StoreCollectionProperties", {key_, Bencoded({{"removeUserPrefs", "0"}})}), "{ \"success\": 1 }");
    {
        CAPSSessionPtr session;
        ASSERT_TRUE(session.Open());
        ASSERT_EQ(capsAddPayload(session, key_.c_str(), kCode, "Family", "Sketch", "1.0", "sig", nullptr, nullptr),
                  kCapsOK);
    }
    // Another process reads the database and keeps its read transaction open: writes still go
    // in, but no commit can take the file until the reader lets go.
    capstest::RawDatabase reader(database);
    ASSERT_EQ(reader.Exec("BEGIN; SELECT count(*) FROM tolk_payload;"), 0);

    EXPECT_EQ(Call("StoreCollectionProperties", {key_, Bencoded({{"removeUserPrefs", "1"}})}), "{\"_error\":\"16\"}");
    SorvelDataAccess access(&Engine(), nullptr);
    std::string answer;
    ASSERT_TRUE(access.InvokeMethodByName("UpdateMediaInfoInCaps", {kCode, "1", "2", "/Volumes/Disk", "Disk"}, answer));
    EXPECT_EQ(answer, "{\"_error\":\"9999\"}");

    ASSERT_EQ(reader.Exec("COMMIT;"), 0);
    EXPECT_EQ(CollectionData(key_), (Rows{"_collectionPropertiesSet_ 1", "removeUserPrefs 0"}));
    EXPECT_TRUE(Query("SELECT key FROM payload_data", 1).empty());
}
