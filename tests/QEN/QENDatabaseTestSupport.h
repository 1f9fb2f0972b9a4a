// Helpers of the tests of the installation-database and relocation-data commands: the database
// made in the system root, a plain connection to look at what is committed, records seeded
// through the package-management operations, and the script globals over a core engine.
#pragma once

#include "QENTestSupport.h"

#include "Common/source/mac/TQInitManager.h"
#include "caps/CAPSQueryUtilities.h"
#include "caps/CAPSSessionPtr.h"
#include "caps/caps.h"
#include "caps/capsiHooks.h"

#include "tests/caps/CapsTestSupport.h"
#include "tests/support/ScriptEval.h"

#include <memory>
#include <string>
#include <vector>

namespace qentest {

typedef std::vector<std::string> Strings;

// The rows of a query on a database file, the columns of a row joined by blanks.
inline Strings RowsOf(const std::string& file, const std::string& sql, std::size_t columns)
{
    return tolktest::RawDatabase(file).JoinedRows(sql, columns);
}

// Adds to a fixture with a system root: "caps.db" made, the uninstall folder, the checks of
// what is committed and the seeding of records.
template <class Fixture>
class WithDatabase : public Fixture {
protected:
    void SetUp() override
    {
        Fixture::SetUp();
        // Only root makes the database folders; the seam lets any user make them here.
        capsiSetRunningAsRootForTesting(1);
        capsiSession* session = nullptr;
        ASSERT_EQ(capsOpenSession(&session), kCapsOK);
        ASSERT_EQ(capsCloseSession(session), kCapsOK);
        tolktest::MakeFolders(UninstallFolder());
    }
    void TearDown() override
    {
        capsiSetRunningAsRootForTesting(-1);
        Fixture::TearDown();
    }

    std::string Base() const { return this->sysroot_.Path("/Library/Application Support/Orvex"); }
    std::string DbFile() const { return Base() + "/caps/caps.db"; }
    std::string UninstallFolder() const { return Base() + "/Uninstall"; }
    std::string UninstallDbFile(const std::string& key) const { return UninstallFolder() + "/" + key + ".db"; }

    Strings Rows(const std::string& sql, std::size_t columns) { return RowsOf(DbFile(), sql, columns); }
    Strings Collections() { return Rows("SELECT collectionID, collectionPayloadID FROM tolk_collection ORDER BY 1", 2); }
    Strings Payloads() { return Rows("SELECT payloadID FROM tolk_payload ORDER BY 1", 1); }
    Strings Links() { return Rows("SELECT collectionID, payloadID, installState FROM tolk_collection_payload ORDER BY 1, 2", 3); }
    Strings CollectionData() { return Rows("SELECT collectionID, domain, key, value FROM collection_data ORDER BY 1, 2, 3", 4); }
    Strings PayloadData() { return Rows("SELECT payloadID, domain, key, value FROM payload_data ORDER BY 1, 2, 3", 4); }
    // Every record, for checks that nothing changed.
    Strings Everything()
    {
        Strings all;
        for (const Strings& part : {Collections(), Payloads(), Links(), CollectionData(), PayloadData(),
                                    Rows("SELECT * FROM tolk_payload_constraint ORDER BY 1, 2, 3", 3),
                                    Rows("SELECT * FROM upgraded_payloads ORDER BY 1", 2)}) {
            all.insert(all.end(), part.begin(), part.end());
            all.push_back("|");
        }
        return all;
    }

    // Committed through the package-management operations, as a payload operation would.
    void Seed(const CAPSQueryUtilities::PackageManagementData& data)
    {
        CAPSSessionPtr session;
        ASSERT_TRUE(session.Open());
        CAPSQueryUtilities::PackageManagementOperationResult result;
        ASSERT_TRUE(CAPSQueryUtilities::PackageManagementOperationSucceeded(
            CAPSQueryUtilities::DoCAPSPackageManagementOperations(session, data, result), result));
        ASSERT_TRUE(session.Commit());
    }
    void SeedCollection(const std::string& collection, const std::string& driver = "")
    {
        CAPSQueryUtilities::PackageManagementData data(collection, PayloadOperationConstants::kInstall);
        data.driverPayloadCode = driver;
        Seed(data);
    }
    void SeedPayload(const std::string& collection, const std::string& payload,
                     const CAPSQueryUtilities::OrvexCodeSet& upgrades = {})
    {
        CAPSQueryUtilities::PackageManagementData data(collection, payload, PayloadOperationConstants::kInstall);
        data.productFamily = "Family";
        data.productName = "Product";
        data.version = "1.0";
        data.signature = "build-1";
        data.upgrades = upgrades;
        Seed(data);
    }
};

class QENDatabaseTest : public WithDatabase<tolktest::SystemRootTest> {
protected:
    RecordingLog log_;
};

// The script globals over a core engine, in a script engine of their own.
class QENDatabaseScriptTest : public QENDatabaseTest {
protected:
    void SetUp() override
    {
        QENDatabaseTest::SetUp();
        StartRun();
    }
    void TearDown() override
    {
        // Commands still held keep database sessions: release them while the root exists.
        scripts_.reset();
        engine_.reset();
        QENDatabaseTest::TearDown();
    }

    // A new engine with new globals, as the next run has them (the database lock open again).
    void StartRun()
    {
        scripts_.reset();
        engine_.reset(new QENEngine(controller_, log_, "{id}", QENEngine::PropertyMap()));
        scripts_ = Pelvo::Engine::createEngine(Pelvo::Engine::kTypeJavaScript);
        ASSERT_TRUE(scripts_);
        globals_ = new QENGlobalsLC(*engine_, controller_, engine_->Log());
        ASSERT_EQ(scripts_->getInterface(Pelvo::Engine::kLiveObjectInterface)->getGlobalObject()->addComponent(globals_), 0);
        globals_->release();
    }

    // The script's result as text; for a call that fails, the code it failed with.
    std::string Eval(const std::string& script)
    {
        return tolktest::Eval(*scripts_, "try { " + script + " } catch (e) { 'code ' + e.code }");
    }

    TQInitManager scripting_;
    RecordingController controller_;
    std::unique_ptr<QENEngine> engine_;
    Pelvo::EnginePtr scripts_;
    QENGlobalsLC* globals_ = nullptr;
};

}  // namespace qentest
