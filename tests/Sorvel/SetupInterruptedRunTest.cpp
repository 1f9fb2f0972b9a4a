// The built Setup killed (as kill -9 does) in the middle of a payload's script, at several points:
// the next run takes the interrupted one back before it starts and then installs. The payload's
// instructions are strict, so that the second install succeeds only on a system restored: its
// folder must not exist, and the file it replaces must be there with its old contents.
#include "ExampleMedium.h"

#include "tests/support/ProgramRun.h"
#include "tests/support/TempSystemRoot.h"

#include "tests/caps/CapsTestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

using ::testing::HasSubstr;

namespace {

namespace fs = std::filesystem;

const std::string kSketchbook = "{EAA9F4CF-E360-4950-BA50-519B03622F12}";

class SetupInterruptedRunTest : public tolktest::SystemRootTest {
protected:
    void SetUp() override
    {
        TOLK_SKIP_WITHOUT_TEST_HOOKS();
        // As an administrator would, so that a user who is not root may install too.
        tolktest::MakeFolders(Orvex("/caps"));
        tolktest::MakeFolders(Orvex("/backup"));
        tolktest::WriteTextFile(Shared(), "old");
        // Commands: 1 the folder, 2 and 3 copies, 4 a mode, 5 the shared file moved aside, 6 its
        // replacement, 7 the record.
        tolktest::MakeExampleMedium(
            medium_,
            "var contents = QENGetProperty('QEN_ASSETS') + '/Orvex Sketchbook.app/Contents';\n"
            "var target = QENGetProperty('INSTALLDIR');\n"
            "function check(done, what) { if (!done) throw new Error('Sketchbook: ' + what); }\n"
            "check(QENCreateDirectory(target, 493), 'folder');\n"
            "check(QENCopyFile(contents + '/Info.plist', target + '/Info.plist'), 'Info.plist');\n"
            "check(QENCopyFile(contents + '/Resources/Welcome.txt', target + '/Welcome.txt'), 'Welcome.txt');\n"
            "check(QENChmodCommand(target + '/Welcome.txt', 384), 'mode');\n"
            "check(QENDeleteFile('" + Shared() + "'), 'shared file');\n"
            "check(QENCopyFile(contents + '/Resources/Welcome.txt', '" + Shared() + "'), 'new shared file');\n"
            "var properties = QENGetRawSessionProperties();\n"
            "check(QENCAPSWritePayloadData(QENGetProperty('sessionID'), QENGetProperty('orvexCode'), 'Sketchbook',\n"
            "    'Orvex Sketchbook', '2.0', '20240611.1', QENGetProperty('installLanguage'), target, '', false, '',\n"
            "    '', properties[0], properties[1], [], [], '', QENGetProperty('QEN_PAYLOAD'), 'install'), 'record');\n");
    }
    void TearDown() override { unsetenv("TOLK_KILL_AT"); }

    tolktest::ProgramResult Run(const std::string& killAt)
    {
        if (killAt.empty())
            unsetenv("TOLK_KILL_AT");
        else
            setenv("TOLK_KILL_AT", (killAt + "@" + kSketchbook).c_str(), 1);
        return tolktest::RunCapturingOutput(SETUP_PROGRAM, {"--mode=silent", "--installerParent=" + medium_});
    }

    std::string Orvex(const std::string& path) const
    {
        return sysroot_.Path("/Library/Application Support/Orvex") + path;
    }
    std::string Shared() const { return Orvex("/Shared.txt"); }
    std::string Installed() const
    {
        capstest::RawDatabase database(Orvex("/caps/caps.db"));
        return database.Value("SELECT count(*) FROM tolk_collection_payload WHERE payloadID = '" + kSketchbook +
                              "' AND installState = 2");
    }
    std::vector<std::string> Journals() const
    {
        std::vector<std::string> names;
        for (const fs::directory_entry& entry : fs::directory_iterator(Orvex("/caps"))) {
            if (entry.path().extension() == ".journal" || entry.path().filename().string().rfind(".run-", 0) == 0)
                names.push_back(entry.path().filename().string());
        }
        return names;
    }

    std::string medium_ = sysroot_.Scratch() + "/medium";
};

}  // namespace

