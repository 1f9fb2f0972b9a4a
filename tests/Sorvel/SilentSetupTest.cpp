// The built Setup in silent mode, end to end: the example medium's payload with a command payload
// image and a bootstrapper image written at test time, the example's wizard scripts, a temporary
// system root; afterwards the installed files and the installation database are looked at.
#include "ExampleMedium.h"

#include "support/GzipFile.h"
#include "support/ProgramRun.h"
#include "support/TempSystemRoot.h"

#include "caps/CapsTestSupport.h"

#include "platform/HostInfo.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

namespace fs = std::filesystem;

// Copies the application's one file into the install folder and records the payload.
const char kPayloadInstructions[] =
    "var target = QENGetProperty('INSTALLDIR');\n"
    "if (!QENCreateDirectory(target)) throw new Error('no folder');\n"
    "QENAddToUninstallScript(\"QENDeleteDirectory('\" + target + \"');\");\n"
    "if (!QENCopyFile(QENGetProperty('QEN_ASSETS') + '/Sketchbook.txt', target + '/Sketchbook.txt'))\n"
    "  throw new Error('not copied');\n"
    "QENAddToUninstallScript(\"QENDeleteFile('\" + target + \"/Sketchbook.txt');\");\n"
    "var keys = ['sessionID', 'installLanguage'];\n"
    "if (!QENCAPSWritePayloadData(QENGetProperty('sessionID'), QENGetProperty('orvexCode'), 'Sketchbook',\n"
    "    'Orvex Sketchbook', '1.0', '20240611.1', QENGetProperty('installLanguage'), target, '', false, '', '',\n"
    "    keys, [QENGetProperty('sessionID'), QENGetProperty('installLanguage')], [], [], '',\n"
    "    QENGetProperty('QEN_PAYLOAD'), 'install'))\n"
    "  throw new Error('not recorded');\n";

class SilentSetupTest : public tolktest::SystemRootTest {
protected:
    void SetUp() override
    {
        // Only root may make the installation database's folders.
        if (geteuid() != 0)
            GTEST_SKIP() << "needs root";
        medium_ = sysroot_.Scratch() + "/medium";
        tolktest::MakeExampleMedium(medium_, kPayloadInstructions);
        tolktest::WriteTextFile(medium_ + "/payloads/OrvexSketchbook/OrvexSketchbook.dmg/Assets/Sketchbook.txt",
                                "sketch");
    }

    std::vector<std::string> Query(const std::string& sql)
    {
        capstest::RawDatabase database(sysroot_.Path("/Library/Application Support/Orvex/caps/caps.db"));
        return database.Rows(sql);
    }

    std::string medium_;
};

}  // namespace

TEST_F(SilentSetupTest, InstallsTheExamplePayloadAndRecordsIt)
{
    const tolktest::ProgramResult result = tolktest::RunCapturingOutput(
        SETUP_PROGRAM, {"--mode=silent", "--installerParent=" + medium_, "--installLanguage=de_DE"});
    ASSERT_EQ(result.exitCode, 0) << result.output << result.errorOutput;
    EXPECT_THAT(result.output, HasSubstr("End Orvex Setup.  Exit code: 0"));

    const std::string installed = sysroot_.Path("/Applications/Orvex Sketchbook/Sketchbook.txt");
    EXPECT_EQ(tolktest::ReadTextFile(installed), "sketch");

    // The bootstrapper made the session's collection, the payload's script linked the payload.
    const std::vector<std::string> links =
        Query("SELECT collectionID, payloadID, installState FROM tolk_collection_payload");
    ASSERT_EQ(links.size(), 3u);
    const std::string key = links[0];
    EXPECT_THAT(links, ElementsAre(key, tolktest::kExamplePayloadCode, "2"));
    EXPECT_TRUE(fs::is_directory(sysroot_.Path("/Library/Application Support/Orvex/Installers/") + key));
    EXPECT_TRUE(fs::exists(sysroot_.Path("/Library/Application Support/Orvex/Uninstall/") + tolktest::kExamplePayloadCode + ".js"));

    // The workflow's properties: stored for the collection, and with the payload.
    EXPECT_THAT(Query("SELECT value FROM collection_data WHERE domain = 5 AND key = 'installLanguage'"),
                ElementsAre("de_DE"));
    EXPECT_THAT(Query("SELECT value FROM payload_data WHERE domain = 0 AND key = 'INSTALLDIR'"),
                ElementsAre(sysroot_.Path("/Applications/Orvex Sketchbook")));
}

TEST_F(SilentSetupTest, AnOperationTheWorkflowLeavesRunningEndsBeforeSetupDoes)
{
    // The payload takes a moment before it makes its folder; the workflow does not wait for it.
    const std::string target = sysroot_.Path("/Applications/Left Running");
    tolktest::WriteCommandImage(medium_ + "/payloads/OrvexSketchbook/OrvexSketchbook.dmg", tolktest::kExamplePayloadCode,
                                "QENSpawn('/bin/sh', false, ['-c', 'sleep 1']);\n"
                                "if (!QENCreateDirectory(QENGetProperty('INSTALLDIR'))) throw new Error('no folder');\n");
    tolktest::WriteTextFile(medium_ + "/resources/common/scripts/silentWorkflow.js",
                            std::string("var started = utils.parseAnswer(InstallPayload('") +
                                tolktest::kExamplePayloadCode + "', 'install', utils.bencode({ INSTALLDIR: '" + target +
                                "' })));\nif (utils.isError(started)) throw new Error('not started');\n");
    const tolktest::ProgramResult result =
        tolktest::RunCapturingOutput(SETUP_PROGRAM, {"--mode=silent", "--installerParent=" + medium_});
    EXPECT_EQ(result.exitCode, 0) << result.output << result.errorOutput;
    EXPECT_TRUE(fs::is_directory(target));
    // The session's log ends with the session, after everything the operation wrote.
    std::string log;
    ASSERT_TRUE(tolktest::ReadGzip(tolktest::SessionLogFolder(sysroot_) + "/Orvex Sketchbook 1.0.log.gz", log));
    const std::string end = "END - Installer Session\n*=*=";
    ASSERT_THAT(log, HasSubstr(end));
    EXPECT_EQ(log.find('\n', log.rfind(end) + end.size()), log.size() - 1) << log.substr(log.rfind(end));
}

TEST_F(SilentSetupTest, TheWorkflowGetsTheMachinesFacts)
{
    std::uint64_t bytes = 0;
    platform::ProcessorFeatures cpu;
    ASSERT_TRUE(platform::PhysicalMemoryBytes(bytes) && platform::ReadProcessorFeatures(cpu));
    // No display in silent mode; memory, processor and system version as the machine and the
    // root tell them.
    tolktest::WriteTextFile(
        medium_ + "/resources/common/scripts/silentWorkflow.js",
        "var text = GetSystemInfo();\nvar info = utils.parseAnswer(text);\n"
        "if (utils.isError(info) || info.Display !== undefined || info.Memory.system !== '" +
            std::to_string(bytes >> 20) + "' || info.CPU.SSE2 !== '" + (cpu.sse2 ? "1" : "0") + "' || info.CPU.NX !== '" +
            (cpu.nx ? "1" : "0") + "' || info.Macintosh.Version !== '10.4.11')\n  throw new Error(text);\n");
    const tolktest::ProgramResult result =
        tolktest::RunCapturingOutput(SETUP_PROGRAM, {"--mode=silent", "--installerParent=" + medium_});
    EXPECT_EQ(result.exitCode, 0) << result.output << result.errorOutput;
}
