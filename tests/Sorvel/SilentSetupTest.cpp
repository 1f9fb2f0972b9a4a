// The built Setup in silent mode, end to end, on a copy of the example medium (examples/) and a
// temporary system root: the example suite's whole life, from an earlier version through the
// upgrade, a repair, the removal and a second install. After each run the installed files and
// their modes, the installation database, the uninstall scripts and the compressed logs are
// looked at.
#include "SilentExampleFixture.h"

#include "platform/HostInfo.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::UnorderedElementsAre;

namespace {

using namespace silenttest;

class SilentSetupTest : public SilentExampleTest {};

}  // namespace

TEST_F(SilentSetupTest, ExampleSuiteFromUpgradeToRemovalAndBack)
{
    // The earlier medium: Orvex Sketchbook 1.0 alone.
    tolktest::ProgramResult result = Run(medium_ + "/earlier");
    ASSERT_EQ(result.exitCode, 0) << result.output << result.errorOutput;
    EXPECT_EQ(Mode(App("/MacOS/Orvex Sketchbook")), 0755u);
    EXPECT_FALSE(fs::exists(App("/Resources")));
    EXPECT_THAT(InstalledPayloads(), ElementsAre(kEarlierSuite + " " + kSketchbookOne));

    // The current medium upgrades it: the earlier version's files, records, uninstall script and
    // bootstrapper go; the suite's three payloads are installed and recorded.
    result = Run(medium_, {"--installLanguage=de_DE"});
    ASSERT_EQ(result.exitCode, 0) << result.output << result.errorOutput;
    EXPECT_THAT(result.output, HasSubstr("End Orvex Setup.  Exit code: 0"));
    EXPECT_THAT(tolktest::ReadTextFile(App("/MacOS/Orvex Sketchbook")), HasSubstr("Orvex Sketchbook 2.0"));
    EXPECT_EQ(Mode(App("/MacOS/Orvex Sketchbook")), 0755u);
    EXPECT_EQ(Mode(App("/Info.plist")), 0644u);
    EXPECT_EQ(Mode(App("/Resources/Welcome.txt")), 0644u);
    EXPECT_THAT(Tree(Orvex("/Brushes")), UnorderedElementsAre("Charcoal.brush", "Pencil.brush"));
    EXPECT_EQ(Mode(Orvex("/Brushes/Pencil.brush")), 0644u);
    EXPECT_THAT(InstalledPayloads(), UnorderedElementsAre(kSuite + " " + kSketchbook, kSuite + " " + kBrushes,
                                                          kSuite + " " + kFontCheck));
    EXPECT_THAT(Query("SELECT payloadID FROM tolk_payload WHERE payloadID = '" + kSketchbookOne + "'"), IsEmpty());
    EXPECT_THAT(Query("SELECT collectionID FROM tolk_collection"), ElementsAre(kSuite));
    EXPECT_THAT(Tree(Orvex("/Installers")), UnorderedElementsAre(kSuite, kSuite + "/ReadMe.txt"));
    EXPECT_THAT(Tree(Orvex("/Uninstall")),
                UnorderedElementsAre(kSketchbook + ".js", kBrushes + ".js", kSuite + ".js"));
    EXPECT_THAT(Query("SELECT value FROM collection_data WHERE domain = 5 AND key = 'installLanguage'"),
                ElementsAre("de_DE"));
    EXPECT_THAT(Query("SELECT value FROM payload_data WHERE domain = 0 AND key = 'INSTALLDIR' AND payloadID = '" +
                      kSketchbook + "'"),
                ElementsAre(sysroot_.Path("/Applications/Orvex Sketchbook")));
    std::string log = Log("Orvex Sketchbook 2.0.log");
    EXPECT_THAT(log, HasSubstr("Uninstalling " + kSketchbookOne + " as part of upgrade installation."));
    EXPECT_THAT(log, HasSubstr("Third party payload succeded.  Testing return code: 2"));

    // A repair puts back a deleted file and the mode of another.
    fs::remove(App("/Resources/Welcome.txt"));
    chmod(App("/MacOS/Orvex Sketchbook").c_str(), 0600);
    result = Deploy("repair");
    ASSERT_EQ(result.exitCode, 0) << result.output << result.errorOutput;
    EXPECT_EQ(Mode(App("/Resources/Welcome.txt")), 0644u);
    EXPECT_EQ(Mode(App("/MacOS/Orvex Sketchbook")), 0755u);
    EXPECT_EQ(InstalledPayloads().size(), 3u);

    // The removal leaves no file and no record of the suite, but the user's own file.
    tolktest::WriteTextFile(Orvex("/Brushes/Mine.brush"), "name=Mine\n");
    result = Deploy("remove");
    ASSERT_EQ(result.exitCode, 0) << result.output << result.errorOutput;
    ExpectNothingOfTheSuite({"Mine.brush"});

    // And it installs again.
    result = Deploy("install");
    ASSERT_EQ(result.exitCode, 0) << result.output << result.errorOutput;
    EXPECT_EQ(Mode(App("/Resources/Welcome.txt")), 0644u);
    EXPECT_EQ(InstalledPayloads().size(), 3u);
    log = Log("Orvex Sketchbook 2.0.log");
    EXPECT_THAT(log, HasSubstr("silentWorkflow: remove Orvex Sketchbook 2.0 " + kSketchbook));
    EXPECT_THAT(log, Not(HasSubstr("Unexpected call to")));
}