TEST_F(SetupInterruptedRunTest, TheNextRunTakesAKilledInstallBackAndThenInstalls)
{
    const std::string welcome = medium_ + "/payloads/OrvexSketchbook/OrvexSketchbook.dmg/Assets/Orvex "
                                          "Sketchbook.app/Contents/Resources/Welcome.txt";
    // Killed after the first copy; after the shared file was moved aside (it is gone then).
    for (const std::string point : {"command3", "command6"}) {
        SCOPED_TRACE(point);
        const tolktest::ProgramResult killed = Run(point);
        ASSERT_EQ(killed.exitCode, -1) << killed.output << killed.errorOutput;
        EXPECT_EQ(Journals().size(), 1u);
        EXPECT_EQ(fs::exists(Shared()), point == "command3");

        const tolktest::ProgramResult next = Run("");
        ASSERT_EQ(next.exitCode, 0) << next.output << next.errorOutput;
        EXPECT_EQ(Installed(), "1");
        EXPECT_EQ(tolktest::ReadTextFile(Shared()), tolktest::ReadTextFile(welcome));
        EXPECT_TRUE(Journals().empty());
        const std::string log = tolktest::RunCapturingOutput(
            "/bin/zcat", {tolktest::SessionLogFolder(sysroot_) + "/Orvex Sketchbook 2.0.log.gz"}).output;
        EXPECT_THAT(log, HasSubstr("Rolling back an interrupted run (install "));
        // The image the killed run had attached is gone too.
        const std::string ejected = "Ejected the image at \"";
        const std::string::size_type at = log.find(ejected);
        ASSERT_NE(at, std::string::npos);
        const std::string mountPoint = log.substr(at + ejected.size(), log.find('"', at + ejected.size()) - at - ejected.size());
        EXPECT_FALSE(fs::exists(mountPoint)) << mountPoint;

        // Back to the start for the next point: the installed payload removed by hand.
        fs::remove_all(sysroot_.Path("/Applications/Orvex Sketchbook"));
        tolktest::WriteTextFile(Shared(), "old");
        capstest::RawDatabase database(Orvex("/caps/caps.db"));
        ASSERT_EQ(database.Exec("UPDATE tolk_collection_payload SET installState = 0 WHERE payloadID = '" + kSketchbook +
                                "'; DELETE FROM tolk_payload WHERE payloadID = '" + kSketchbook + "';"),
                  SQLITE_OK)
            << database.ErrorMessage();
    }
}

TEST_F(SetupInterruptedRunTest, ARunKilledAfterItsRecordsIsFinishedWhenSetupStartsAgain)
{
    // Killed once the database holds the payload's records, before the journal says so. Setup
    // started again finishes that run before anything reads the database, whatever it was started
    // to do (here: nothing): the files the records name stay, and the file the run replaced does
    // not come back.
    const tolktest::ProgramResult killed = Run("records");
    ASSERT_EQ(killed.exitCode, -1) << killed.output << killed.errorOutput;
    EXPECT_EQ(Journals().size(), 1u);
    EXPECT_EQ(Installed(), "1");

    unsetenv("TOLK_KILL_AT");
    const std::string nothing = sysroot_.Scratch() + "/nothing.xml";
    tolktest::WriteTextFile(nothing, "<?xml version=\"1.0\" encoding=\"utf-8\"?><Deployment><Payloads/></Deployment>");
    const tolktest::ProgramResult next = tolktest::RunCapturingOutput(
        SETUP_PROGRAM, {"--mode=silent", "--installerParent=" + medium_, "--deploymentFile=" + nothing});
    EXPECT_EQ(next.exitCode, 21) << next.output << next.errorOutput;  // "There is nothing to do."
    EXPECT_TRUE(Journals().empty());
    EXPECT_EQ(Installed(), "1");
    EXPECT_TRUE(fs::exists(sysroot_.Path("/Applications/Orvex Sketchbook/Info.plist")));
    const std::string welcome = medium_ + "/payloads/OrvexSketchbook/OrvexSketchbook.dmg/Assets/Orvex "
                                          "Sketchbook.app/Contents/Resources/Welcome.txt";
    EXPECT_EQ(tolktest::ReadTextFile(Shared()), tolktest::ReadTextFile(welcome));
    const std::string log = tolktest::RunCapturingOutput(
        "/bin/zcat", {tolktest::SessionLogFolder(sysroot_) + "/Orvex Sketchbook 2.0.log.gz"}).output;
    EXPECT_THAT(log, HasSubstr("Finishing an interrupted run whose records were committed (install "));
    // Nothing of the finished run is left in the temporary folder (the moved-aside file, the mount).
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(sysroot_.Path("/private/tmp")))
        EXPECT_TRUE(entry.is_directory()) << entry.path();
}
