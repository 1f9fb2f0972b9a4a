// The fixture of the tests that run the built Setup in silent mode on a copy of the example
// medium (examples/) under a temporary system root: the runs, and looks at what they leave (the
// installed files, the installation database, the uninstall scripts, the session logs).
#pragma once

#include "ExampleMedium.h"

#include "tests/support/GzipFile.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/TempSystemRoot.h"

#include "tests/caps/CapsTestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

namespace silenttest {

namespace fs = std::filesystem;

inline const std::string kSketchbook = "{EAA9F4CF-E360-4950-BA50-519B03622F12}";
inline const std::string kSketchbookOne = "{80F309BD-C18B-4643-BC52-007C9D1F0142}";
inline const std::string kBrushes = "{3C1B6E2A-5D47-4F0E-9A61-7B2E8C4D9F10}";
inline const std::string kFontCheck = "{5B7A2C91-0E3D-4B6F-8C12-A4D9E6F03B27}";
// The session keys: the digests of the media's payload codes.
inline const std::string kSuite = "a42658624434a65da803d2b23b4e8d0";
inline const std::string kEarlierSuite = "de10efec872c0f1342fef7d825a542c";

class SilentExampleTest : public tolktest::SystemRootTest {
protected:
    void SetUp() override
    {
        medium_ = sysroot_.Scratch() + "/medium";
        fs::copy(TOLK_SOURCE_DIR "/examples", medium_, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
        // As an administrator would, so that a user who is not root may install too.
        tolktest::MakeFolders(Orvex("/caps"));
        tolktest::MakeFolders(Orvex("/backup"));
    }

    tolktest::ProgramResult Run(const std::string& parent, const std::vector<std::string>& more = {})
    {
        std::vector<std::string> arguments = {"--mode=silent", "--installerParent=" + parent};
        arguments.insert(arguments.end(), more.begin(), more.end());
        return tolktest::RunCapturingOutput(SETUP_PROGRAM, arguments);
    }
    tolktest::ProgramResult Deploy(const std::string& action)
    {
        return Run(medium_, {"--deploymentFile=" + medium_ + "/deployment/" + action + ".xml"});
    }
    // A deployment file of its own that does the action for each of the payloads.
    std::string Deployment(const std::vector<std::string>& codes, const std::string& action)
    {
        std::string payloads;
        for (const std::string& code : codes)
            payloads += "<Payload orvexCode=\"" + code + "\"><Action>" + action + "</Action></Payload>";
        const std::string path = sysroot_.Scratch() + "/" + action + std::to_string(++deployments_) + ".xml";
        tolktest::WriteTextFile(path, "<?xml version=\"1.0\" encoding=\"utf-8\"?><Deployment><Payloads>" + payloads +
                                          "</Payloads></Deployment>");
        return path;
    }

    std::string Orvex(const std::string& path) const
    {
        return sysroot_.Path("/Library/Application Support/Orvex") + path;
    }
    std::string App(const std::string& path) const
    {
        return sysroot_.Path("/Applications/Orvex Sketchbook/Orvex Sketchbook.app/Contents") + path;
    }
    static unsigned Mode(const std::string& path)
    {
        struct stat info;
        return lstat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
    }
    std::vector<std::string> Query(const std::string& sql)
    {
        capstest::RawDatabase database(Orvex("/caps/caps.db"));
        return database.Rows(sql);
    }
    std::vector<std::string> InstalledPayloads()
    {
        return Query("SELECT collectionID || ' ' || payloadID FROM tolk_collection_payload WHERE installState = 2");
    }
    // What lies below a folder, as paths relative to it.
    static std::vector<std::string> Tree(const std::string& folder)
    {
        std::vector<std::string> found;
        for (fs::recursive_directory_iterator it(folder), end; it != end; ++it)
            found.push_back(it->path().lexically_relative(folder).string());
        return found;
    }
    // The session logs: compressed, none left plain; the text of the one named.
    std::string Log(const std::string& name)
    {
        const std::string folder = tolktest::SessionLogFolder(sysroot_);
        for (const fs::directory_entry& entry : fs::directory_iterator(folder))
            EXPECT_EQ(entry.path().extension(), ".gz") << entry.path();
        std::string text;
        EXPECT_TRUE(tolktest::ReadGzip(folder + "/" + name + ".gz", text)) << name;
        return text;
    }

    // Nothing of the suite is left: no file, no record, no uninstall script, no bootstrapper; the
    // brushes folder only when it holds the user's own files.
    void ExpectNothingOfTheSuite(const std::vector<std::string>& usersBrushes = {})
    {
        EXPECT_FALSE(fs::exists(sysroot_.Path("/Applications/Orvex Sketchbook")));
        if (usersBrushes.empty())
            EXPECT_FALSE(fs::exists(Orvex("/Brushes")));
        else
            EXPECT_THAT(Tree(Orvex("/Brushes")), ::testing::ContainerEq(usersBrushes));
        EXPECT_THAT(Tree(Orvex("/Installers")), ::testing::IsEmpty());
        EXPECT_THAT(Tree(Orvex("/Uninstall")), ::testing::IsEmpty());
        EXPECT_THAT(Query("SELECT payloadID FROM tolk_payload UNION ALL SELECT collectionID FROM tolk_collection "
                          "UNION ALL SELECT payloadID FROM tolk_collection_payload UNION ALL SELECT key FROM "
                          "payload_data UNION ALL SELECT key FROM collection_data"),
                    ::testing::IsEmpty());
    }

    std::string medium_;
    int deployments_ = 0;
};

}  // namespace silenttest
