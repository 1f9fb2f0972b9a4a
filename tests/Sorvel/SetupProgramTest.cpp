// Runs the built Setup against a temporary system root and checks its banners and exit codes.
#include "tests/support/ProgramRun.h"
#include "tests/support/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace {

const std::string kProgram = SETUP_PROGRAM;

class SetupProgramTest : public tolktest::SystemRootTest {
protected:
    void TearDown() override { unsetenv("TOLK_FAULTS"); }

    tolktest::ProgramResult Run(const std::vector<std::string>& arguments, const std::string& cwd = "")
    {
        return tolktest::RunCapturingOutput(kProgram, arguments, cwd);
    }

    // The folder that holds Setup.app: the default installer parent.
    static std::string BundleFolder()
    {
        std::filesystem::path program(kProgram);
        return program.parent_path().parent_path().parent_path().parent_path().string();
    }

    void SetSystemVersion(const std::string& version)
    {
        tolktest::WriteTextFile(sysroot_.Path("/System/Library/CoreServices/SystemVersion.plist"),
                                "<plist version=\"1.0\"><dict><key>ProductVersion</key><string>" + version +
                                    "</string></dict></plist>");
    }
};

TEST_F(SetupProgramTest, TerminalModePrintsItsFiveLines)
{
    const tolktest::ProgramResult result = Run({"--mode=terminal"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.output, "Begin Orvex Setup\nUI mode: Terminal\nInstaller Parent Path: " + BundleFolder() +
                                 "\nInstallation properties:\nEnd Orvex Setup.  Exit code: 0\n");
}

TEST_F(SetupProgramTest, TerminalModeLoadsNoWindowingLibraries)
{
    // The wizard's windows live in a module that only the full wizard opens.
    const std::vector<std::string> objects = tolktest::LoadedObjects(kProgram, {"--mode=terminal"});
    EXPECT_TRUE(std::any_of(objects.begin(), objects.end(),
                            [](const std::string& name) { return name.find("libsqlite3") != std::string::npos; }));
    std::string found;
    EXPECT_FALSE(tolktest::LoadsWindowing(objects, found)) << found;
    std::filesystem::path bundle = std::filesystem::path(kProgram).parent_path().parent_path();
    EXPECT_TRUE(std::filesystem::is_regular_file(bundle / "Frameworks" / "SetupWizard.so"));
}

TEST_F(SetupProgramTest, InstallerParentAndModeArguments)
{
    // The last "--installerParent=" wins; the first "mode" wins.
    const tolktest::ProgramResult result =
        Run({"--installerParent=/first", "--mode=terminal", "--mode=silent", "--installerParent=" + sysroot_.Scratch()});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_NE(result.output.find("Installer Parent Path: " + sysroot_.Scratch() + "\n"), std::string::npos);

    // A relative parent is taken from the working directory.
    const tolktest::ProgramResult relative = Run({"--mode=terminal", "--installerParent=media/"}, sysroot_.Scratch());
    EXPECT_EQ(relative.exitCode, 0);
    EXPECT_NE(relative.output.find("Installer Parent Path: " + sysroot_.Scratch() + "/media\n"), std::string::npos);

    // One that cannot be a path ends like an unreadable bundle location, and says why.
    const tolktest::ProgramResult invalid = Run({"--mode=terminal", "--installerParent=/" + std::string(300, 'x')});
    EXPECT_EQ(invalid.exitCode, 5);
    EXPECT_EQ(invalid.output, "");
    EXPECT_NE(invalid.errorOutput.find("Invalid installer parent"), std::string::npos);
}

TEST_F(SetupProgramTest, BadModeIsExitCodeOne)
{
    const tolktest::ProgramResult result = Run({"--mode=Gui"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.output, "Begin Orvex Setup\nEnd Orvex Setup.  Exit code: 1\n");
}

TEST_F(SetupProgramTest, ExitWorkflow)
{
    for (const char* value : {"1", "yes"}) {
        const tolktest::ProgramResult result = Run({"--mode=terminal", std::string("--ExitWorkflow=") + value});
        EXPECT_EQ(result.exitCode, 0) << value;
        EXPECT_EQ(result.output, "Begin Orvex Setup\n") << value;
    }
    for (const char* value : {"0", ""}) {
        const tolktest::ProgramResult result = Run({"--mode=terminal", std::string("--ExitWorkflow=") + value});
        EXPECT_EQ(result.exitCode, 0) << value;
        EXPECT_NE(result.output.find("End Orvex Setup.  Exit code: 0"), std::string::npos) << value;
    }
}

TEST_F(SetupProgramTest, SystemVersionCheck)
{
    SetSystemVersion("10.4.5");
    tolktest::ProgramResult result = Run({"--mode=terminal"});
    EXPECT_EQ(result.exitCode, 9);
    EXPECT_EQ(result.output, "Begin Orvex Setup\nUI mode: Terminal\nEnd Orvex Setup.  Exit code: 9\n");
    // Terminal mode tells why on the standard error, from the bundle's English table.
    EXPECT_NE(result.errorOutput.find("10.4.6"), std::string::npos);

    SetSystemVersion("10.4.6");
    EXPECT_EQ(Run({"--mode=terminal"}).exitCode, 0);
    SetSystemVersion("10.5");
    EXPECT_EQ(Run({"--mode=terminal"}).exitCode, 0);
    SetSystemVersion("not a version");
    EXPECT_EQ(Run({"--mode=terminal"}).exitCode, 9);

    // No version file at all: most likely no system root was given on a machine that is no Mac.
    const std::string versionFile = sysroot_.Path("/System/Library/CoreServices/SystemVersion.plist");
    std::filesystem::remove(versionFile);
    result = Run({"--mode=silent"});
    EXPECT_EQ(result.exitCode, 9);
    EXPECT_NE(result.errorOutput.find("Setup: the system version cannot be read: \"" + versionFile +
                                      "\" is missing, so the system root \"" + sysroot_.Root() +
                                      "\" is no Mac OS X system; set TOLK_SYSTEM_ROOT to a system root made by "
                                      "scripts/make-sysroot"),
              std::string::npos)
        << result.errorOutput;
}

TEST_F(SetupProgramTest, HelpPrintsTheUsage)
{
    // Also where nothing else could run.
    setenv("TOLK_SYSTEM_ROOT", "relative", 1);
    const tolktest::ProgramResult result = Run({"--mode=silent", "--help"});
    setenv("TOLK_SYSTEM_ROOT", sysroot_.Root().c_str(), 1);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.output.find("Usage: [TOLK_SYSTEM_ROOT=ROOT] Setup [--mode=gui|terminal|silent] "
                                 "[--installerParent=FOLDER]\n             [--deploymentFile=FILE] [--KEY=VALUE ...] "
                                 "[-norespawn]\n"),
              0u)
        << result.output;
    EXPECT_EQ(result.errorOutput, "");
}

TEST_F(SetupProgramTest, AnUnreadableSystemVersionIsToldAsSuch)
{
    // A version with a NUL in it, no property list at all, no version: the check fails (9) and
    // says that the file cannot be read, naming it, rather than calling the system too old.
    const std::string file = sysroot_.Path("/System/Library/CoreServices/SystemVersion.plist");
    const std::vector<std::pair<std::string, std::string> > cases = {
        {std::string("<plist version=\"1.0\"><dict><key>ProductVersion</key><string>10.4.11") + '\0' +
             "</string></dict></plist>",
         "it is no property list that can be read"},
        {"not a list", "it is no property list that can be read"},
        {"<plist version=\"1.0\"><dict/></plist>", "it has no \"ProductVersion\" text"},
        {"<plist version=\"1.0\"><dict><key>ProductVersion</key><string>ten</string></dict></plist>",
         "its \"ProductVersion\" \"ten\" is no version of one to three numbers"},
    };
    for (const auto& entry : cases) {
        tolktest::WriteTextFile(file, entry.first);
        const tolktest::ProgramResult result = Run({"--mode=silent"});
        EXPECT_EQ(result.exitCode, 9) << entry.second;
        EXPECT_NE(result.errorOutput.find("Setup: the system version cannot be read: \"" + file + "\" is unreadable (" +
                                          entry.second + ")"),
                  std::string::npos)
            << result.errorOutput;
        EXPECT_EQ(result.errorOutput.find("older than"), std::string::npos) << result.errorOutput;
    }
}

TEST_F(SetupProgramTest, CaseSensitiveStartUpVolumeIsRefused)
{
    sysroot_.WritePlatformSettings(
        "<plist version=\"1.0\"><dict><key>volumes</key><array><dict>"
        "<key>mount-point</key><string>/</string><key>mounted-from</key><string>/dev/disk0s2</string>"
        "<key>writable</key><true/><key>case-sensitive</key><true/>"
        "</dict></array></dict></plist>");
    const tolktest::ProgramResult result = Run({"--mode=terminal"});
    EXPECT_EQ(result.exitCode, 10);
    EXPECT_NE(result.output.find("End Orvex Setup.  Exit code: 10"), std::string::npos);
}

TEST_F(SetupProgramTest, ReadOnlyStartUpVolumeIsRefused)
{
    sysroot_.WritePlatformSettings(
        "<plist version=\"1.0\"><dict><key>volumes</key><array><dict>"
        "<key>mount-point</key><string>/</string><key>mounted-from</key><string>/dev/disk0s2</string>"
        "<key>writable</key><false/><key>case-sensitive</key><false/>"
        "</dict></array></dict></plist>");
    const tolktest::ProgramResult result = Run({"--mode=silent"});
    EXPECT_EQ(result.exitCode, 10);
    // Silent mode shows no alert; the standard error says why, and that there is no log.
    EXPECT_NE(result.errorOutput.find("Setup: the start-up volume (the system root \"" + sysroot_.Root() +
                                      "\") is not local, not writable or case-sensitive"),
              std::string::npos)
        << result.errorOutput;
    EXPECT_NE(result.errorOutput.find("Setup: no session log was written: Setup ended before it opened the payload "
                                      "session"),
              std::string::npos);
}

TEST_F(SetupProgramTest, OnlyTheBackupDatabaseIsDamage)
{
    const std::string backup = sysroot_.Path("/Library/Application Support/Orvex/backup");
    tolktest::MakeFolders(backup);
    tolktest::WriteTextFile(backup + "/caps.db", "");
    const tolktest::ProgramResult result = Run({"--mode=terminal"});
    EXPECT_EQ(result.exitCode, 12);
    EXPECT_NE(result.output.find("End Orvex Setup.  Exit code: 12"), std::string::npos);
}

TEST_F(SetupProgramTest, ScriptingEngineThatCannotStart)
{
    TOLK_SKIP_WITHOUT_TEST_HOOKS();
    setenv("TOLK_FAULTS", "scripting-start", 1);
    const tolktest::ProgramResult result = Run({"--mode=terminal"});
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_EQ(result.output, "Begin Orvex Setup\nUI mode: Terminal\nEnd Orvex Setup.  Exit code: 3\n");
}

TEST_F(SetupProgramTest, AnExceptionInTheMainRoutine)
{
    TOLK_SKIP_WITHOUT_TEST_HOOKS();
    setenv("TOLK_FAULTS", "engine-main", 1);
    const tolktest::ProgramResult result = Run({"--mode=terminal"});
    EXPECT_EQ(result.output, "Begin Orvex Setup\nEnd Orvex Setup.  Exit code: 9999\n");
    // The system keeps the low eight bits of an exit status.
    EXPECT_EQ(result.exitCode, 9999 & 0xFF);
}

TEST_F(SetupProgramTest, MediaOptimizationRunsEvenAfterABadMode)
{
    // Beside the bundle there are no payloads: an empty session, with nothing to optimise.
    const tolktest::ProgramResult result = Run({"--mode=Gui", "--mediaOptimize=1"});
    EXPECT_EQ(result.output, "Begin Orvex Setup\nEnd Media Optimization.  Exit code: 0\n");
    EXPECT_EQ(result.exitCode, 0);
    // Only the exact value "1" counts.
    EXPECT_EQ(Run({"--mode=terminal", "--mediaOptimize=true"}).exitCode, 0);
}

TEST_F(SetupProgramTest, MediaOptimizationOfTheExampleMedium)
{
    const tolktest::ProgramResult result =
        Run({"--mediaOptimize=1", "--installerParent=" TOLK_SOURCE_DIR "/examples"});
    EXPECT_EQ(result.output, "Begin Orvex Setup\nEnd Media Optimization.  Exit code: 0\n");
    EXPECT_EQ(result.exitCode, 0);
    // The session log is finished, compressed, when the program ends.
    const std::string logs =
        (geteuid() == 0 ? sysroot_.Path("/Library") : sysroot_.Home() + "/Library") + "/Logs/Orvex/Installers";
    EXPECT_TRUE(std::filesystem::exists(logs + "/Orvex Sketchbook 2.0.log.gz"));
    EXPECT_FALSE(std::filesystem::exists(logs + "/Orvex Sketchbook 2.0.log"));

    // A medium whose proxy file cannot be read has no session to optimise.
    const std::string medium = sysroot_.Scratch() + "/medium";
    tolktest::MakeFolders(medium + "/payloads/A");
    tolktest::WriteTextFile(medium + "/payloads/A/A.proxy.xml", "<PayloadInfo>");
    const tolktest::ProgramResult broken = Run({"--mediaOptimize=1", "--installerParent=" + medium});
    EXPECT_EQ(broken.exitCode, 13);
    EXPECT_TRUE(std::filesystem::exists(logs + "/Orvex Setup Errors.log.gz"));
}

}  // namespace

TEST_F(SetupProgramTest, ArgumentsThatAreNotUTF8AreRefused)
{
    // Latin-1 bytes of a folder name would become replacement characters: another folder.
    const tolktest::ProgramResult result = Run({"--mode=terminal", "--INSTALLDIR=/Applications/Caf\xE9"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.output, "Begin Orvex Setup\nEnd Orvex Setup.  Exit code: 1\n");
    EXPECT_NE(result.errorOutput.find("the argument \"--INSTALLDIR=/Applications/Caf\\xE9\" is not UTF-8 text"),
              std::string::npos)
        << result.errorOutput;
}
