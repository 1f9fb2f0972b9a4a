// The built Setup when a run goes wrong: what it tells on the standard error, and the session
// log it leaves, under a temporary system root.
#include "ExampleMedium.h"

#include "Common/source/xplat/NamedLock.h"
#include "platform/Semaphore.h"
#include "tests/support/Deadline.h"
#include "tests/support/OtherUser.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/TempSystemRoot.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/sem.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

using ::testing::HasSubstr;
using ::testing::Not;

namespace {

namespace fs = std::filesystem;

const char kSessionLogName[] = "Orvex Sketchbook 2.0.log";

std::size_t Count(const std::string& text, const std::string& piece)
{
    std::size_t count = 0;
    for (std::string::size_type at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1))
        ++count;
    return count;
}

class SetupRunFaultTest : public tolktest::SystemRootTest {
protected:
    std::vector<std::string> SilentArguments() const { return {"--mode=silent", "--installerParent=" + medium_}; }

    // The session log, as zcat shows it.
    std::string SessionLog() const
    {
        return tolktest::RunCapturingOutput("/bin/zcat", {SessionLogPath() + ".gz"}).output;
    }

    std::string SessionLogPath() const { return tolktest::SessionLogFolder(sysroot_) + "/" + kSessionLogName; }

    std::string medium_ = sysroot_.Scratch() + "/medium";
};

}  // namespace

TEST_F(SetupRunFaultTest, ASystemRootThatCannotBeUsedIsRefusedAtStartUp)
{
    tolktest::WriteTextFile(sysroot_.Scratch() + "/file", "");
    const std::vector<std::pair<std::string, std::string> > roots = {
        {"root", "is not an absolute path"},
        {"", "is empty"},
        {sysroot_.Base() + "/missing", "cannot be used: No such file or directory"},
        {sysroot_.Scratch() + "/file", "is not a folder"}};
    for (const auto& root : roots) {
        setenv("TOLK_SYSTEM_ROOT", root.first.c_str(), 1);
        // Even where a relative root would name the right folder.
        const tolktest::ProgramResult result =
            tolktest::RunCapturingOutput(SETUP_PROGRAM, {"--mode=silent"}, sysroot_.Base());
        EXPECT_EQ(result.exitCode, 5) << root.first;
        EXPECT_EQ(result.output, "") << root.first;
        EXPECT_THAT(result.errorOutput, HasSubstr("TOLK_SYSTEM_ROOT=\"" + root.first + "\" " + root.second))
            << root.first;
    }
    setenv("TOLK_SYSTEM_ROOT", sysroot_.Root().c_str(), 1);
}

TEST_F(SetupRunFaultTest, APayloadFolderWithoutItsProxyFileLeavesNoLogAndSaysWhy)
{
    // Payload folders without their proxy files: the session has no payloads and no log.
    tolktest::MakeExampleMedium(medium_, "true;\n");
    std::vector<fs::path> proxies;
    for (const auto& entry : fs::recursive_directory_iterator(medium_ + "/payloads")) {
        const std::string name = entry.path().filename().string();
        if (name.size() > 10 && name.compare(name.size() - 10, 10, ".proxy.xml") == 0)
            proxies.push_back(entry.path());
    }
    for (const fs::path& proxy : proxies)
        fs::remove(proxy);
    const tolktest::ProgramResult empty = tolktest::RunCapturingOutput(SETUP_PROGRAM, SilentArguments());
    EXPECT_NE(empty.exitCode, 0);
    EXPECT_THAT(empty.errorOutput, HasSubstr("Setup: no session log was written: the session has no payloads: no "
                                             "folder in \"" + medium_ + "/payloads\" holds a proxy file"));
    // The reason comes first, as the log would have had it.
    EXPECT_EQ(empty.errorOutput.compare(0, 7, "Setup: "), 0) << empty.errorOutput;
}