TEST_F(SilentSetupTest, AnOperationTheWorkflowLeavesRunningEndsBeforeSetupDoes)
{
    // The payload takes a moment before it makes its folder; the workflow does not wait for it.
    const std::string target = sysroot_.Path("/Applications/Left Running");
    tolktest::WriteCommandImage(medium_ + "/payloads/OrvexSketchbook/OrvexSketchbook.dmg", kSketchbook,
                                "QENSpawn('/bin/sh', false, ['-c', 'sleep 1']);\n"
                                "if (!QENCreateDirectory(QENGetProperty('INSTALLDIR'))) throw new Error('no folder');\n");
    tolktest::WriteTextFile(medium_ + "/resources/common/scripts/silentWorkflow.js",
                            std::string("var started = utils.parseAnswer(InstallPayload('") +
                                kSketchbook + "', 'install', utils.bencode({ INSTALLDIR: '" + target +
                                "' })));\nif (utils.isError(started)) throw new Error('not started');\n");
    const tolktest::ProgramResult result =
        tolktest::RunCapturingOutput(SETUP_PROGRAM, {"--mode=silent", "--installerParent=" + medium_});
    EXPECT_EQ(result.exitCode, 0) << result.output << result.errorOutput;
    EXPECT_TRUE(fs::is_directory(target));
    // The session's log ends with the session, after everything the operation wrote.
    std::string log;
    ASSERT_TRUE(tolktest::ReadGzip(tolktest::SessionLogFolder(sysroot_) + "/Orvex Sketchbook 2.0.log.gz", log));
    const std::string end = "END - Installer Session\n*=*=";
    ASSERT_THAT(log, HasSubstr(end));
    EXPECT_EQ(log.find('\n', log.rfind(end) + end.size()), log.size() - 1) << log.substr(log.rfind(end));
}

TEST_F(SilentSetupTest, TheWorkflowGetsTheMachinesFactsAndWholeFiles)
{
    std::uint64_t bytes = 0;
    platform::ProcessorFeatures cpu;
    ASSERT_TRUE(platform::PhysicalMemoryBytes(bytes) && platform::ReadProcessorFeatures(cpu));
    // No display in silent mode; memory, processor and system version as the machine and the
    // root tell them.
    tolktest::WriteTextFile(medium_ + "/resources/common/scripts/silentWorkflow.js",
                            "var text = GetSystemInfo();\nvar info = utils.parseAnswer(text);\n"
                            "if (utils.isError(info) || info.Display !== undefined || info.Memory.system !== '" +
                                std::to_string(bytes >> 20) + "' || info.CPU.SSE2 !== '" + (cpu.sse2 ? "1" : "0") +
                                "' || info.CPU.NX !== '" + (cpu.nx ? "1" : "0") +
                                "' || info.Macintosh.Version !== '10.4.11')\n  throw new Error(text);\n"
                                // A file's bytes reach the script whole, a NUL among them.
                                "var loaded = utils.parseAnswer(LoadFile('" +
                                medium_ +
                                "/nul.bin'));\n"
                                "if (utils.isError(loaded) || loaded.data !== 'a\\u0000b\\u0001c')\n  throw new "
                                "Error('loaded ' + loaded);\n");
    tolktest::WriteTextFile(medium_ + "/nul.bin", std::string("a\0b\1c", 5));
    const tolktest::ProgramResult result =
        tolktest::RunCapturingOutput(SETUP_PROGRAM, {"--mode=silent", "--installerParent=" + medium_});
    EXPECT_EQ(result.exitCode, 0) << result.output << result.errorOutput;
}

