// The built Setup when a run goes wrong: what it tells on the standard error, and the session
// log it leaves, under a temporary system root.
#include "ExampleMedium.h"

#include "support/ProgramRun.h"
#include "support/TempSystemRoot.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

using ::testing::HasSubstr;

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
        const std::string path = tolktest::SessionLogFolder(sysroot_) + "/" + kSessionLogName + ".gz";
        return tolktest::RunCapturingOutput("/bin/zcat", {path}).output;
    }

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
    while ((gateFd = open(gate.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC)) < 0) {
        ASSERT_EQ(errno, ENXIO);
        ASSERT_FALSE(first.HasEnded()) << first.Wait().output;
        usleep(10000);
    }

    // The second one is refused while the first holds the setup lock.
    const tolktest::ProgramResult second = tolktest::RunCapturingOutput(SETUP_PROGRAM, SilentArguments());
    EXPECT_EQ(second.exitCode, 20) << second.output << second.errorOutput;

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
