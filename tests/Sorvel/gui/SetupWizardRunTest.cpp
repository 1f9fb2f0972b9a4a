// The built Setup in its default mode: the wizard on a medium laid out as a real one.
#include "tests/support/ProgramRun.h"
#include "tests/support/TempSystemRoot.h"

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

TEST_F(SetupWizardRunTest, LinksAndManifestErrorPagesOpenAsTheDesktopOpensThem)
{
    // A desktop of the test's own: one application, which writes down what it is given, is the
    // default for web links and HTML files; nothing of the machine's own desktop is seen.
    const std::string desktop = sysroot_.Scratch() + "/desktop";
    const std::string record = desktop + "/opened.txt";
    for (const char* folder : {"/share/applications", "/share/mime", "/config"})
        tolktest::MakeFolders(desktop + folder);
    tolktest::WriteTextFile(desktop + "/record.sh", "printf '%s\\n' \"$1\" >> '" + record + "'\n");
    tolktest::WriteTextFile(desktop + "/share/applications/recorder.desktop",
                            "[Desktop Entry]\nType=Application\nName=Recorder\nExec=/bin/sh " + desktop +
                                "/record.sh %u\nMimeType=text/html;x-scheme-handler/http;\n");
    tolktest::WriteTextFile(desktop + "/share/mime/globs2", "50:text/html:*.html\n");
    tolktest::WriteTextFile(desktop + "/config/mimeapps.list",
                            "[Default Applications]\ntext/html=recorder.desktop\nx-scheme-handler/http=recorder.desktop\n");
    const std::vector<std::pair<std::string, std::string> > environment = {
        {"XDG_DATA_HOME", desktop + "/share"}, {"XDG_DATA_DIRS", desktop + "/share"},
        {"XDG_CONFIG_HOME", desktop + "/config"}, {"XDG_CONFIG_DIRS", desktop + "/config"},
        {"GIO_USE_VFS", "local"}};

    // The payload has manifest errors. The page follows a link into a new window and shows the
    // errors, each time waiting until the application has what it was given.
    const std::string proxy = medium_ + "/payloads/OrvexSketchbook/OrvexSketchbook.proxy.xml";
    std::string text = tolktest::ReadTextFile(proxy);
    text.insert(text.rfind("</PayloadInfo>"), "<ValidationResults>broken</ValidationResults>");
    tolktest::WriteTextFile(proxy, text);
    tolktest::WriteTextFile(
        medium_ + "/resources/main.html",
        "<html><body><a id='l' href='http://example.invalid/more' target='_blank'>more</a><script>\n"
        "var tries = 0;\n"
        "function after(text, then) {\n"
        "  var opened = eval('(' + DQEN.LoadFile('" + record + "') + ')');\n"
        "  if (opened.data !== undefined && opened.data.indexOf(text) >= 0) { then(); return; }\n"
        "  if (++tries > 600) { DQEN.SetWorkflowExitCode('33'); DQEN.UIExitDialog(''); return; }\n"
        "  setTimeout(function () { after(text, then); }, 50);\n"
        "}\n"
        "function DQENOnLoad() {\n"
        "  document.getElementById('l').click();\n"
        "  after('http://example.invalid/more', function () {\n"
        "    var shown = DQEN.UIShowManifestErrors();\n"
        "    if (shown !== '{}') { DQEN.SetWorkflowExitCode('34'); DQEN.UIExitDialog(''); return; }\n"
        "    after('errors.html', function () { DQEN.UIExitDialog(''); });\n"
        "  });\n"
        "}</script></body></html>");
    std::vector<std::pair<std::string, const char*> > saved;
    for (const auto& variable : environment) {
        const char* value = std::getenv(variable.first.c_str());
        saved.push_back(std::make_pair(value != nullptr ? std::string(value) : std::string(), value));
        setenv(variable.first.c_str(), variable.second.c_str(), 1);
    }
    const tolktest::ProgramResult result = Run({"-norespawn"});
    for (std::size_t i = 0; i < environment.size(); ++i) {
        if (saved[i].second != nullptr)
            setenv(environment[i].first.c_str(), saved[i].first.c_str(), 1);
        else
            unsetenv(environment[i].first.c_str());
    }
    EXPECT_EQ(result.exitCode, 0) << result.output << result.errorOutput;
    // A local file reaches the application as its path.
    EXPECT_EQ(tolktest::ReadTextFile(record),
              "http://example.invalid/more\n" + sysroot_.Home() + "/Desktop/Tolk Setup Errors/errors.html\n");
}