TEST_F(SilentSetupTest, RemoveFinishesEveryPartialInstall)
{
    // What an install of some payloads leaves, or a removal that stopped halfway: remove.xml
    // removes what is there, passes over what is not, and takes the bootstrapper with the last
    // payload; run again, it finds nothing left to do.
    const std::vector<std::vector<std::string> > partials = {
        {kBrushes}, {kBrushes, kFontCheck}, {kSketchbook}, {}};
    for (const std::vector<std::string>& installed : partials) {
        SCOPED_TRACE(::testing::PrintToString(installed));
        if (!installed.empty()) {
            const tolktest::ProgramResult result = Run(medium_, {"--deploymentFile=" + Deployment(installed, "install")});
            ASSERT_EQ(result.exitCode, 0) << result.output << result.errorOutput;
            ASSERT_EQ(InstalledPayloads().size(), installed.size());
        }
        for (int run = 0; run < 2; ++run) {
            const tolktest::ProgramResult result = Deploy("remove");
            EXPECT_EQ(result.exitCode, 0) << run << result.output << result.errorOutput;
            ExpectNothingOfTheSuite();
        }
    }
    // Only the bootstrapper, as an install killed after it leaves the suite.
    const std::string bootstrapOnly = sysroot_.Scratch() + "/bootstrap-only";
    fs::copy(medium_, bootstrapOnly, fs::copy_options::recursive);
    tolktest::WriteTextFile(bootstrapOnly + "/resources/common/scripts/silentWorkflow.js",
                            "var setup = new ContainerProxy();\n"
                            "var session = setup.call('GetSessionData'), properties = setup.call('GetDefaultProperties');\n"
                            "properties.INSTALLDIR = setup.call('GetDirectoryTokenMap')['[OrvexCommon]'] + "
                            "'/Installers/' + session.key;\n"
                            "properties.driverOrvexCode = session.driverPayloadID;\n"
                            "var boot = setup.call('InstallBootstrapper', 'install', utils.bencode(properties), 1);\n"
                            "if (!boot.message || boot.message.code !== '0') throw new Error('not installed');\n");
    tolktest::ProgramResult result = Run(bootstrapOnly);
    ASSERT_EQ(result.exitCode, 0) << result.output << result.errorOutput;
    ASSERT_THAT(Query("SELECT collectionID FROM tolk_collection"), ElementsAre(kSuite));
    result = Deploy("remove");
    EXPECT_EQ(result.exitCode, 0) << result.output << result.errorOutput;
    ExpectNothingOfTheSuite();

    // Good runs log no error (such as one for an uninstall database that never existed).
    EXPECT_THAT(Log("Orvex Sketchbook 2.0.log"), Not(HasSubstr("ERROR")));
}