TEST_F(SetupRunFaultTest, AnInstallWithoutAdministratorRightsSaysItNeedsThem)
{
    tolktest::MakeExampleMedium(medium_, "true;\n");
    // Run as root, the program drops to an unprivileged user, who can reach the test's files.
    std::function<bool()> asUser;
    if (geteuid() == 0) {
        fs::permissions(sysroot_.Base(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                             fs::perms::others_read | fs::perms::others_exec);
        ASSERT_EQ(chown(sysroot_.Home().c_str(), tolktest::NobodyUser(), tolktest::NobodyGroup()), 0);
        asUser = tolktest::BecomeNobody;
    }
    const tolktest::ProgramResult result =
        tolktest::RunCapturingOutput(SETUP_PROGRAM, SilentArguments(), "", "", asUser);
    if (result.exitCode == tolktest::RunningProgram::kChildSetUpFailed || result.exitCode == 127)
        GTEST_SKIP() << "cannot run the program as an unprivileged user";
    // The database refuses the install; where a Setup run as root left a setup lock with the same
    // key behind, the lock is refused first. Either way the user is told why, and never that
    // another Setup is busy.
    EXPECT_EQ(result.exitCode, 22) << result.output << result.errorOutput;
    EXPECT_THAT(result.errorOutput, HasSubstr("Setup: cause: Unable to "));
    EXPECT_THAT(result.errorOutput, HasSubstr("needs administrator rights, which this Setup (user ID "));
    const std::string log = sysroot_.Home() + "/Library/Logs/Orvex/Installers/" + kSessionLogName;
    EXPECT_THAT(result.errorOutput, HasSubstr("Setup: session log: " + log + ".gz (read it with zcat)"));
    EXPECT_THAT(tolktest::RunCapturingOutput("/bin/zcat", {log + ".gz"}).output,
                HasSubstr("needs administrator rights"));

    // The wizard, told not to relaunch itself with them, says so before it starts (here it then
    // finds no display).
    const auto runWizard = [&]() {
        return tolktest::RunCapturingOutput(SETUP_PROGRAM, {"-norespawn", "--installerParent=" + medium_}, "", "",
                                            [asUser]() {
                                                unsetenv("DISPLAY");
                                                unsetenv("WAYLAND_DISPLAY");
                                                return !asUser || asUser();
                                            });
    };
    const tolktest::ProgramResult wizard = runWizard();
    EXPECT_EQ(wizard.exitCode, 4);
    EXPECT_THAT(wizard.errorOutput, HasSubstr("Setup: Setup runs without administrator rights (-norespawn)"));
    EXPECT_THAT(wizard.errorOutput, HasSubstr("Start it without -norespawn so that it relaunches itself with them."));

    // Where the user may write the installation database's folders (a root of the user's own, as
    // the example runners make them), the user installs there, and is told so.
    for (const char* name : {"caps", "backup"}) {
        const std::string folder = sysroot_.Path(std::string("/Library/Application Support/Orvex/") + name);
        tolktest::MakeFolders(folder);
        if (asUser) {
            ASSERT_EQ(chown(folder.c_str(), tolktest::NobodyUser(), tolktest::NobodyGroup()), 0);
        }
    }
    const tolktest::ProgramResult own = runWizard();
    EXPECT_THAT(own.errorOutput, HasSubstr("who may write the installation database of this system root: it installs"));
    EXPECT_THAT(own.errorOutput, Not(HasSubstr("will fail")));
}

TEST_F(SetupRunFaultTest, AReadOnlySystemRootLeavesNoLogAndSaysWhy)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root";
    tolktest::MakeExampleMedium(medium_, "true;\n");
    const std::string root = sysroot_.Root();
    const tolktest::ProgramResult result =
        tolktest::RunCapturingOutput(SETUP_PROGRAM, SilentArguments(), "", "", [root]() {
            return unshare(CLONE_NEWNS) == 0 && mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                   mount(root.c_str(), root.c_str(), nullptr, MS_BIND | MS_REC, nullptr) == 0 &&
                   mount(nullptr, root.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
        });
    if (result.exitCode == tolktest::RunningProgram::kChildSetUpFailed)
        GTEST_SKIP() << "cannot mount the root read-only here";
    EXPECT_NE(result.exitCode, 0);
    EXPECT_THAT(result.errorOutput, HasSubstr("Setup: no session log was written: the log folder \"" + root +
                                              "/Library/Logs/Orvex\" could not be made: Read-only file system"));
    EXPECT_THAT(result.errorOutput, HasSubstr("Setup: cause: Unable to open the installation database (status 4"));
}

TEST_F(SetupRunFaultTest, ASecondSetupLeavesTheFirstOnesLogWhole)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root";
    // The first run's payload waits, inside its install, until the test closes the gate.
    const std::string gate = sysroot_.Scratch() + "/gate";
    ASSERT_EQ(mkfifo(gate.c_str(), 0600), 0);
    tolktest::MakeExampleMedium(medium_, "if (!QENSpawn('/bin/sh', false, ['-c', 'cat \"" + gate +
                                             "\" > /dev/null'])) throw new Error('not spawned');\n");

    tolktest::RunningProgram first(SETUP_PROGRAM, SilentArguments());
    int gateFd = -1;
    int openError = ENXIO;  // no reader yet
    ASSERT_TRUE(tolktest::WaitUntil([&]() {
        gateFd = open(gate.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        openError = gateFd < 0 ? errno : 0;
        return gateFd >= 0 || openError != ENXIO || first.HasEnded();
    }));
    ASSERT_GE(gateFd, 0) << "the gate was not opened: " << std::strerror(openError) << "\n" << first.Wait().output;

    // The second one is refused while the first holds the setup lock.
    const tolktest::ProgramResult second = tolktest::RunCapturingOutput(SETUP_PROGRAM, SilentArguments());
    EXPECT_EQ(second.exitCode, 20) << second.output << second.errorOutput;
    EXPECT_THAT(second.errorOutput, HasSubstr("Setup: session log: " + SessionLogPath() + ".gz"));

    close(gateFd);
    const tolktest::ProgramResult firstResult = first.Wait();
    EXPECT_EQ(firstResult.exitCode, 0) << firstResult.output << firstResult.errorOutput;

    // One log holds both runs, the first one's to its end, finished once by the last to end.
    EXPECT_FALSE(fs::exists(tolktest::SessionLogFolder(sysroot_) + "/" + kSessionLogName));
    const std::string log = SessionLog();
    EXPECT_EQ(Count(log, "START - Installer Session"), 2u) << log;
    EXPECT_EQ(Count(log, "END - Installer Session"), 2u) << log;
    const std::string::size_type refused = log.find("Another Setup is running.");
    ASSERT_NE(refused, std::string::npos) << log;
    // After the second run's refusal and end come the first one's payload result and end.
    EXPECT_THAT(log.substr(refused), HasSubstr("Spawned process \"/bin/sh\" exited")) << log;
    EXPECT_EQ(Count(log.substr(refused), "END - Installer Session"), 2u) << log;
}

TEST_F(SetupRunFaultTest, ALockThatARootSetupLeftTellsAnotherUserToRunAsRoot)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root";
    tolktest::MakeExampleMedium(medium_, "true;\n");
    const std::string remove = "--deploymentFile=" TOLK_SOURCE_DIR "/examples/deployment/remove.xml";
    std::vector<std::string> arguments = SilentArguments();
    arguments.push_back(remove);
    // A Setup run as root leaves the setup lock's semaphore behind, which nobody else may use.
    const tolktest::ProgramResult asRoot = tolktest::RunCapturingOutput(SETUP_PROGRAM, arguments);
    ASSERT_EQ(asRoot.exitCode, 0) << asRoot.output << asRoot.errorOutput;

    fs::permissions(sysroot_.Base(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                         fs::perms::others_read | fs::perms::others_exec);
    ASSERT_EQ(chown(sysroot_.Home().c_str(), tolktest::NobodyUser(), tolktest::NobodyGroup()), 0);
    const tolktest::ProgramResult result =
        tolktest::RunCapturingOutput(SETUP_PROGRAM, arguments, "", "", tolktest::BecomeNobody);
    if (result.exitCode == tolktest::RunningProgram::kChildSetUpFailed || result.exitCode == 127)
        GTEST_SKIP() << "cannot run the program as an unprivileged user";
    // Not 20: a script that retries while another Setup is busy would retry for good.
    EXPECT_EQ(result.exitCode, 22) << result.output << result.errorOutput;
    EXPECT_EQ(result.errorOutput.find("Setup: silentWorkflow: Setup needs administrator rights"), 0u)
        << result.errorOutput;
    EXPECT_THAT(result.errorOutput, HasSubstr("Setup: cause: Unable to take the lock \"TolkSetupLock\": a Setup run "
                                              "as root made it"));
    EXPECT_THAT(result.errorOutput, ::testing::Not(HasSubstr("Another Setup is running")));
}

TEST_F(SetupRunFaultTest, ALockThatAnotherUserMadeFirstIsReplacedByRootAndRefusedToOthers)
{
    if (!tolktest::CanRunAsNobody())
        GTEST_SKIP() << "needs root";
    tolktest::MakeExampleMedium(medium_, "true;\n");
    std::vector<std::string> arguments = SilentArguments();
    arguments.push_back("--deploymentFile=" TOLK_SOURCE_DIR "/examples/deployment/remove.xml");
    fs::permissions(sysroot_.Base(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                         fs::perms::others_read | fs::perms::others_exec);
    ASSERT_EQ(chown(sysroot_.Home().c_str(), tolktest::NobodyUser(), tolktest::NobodyGroup()), 0);
    key_t key;
    ASSERT_TRUE(
        platform::MakeIPCKey(sysroot_.Path("/tmp"), static_cast<int>(NamedLock::NameChecksum("TolkSetupLock")), key));
    const auto removeSet = [key]() { platform::RemoveSemaphoreSet(platform::OpenSemaphoreSet(key, 0600)); };
    struct Plant {
        std::string what;
        uid_t planter;
        short value;       // given by one operation: 0 keeps every Setup out, 1 lets the planter in
        bool runAsNobody;  // else as root
        int exitCode;
        std::string told;    // on the standard error
        std::string logged;  // in the session log of a run as root
    };
    const std::string set = "the lock \"TolkSetupLock\"";
    const std::vector<Plant> plants = {
        {"held for good", tolktest::NobodyUser(), 0, false, 0, "",
         "Removed the semaphore set of " + set + ", which user " + tolktest::NobodyText() +
             " made and Setup does not trust, and made its own"},
        {"open to be raised", tolktest::NobodyUser(), 1, false, 0, "", "Removed the semaphore set of " + set},
        {"another user's", 4242, 1, true, 22,
         "Setup: cause: Refused to use " + set +
             ": user 4242 made its semaphore set, which Setup does not trust, "
             "and replacing it needs administrator rights, which this Setup (user ID " +
             std::to_string(tolktest::NobodyUser()) + ") does not have. Run Setup as root.\n",
         ""},
    };
    for (const Plant& plant : plants) {
        removeSet();
        const short value = plant.value;
        ASSERT_EQ(tolktest::RunAsUser(plant.planter, plant.planter,
                                      [key, value]() {
                                          const int planted = semget(key, 1, IPC_CREAT | IPC_EXCL | 0666);
                                          struct sembuf operation = {0, value, IPC_NOWAIT};
                                          return planted >= 0 && semop(planted, &operation, 1) == 0;
                                      }),
                  tolktest::AsUser::kTrue)
            << plant.what;
        fs::remove(SessionLogPath() + ".gz");
        const tolktest::ProgramResult result = tolktest::RunCapturingOutput(
            SETUP_PROGRAM, arguments, "", "", plant.runAsNobody ? tolktest::BecomeNobody : std::function<bool()>());
        EXPECT_EQ(result.exitCode, plant.exitCode) << plant.what << "\n" << result.output << result.errorOutput;
        EXPECT_THAT(result.errorOutput, HasSubstr(plant.told)) << plant.what;
        if (!plant.logged.empty()) {
            EXPECT_THAT(SessionLog(), HasSubstr(plant.logged)) << plant.what;
        }
        // Root's run made a set of its own; a user who may not remove the other one left it.
        platform::SemaphoreSetOwners owners;
        EXPECT_TRUE(platform::ReadSemaphoreSetOwners(platform::OpenSemaphoreSet(key, 0600), owners)) << plant.what;
        EXPECT_EQ(owners.creator, plant.runAsNobody ? plant.planter : 0u) << plant.what;
    }
    removeSet();
}

TEST_F(SetupRunFaultTest, TheCauseOfAFailedCommandIsItsMessageWithoutTheCommandsNumber)
{
    const std::string missing = sysroot_.Scratch() + "/missing";
    const std::string target = sysroot_.Path("/Applications/copied");
    tolktest::MakeExampleMedium(
        medium_, "if (!QENCopyFile('" + missing + "', '" + target + "')) throw new Error('not copied');\n");
    const tolktest::ProgramResult result = tolktest::RunCapturingOutput(SETUP_PROGRAM, SilentArguments());
    EXPECT_EQ(result.exitCode, 22) << result.errorOutput;
    EXPECT_THAT(result.errorOutput,
                HasSubstr("\nSetup: cause: Unable to copy file from \"" + missing + "\" to \"" + target + "\"\n"));
}

TEST_F(SetupRunFaultTest, TheFileAtFaultIsNamedOnTheStandardError)
{
    tolktest::MakeExampleMedium(medium_, "true;\n");
    const std::string notXML = sysroot_.Scratch() + "/not-xml.xml";
    tolktest::WriteTextFile(notXML, "install everything\n");
    const std::vector<std::pair<std::string, std::string> > deployments = {
        {sysroot_.Scratch() + "/missing.xml", "\" does not exist."},
        {notXML, "\" is not an XML file that Setup can read."}};
    for (const auto& deployment : deployments) {
        std::vector<std::string> arguments = SilentArguments();
        arguments.push_back("--deploymentFile=" + deployment.first);
        const tolktest::ProgramResult result = tolktest::RunCapturingOutput(SETUP_PROGRAM, arguments);
        EXPECT_EQ(result.exitCode, 21) << result.errorOutput;
        EXPECT_THAT(result.errorOutput, HasSubstr("Setup: silentWorkflow: Unable to read the command line or the "
                                                  "deployment file.\nSetup: cause: The deployment file \"" +
                                                  deployment.first + deployment.second));
    }

    const std::string proxy = medium_ + "/payloads/OrvexBrushes/OrvexBrushes.proxy.xml";
    tolktest::WriteTextFile(proxy, "<PayloadInfo version=\"2.0\">");
    const tolktest::ProgramResult result = tolktest::RunCapturingOutput(SETUP_PROGRAM, SilentArguments());
    EXPECT_EQ(result.exitCode, 4);
    EXPECT_THAT(result.errorOutput, HasSubstr("Setup: Unable to initialize the session manager\nSetup: cause: Fatal "
                                              "error initializing from proxy files: these proxy files could not be "
                                              "loaded: \"" + proxy + "\"\n"));
}

TEST_F(SetupRunFaultTest, OutputThatCannotBeWrittenFailsTheRun)
{
    // --help and terminal mode make nothing but their output: a full device or a closed standard
    // output is their failure, told on the standard error.
    const std::vector<std::pair<std::string, std::function<bool()> > > outputs = {
        {"No space left on device",
         [] {
             const int full = open("/dev/full", O_WRONLY);
             return full >= 0 && dup2(full, STDOUT_FILENO) == STDOUT_FILENO;
         }},
        {"Bad file descriptor", [] { return close(STDOUT_FILENO) == 0; }}};
    for (const std::string argument : {"--help", "--mode=terminal"}) {
        for (const auto& output : outputs) {
            SCOPED_TRACE(argument + ", " + output.first);
            const tolktest::ProgramResult result =
                tolktest::RunCapturingOutput(SETUP_PROGRAM, {argument}, "", "", output.second);
            EXPECT_EQ(result.exitCode, 1);
            EXPECT_THAT(result.errorOutput,
                        HasSubstr("Setup: the standard output could not be written: " + output.first + "\n"));
        }
    }
}

TEST_F(SetupRunFaultTest, AValueHandedToTheCopyIsNoOption)
{
    // The relaunch hands its copy values first; a language that reads as an option is none.
    const tolktest::ProgramResult asked = tolktest::RunCapturingOutput(SETUP_PROGRAM, {"--help"}, "", "");
    const tolktest::ProgramResult handed =
        tolktest::RunCapturingOutput(SETUP_PROGRAM, {"-LANG", "--help", "--mode=terminal"}, "", "");
    EXPECT_THAT(asked.output, HasSubstr("Usage: "));
    EXPECT_THAT(handed.output, Not(HasSubstr("Usage: ")));
}
