// Fixtures of the installation database tests: a system root with the Application Support
// folder, an adjustable clock, the root seam reset after every test, and a plain SQLite
// connection (RawDatabase) to look at the files behind the caps functions' backs.
#pragma once

#include "caps/caps.h"
#include "caps/capsiFiles.h"
#include "caps/capsiHooks.h"

#include "tests/support/RawDatabase.h"
#include "tests/support/TempSystemRoot.h"

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace capstest {

// The entries of a list result, up to its first null entry.
inline std::vector<std::string> Entries(capsStringList list)
{
    std::vector<std::string> entries;
    for (capsStringList entry = list; entry != nullptr && *entry != nullptr; ++entry)
        entries.push_back(*entry);
    return entries;
}

using tolktest::RawDatabase;

// Overwrites the header of the first table's root page (pcd_meta's): SQLite still opens the
// file and copies it page by page, but its quick check fails.
inline void DamageFirstTable(const std::string& file)
{
    std::string bytes = tolktest::ReadTextFile(file);
    ASSERT_GT(bytes.size(), 18u);
    const std::size_t pageSize = (static_cast<unsigned char>(bytes[16]) << 8) | static_cast<unsigned char>(bytes[17]);
    ASSERT_GT(bytes.size(), 2 * pageSize);
    bytes.replace(pageSize, 64, std::string(64, '\xff'));
    tolktest::WriteTextFile(file, bytes);
}

class CapsTest : public tolktest::SystemRootTest {
protected:
    void SetUp() override
    {
        capsiSetClockForTesting([this] { return now_; });
    }
    void TearDown() override
    {
        for (capsiSession* session : open_)
            capsCloseSession(session);
        capsiSetClockForTesting(boost::function<long()>());
        capsiSetRunningAsRootForTesting(-1);
    }

    std::string Base() const { return sysroot_.Path("/Library/Application Support/Orvex"); }
    std::string DbFolder() const { return Base() + "/caps"; }
    std::string DbFile() const { return DbFolder() + "/caps.db"; }
    std::string BackupFolder() const { return Base() + "/backup"; }
    std::string BackupFile() const { return BackupFolder() + "/caps.db"; }

    // A session the fixture closes at the end unless the test closes it (Close).
    capsiSession* Open()
    {
        capsiSession* session = nullptr;
        EXPECT_EQ(kCapsOK, capsOpenSession(&session));
        if (session != nullptr)
            open_.push_back(session);
        return session;
    }
    capsStatus Close(capsiSession* session)
    {
        open_.erase(std::remove(open_.begin(), open_.end(), session), open_.end());
        return capsCloseSession(session);
    }
    // Creates the database with its folders, as root would, and closes it again.
    void CreateDatabase()
    {
        capsiSetRunningAsRootForTesting(1);
        capsiSession* session = nullptr;
        ASSERT_EQ(kCapsOK, capsOpenSession(&session));
        ASSERT_EQ(kCapsOK, capsCloseSession(session));
        capsiSetRunningAsRootForTesting(-1);
    }

    long now_ = 1000;
    std::vector<capsiSession*> open_;
};

// With the database already made (as root would make it), so tests run the same as any user.
class CapsDbTest : public CapsTest {
protected:
    void SetUp() override
    {
        CapsTest::SetUp();
        CreateDatabase();
    }
};

// With a session open on the made database, and collections "c1" and "c2".
class CapsRecordsTest : public CapsDbTest {
protected:
    void SetUp() override
    {
        CapsDbTest::SetUp();
        session_ = Open();
        ASSERT_NE(nullptr, session_);
        for (const char* collection : {"c1", "c2"})
            ASSERT_EQ(kCapsOK, capsAddCollection(session_, collection, "driver"));
    }

    void AddPayload(const char* collection, const char* payload, std::vector<const char*> conflicts = {},
                    std::vector<const char*> upgrades = {})
    {
        conflicts.push_back(nullptr);
        upgrades.push_back(nullptr);
        ASSERT_EQ(kCapsOK, capsAddPayload(session_, collection, payload, "F", "N", "1", "s", conflicts.data(),
                                          upgrades.data()));
    }
    void Install(const char* collection, const char* payload, capsInstallState state = kCapsInstalled)
    {
        ASSERT_EQ(kCapsOK, capsSetInstallState(session_, collection, payload, state));
    }
    capsInstallState State(const char* collection, const char* payload)
    {
        capsInstallState state = -1;
        capsGetInstallState(session_, collection, payload, &state);
        return state;
    }
    std::vector<std::string> Sorted(capsStringList list)
    {
        std::vector<std::string> entries = Entries(list);
        std::sort(entries.begin(), entries.end());
        return entries;
    }
    std::vector<std::string> Payloads()
    {
        capsStringList list = nullptr;
        return capsGetPayloads(session_, kCapsAnyInstallState, &list), Sorted(list);
    }
    // original -> upgrading payload
    std::map<std::string, std::string> Upgrades()
    {
        capsStringList list = nullptr;
        capsGetUpgradedPayloadsKeysAndValues(session_, &list);
        std::map<std::string, std::string> upgrades;
        for (capsStringList pair = list; pair[0] != nullptr; pair += 2)
            upgrades[pair[0]] = pair[1];
        return upgrades;
    }

    capsiSession* session_ = nullptr;
};

}  // namespace capstest