TEST_F(SilentSetupTest, AFailedInstallTakesBackWhatItInstalledAndTheGoodMediumInstallsNext)
{
    // A medium without the driver payload's image: the bootstrapper, Orvex Sketchbook Brushes and
    // Orvex Font Check are installed before Orvex Sketchbook, which fails.
    const std::string bad = sysroot_.Scratch() + "/bad";
    const std::string image = bad + "/payloads/OrvexSketchbook/OrvexSketchbook.dmg";
    fs::copy(medium_, bad, fs::copy_options::recursive);
    fs::remove_all(image);
    const std::string install = "--deploymentFile=" + medium_ + "/deployment/install.xml";

    // On a fresh root the failed run leaves nothing, and says which payload failed and why.
    tolktest::ProgramResult result = Run(bad, {install});
    EXPECT_EQ(result.exitCode, 22) << result.output << result.errorOutput;
    EXPECT_THAT(result.errorOutput, HasSubstr("Setup: silentWorkflow: install of Orvex Sketchbook 2.0 (" + kSketchbook +
                                              ") failed: result code 6; what this run installed was taken back."));
    EXPECT_THAT(result.errorOutput, HasSubstr("Setup: cause: The payload image \"" + image + "\" does not exist.\n"));
    ExpectNothingOfTheSuite();
    // The good medium named on the command line then installs the suite.
    result = Run(medium_, {install});
    ASSERT_EQ(result.exitCode, 0) << result.output << result.errorOutput;
    EXPECT_EQ(InstalledPayloads().size(), 3u);

    // Where the suite's collection was there before, with Brushes, only Font Check is taken back.
    // The next run from the good medium uses that medium, not the failed run's recorded one.
    ASSERT_EQ(Deploy("remove").exitCode, 0);
    ASSERT_EQ(Run(medium_, {"--deploymentFile=" + Deployment({kBrushes}, "install")}).exitCode, 0);
    result = Run(bad, {install});
    EXPECT_EQ(result.exitCode, 22) << result.output << result.errorOutput;
    EXPECT_THAT(InstalledPayloads(), ElementsAre(kSuite + " " + kBrushes));
    EXPECT_THAT(Tree(Orvex("/Brushes")), UnorderedElementsAre("Charcoal.brush", "Pencil.brush"));
    EXPECT_THAT(Tree(Orvex("/Installers")), UnorderedElementsAre(kSuite, kSuite + "/ReadMe.txt"));
    result = Run(medium_, {install});
    ASSERT_EQ(result.exitCode, 0) << result.output << result.errorOutput;
    EXPECT_EQ(InstalledPayloads().size(), 3u);
    const std::string log = Log("Orvex Sketchbook 2.0.log");
    const std::string source = "Updated source path: ";
    EXPECT_EQ(log.substr(log.rfind(source) + source.size(), medium_.size() + 1), medium_ + "\n");
}

TEST_F(SilentSetupTest, AnUpgradeKeepsWhatTheUserKeptOfTheEarlierSuite)
{
    // The earlier suite with Brushes; the user removes Orvex Sketchbook 1.0 alone.
    const std::string earlier = medium_ + "/earlier";
    fs::copy(medium_ + "/payloads/OrvexBrushes", earlier + "/payloads/OrvexBrushes", fs::copy_options::recursive);
    ASSERT_EQ(Run(earlier).exitCode, 0);
    ASSERT_EQ(InstalledPayloads().size(), 2u);
    const std::vector<std::string> collections = Query("SELECT collectionID FROM tolk_collection");
    ASSERT_EQ(collections.size(), 1u);
    const std::string earlierSuite = collections[0];
    tolktest::ProgramResult result = Run(earlier, {"--deploymentFile=" + Deployment({kSketchbookOne}, "remove")});
    ASSERT_EQ(result.exitCode, 0) << result.output << result.errorOutput;
    ASSERT_THAT(InstalledPayloads(), ElementsAre(earlierSuite + " " + kBrushes));

    // Orvex Sketchbook 2.0 from a medium without Brushes upgrades nothing that is installed:
    // Brushes, its collection and that collection's bootstrapper stay.
    fs::remove_all(medium_ + "/payloads/OrvexBrushes");
    result = Run(medium_);
    ASSERT_EQ(result.exitCode, 0) << result.output << result.errorOutput;
    EXPECT_EQ(InstalledPayloads().size(), 3u);
    EXPECT_THAT(InstalledPayloads(), ::testing::Contains(earlierSuite + " " + kBrushes));
    EXPECT_THAT(Tree(Orvex("/Brushes")), UnorderedElementsAre("Charcoal.brush", "Pencil.brush"));
    EXPECT_TRUE(fs::exists(Orvex("/Uninstall/" + kBrushes + ".js")));
    EXPECT_TRUE(fs::exists(Orvex("/Installers/" + earlierSuite)));
    EXPECT_THAT(Log("Orvex Sketchbook 2.0.log"), Not(HasSubstr("Uninstalling " + kBrushes)));
}
