// The built Setup in its default mode: the wizard on a medium laid out as a real one.
#include "support/ProgramRun.h"
#include "support/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace {

class SetupWizardRunTest : public tolktest::SystemRootTest {
protected:
    void SetUp() override
    {
        if (std::getenv("DISPLAY") == nullptr)
            GTEST_SKIP() << "no display";
        medium_ = sysroot_.Scratch() + "/medium";
        const std::filesystem::path program(SETUP_PROGRAM);
        const std::filesystem::path bundle = program.parent_path().parent_path().parent_path();
        tolktest::MakeFolders(medium_);
        std::filesystem::copy(bundle, medium_ + "/Setup.app", std::filesystem::copy_options::recursive);
        std::filesystem::copy(TOLK_SOURCE_DIR "/examples/payloads", medium_ + "/payloads",
                              std::filesystem::copy_options::recursive);
        tolktest::MakeFolders(medium_ + "/resources");
    }

    tolktest::ProgramResult Run(const std::vector<std::string>& arguments)
    {
        return tolktest::RunCapturingOutput(medium_ + "/Setup.app/Contents/MacOS/Setup", arguments);
    }

    std::string medium_;
};

}  // namespace

TEST_F(SetupWizardRunTest, TheWizardRunsItsPageAndEndsWithIt)
{
    // The page sizes, titles and shows its window, then ends the wizard; a page that did not run
    // to its end would leave Setup waiting.
    tolktest::WriteTextFile(
        medium_ + "/resources/main.html",
        "<html><body><script>function DQENOnLoad() {"
        "  var answers = [DQEN.UIResizeWindow('500', '300'), DQEN.UISetWindowTitle('Example'),"
        "                 DQEN.UIShowWindow('1'), DQEN.UIResizeWindow('x', '1')];"
        "  DQEN.UIExitDialog(answers.join('|')); }</script></body></html>");
    const tolktest::ProgramResult result = Run({"-norespawn"});
    EXPECT_EQ(result.exitCode, 0) << result.output << result.errorOutput;
    EXPECT_EQ(result.output, "Begin Orvex Setup\nUI mode: Full GUI\nEnd Orvex Setup.  Exit code: 0\n");
}

TEST_F(SetupWizardRunTest, WithoutADisplayTheWizardFails)
{
    tolktest::WriteTextFile(medium_ + "/resources/main.html", "<html></html>");
    const std::string display = std::getenv("DISPLAY");
    unsetenv("DISPLAY");
    const tolktest::ProgramResult result = Run({"-norespawn"});
    setenv("DISPLAY", display.c_str(), 1);
    EXPECT_EQ(result.exitCode, 4);
    EXPECT_NE(result.errorOutput.find("Unable to open a display for the wizard."), std::string::npos);
}

TEST_F(SetupWizardRunTest, WithoutItsModuleTheWizardFails)
{
    tolktest::WriteTextFile(medium_ + "/resources/main.html", "<html></html>");
    std::filesystem::remove(medium_ + "/Setup.app/Contents/Frameworks/SetupWizard.so");
    const tolktest::ProgramResult result = Run({"-norespawn"});
    EXPECT_EQ(result.exitCode, 4);
    EXPECT_NE(result.errorOutput.find("Unable to load the wizard from \"" + medium_ +
                                      "/Setup.app/Contents/Frameworks/SetupWizard.so\""),
              std::string::npos)
        << result.errorOutput;
}
