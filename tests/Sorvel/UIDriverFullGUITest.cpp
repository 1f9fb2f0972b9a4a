#include "Sorvel/source/xplat/UIDriverFullGUI.h"

#include "Common/source/mac/TQInitManager.h"
#include "Sorvel/source/mac/SetupWizardModule.h"
#include "Sorvel/source/xplat/InstallerEngine.h"
#include "Sorvel/source/xplat/PayloadSessionManager.h"
#include "Sorvel/source/xplat/UserInterfaceMessagePrompt.h"

#include "tests/support/LocalizationEnvironment.h"
#include "tests/support/TempSystemRoot.h"

#include "platform/Authorization.h"
#include "platform/gui/GuiAlert.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

// Setup opens the wizard as a module; this suite links its code instead.
const bool kWizardLinked = (SetupWizardModule::SetLinkedModuleForTesting(TolkSetupWizardModule()), true);

// Runs programs directly, as an administrator's authorisation would, or answers a status. Like
// pkexec, it starts them with an environment of its own, in which nothing of this process is.
// The program it is asked to run goes to the file named, when one is.
class DirectAuthorization : public platform::Authorization {
public:
    DirectAuthorization(int rightsStatus, const std::string& programRecord)
        : rightsStatus_(rightsStatus), programRecord_(programRecord)
    {
    }
    int CopyAdminRights() override { return rightsStatus_; }
    int ExecuteWithPrivileges(const char* path, char* const* arguments, pid_t& pid, int& pipe) override
    {
        if (!programRecord_.empty())
            tolktest::WriteTextFile(programRecord_, path);
        char* const empty[] = {nullptr};
        return Spawn(nullptr, path, arguments, pid, pipe, empty);
    }

private:
    int rightsStatus_;
    std::string programRecord_;
};

class UIDriverFullGUITest : public tolktest::SystemRootTest {
protected:
    void SetUp() override
    {
        bundle_ = sysroot_.Scratch() + "/media/Setup.app";
        tolktest::MakeLocalizedBundle(
            bundle_, {{"en", tolktest::ReadTextFile(TOLK_SOURCE_DIR "/Sorvel/resources/Resources/en.lproj/Localizable.strings")}},
            "en");
        localization_.SetMainBundle(bundle_);
        engine_.reset(new InstallerEngine(FileSystemPath(sysroot_.Scratch() + "/media")));
        driver_.reset(new UIDriverFullGUI(*engine_));
        platform::SetAlertPresenterForTesting([this](const platform::AlertRequest& request) {
            alerts_.push_back(request);
            return answer_;
        });
    }

    void TearDown() override
    {
        platform::SetAlertPresenterForTesting(nullptr);
        platform::Authorization::SetMakerForTesting(nullptr);
        PayloadSessionManager::Release();
    }

    // The example's payloads and the wizard's scripts, without a display to run the wizard on:
    // Run probes the language and then fails at the application's start.
    std::string ProbeLanguage(const std::string& localizationScript)
    {
        const std::string media = sysroot_.Scratch() + "/media";
        if (!std::filesystem::exists(media + "/payloads"))
            std::filesystem::copy(TOLK_SOURCE_DIR "/examples/payloads", media + "/payloads",
                                  std::filesystem::copy_options::recursive);
        const std::string scripts = media + "/resources/common/scripts";
        tolktest::MakeFolders(scripts);
        // A last line without its line end must not swallow the next file.
        tolktest::WriteTextFile(scripts + "/utils.js", "var probe = { parts: ['utils'] }; // no line end");
        tolktest::WriteTextFile(scripts + "/ContainerProxy.js", "probe.parts.push('proxy');\n");
        tolktest::WriteTextFile(scripts + "/localization.js", localizationScript);
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        InitializeTessel();
        EXPECT_FALSE(driver_->Run());
        std::string locale = "(none)";
        engine_->GetEngineLocale(locale);
        return locale;
    }

    // The relaunched copy: writes its arguments to a file, one a line, its environment to the same
    // file with ".env" added, and ends with 3.
    std::string MakeRelaunchedProgram()
    {
        const std::string record = sysroot_.Scratch() + "/relaunched.txt";
        tolktest::MakeFolders(bundle_ + "/Contents/MacOS");
        const std::string program = RelaunchedProgram();
        tolktest::WriteTextFile(program, "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + record + "'\n/usr/bin/env > '" +
                                             record + ".env'\nexit 3\n");
        chmod(program.c_str(), 0755);
        return record;
    }
    std::string RelaunchedProgram() const { return bundle_ + "/Contents/MacOS/Setup"; }

    // The program the authoriser was asked to run is written to the file named.
    void Authorize(int rightsStatus, const std::string& programRecord = std::string())
    {
        platform::Authorization::SetMakerForTesting(
            [rightsStatus, programRecord](std::unique_ptr<platform::Authorization>& out) {
                out.reset(new DirectAuthorization(rightsStatus, programRecord));
                return 0;
            });
    }

    std::string bundle_;
    tolktest::LocalizationEnvironment localization_;
    std::unique_ptr<InstallerEngine> engine_;
    std::unique_ptr<UIDriverFullGUI> driver_;
    std::vector<platform::AlertRequest> alerts_;
    int answer_ = platform::kAlertDefaultReturn;
};

UserInterfaceMessagePrompt Question(std::uint32_t statusCode)
{
    return UserInterfaceMessagePrompt(statusCode, TolkUIRequest::kResponseYes | TolkUIRequest::kResponseNo,
                                      TolkUIRequest::kIndicatorDefault);
}

}  // namespace

TEST_F(UIDriverFullGUITest, AlertShowsTitleBodyAndOneButton)
{
    EXPECT_EQ(UIDriverFullGUI::UIDriverFullGUIData::sInstallerEngine, engine_.get());
    EXPECT_FALSE(UIDriverFullGUI::UIDriverFullGUIData::sGUIInitialized);
    EXPECT_TRUE(driver_->Alert("Too old", "Needs a newer system.", "Quit"));
    EXPECT_TRUE(UIDriverFullGUI::UIDriverFullGUIData::sGUIInitialized);
    ASSERT_EQ(alerts_.size(), 1u);
    EXPECT_EQ(alerts_[0].messageText, "Too old");
    EXPECT_EQ(alerts_[0].informativeText, "Needs a newer system.");
    EXPECT_EQ(alerts_[0].defaultButton, "Quit");
    EXPECT_EQ(alerts_[0].alternateButton, "");

    answer_ = platform::kAlertErrorReturn;
    EXPECT_FALSE(driver_->Alert("Too old", "", "Quit"));
}

TEST_F(UIDriverFullGUITest, AlertWithoutADisplayCannotBeShown)
{
    platform::SetAlertPresenterForTesting(nullptr);
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    EXPECT_FALSE(driver_->Alert("Title", "Body", "OK"));
}

TEST_F(UIDriverFullGUITest, ACancelRequestIsConfirmedByTheUser)
{
    UserInterfaceMessagePrompt prompt = Question(0);
    EXPECT_TRUE((*driver_)(&prompt));
    EXPECT_EQ(prompt.GetUserResponseOption(), static_cast<std::uint32_t>(TolkUIRequest::kResponseYes));
    ASSERT_EQ(alerts_.size(), 1u);
    EXPECT_EQ(alerts_[0].messageText, "Cancel the installation?");
    EXPECT_EQ(alerts_[0].informativeText, "What was installed so far will be removed again.");
    EXPECT_EQ(alerts_[0].defaultButton, "Yes");
    EXPECT_EQ(alerts_[0].alternateButton, "No");

    answer_ = platform::kAlertAlternateReturn;
    (*driver_)(&prompt);
    EXPECT_EQ(prompt.GetUserResponseOption(), static_cast<std::uint32_t>(TolkUIRequest::kResponseNo));
    answer_ = platform::kAlertErrorReturn;
    (*driver_)(&prompt);
    EXPECT_EQ(prompt.GetUserResponseOption(), static_cast<std::uint32_t>(TolkUIRequest::kResponseUnknown));
    answer_ = platform::kAlertOtherReturn;
    (*driver_)(&prompt);
    EXPECT_EQ(prompt.GetUserResponseOption(), static_cast<std::uint32_t>(TolkUIRequest::kResponseUnknown));
}

TEST_F(UIDriverFullGUITest, OtherQuestionsAreAnsweredZeroWithoutAsking)
{
    UserInterfaceMessagePrompt prompt = Question(12);
    prompt.SetUserResponseOption(TolkUIRequest::kResponseYes);
    EXPECT_TRUE((*driver_)(&prompt));
    EXPECT_EQ(prompt.GetUserResponseOption(), 0u);
    EXPECT_TRUE(alerts_.empty());
}

TEST_F(UIDriverFullGUITest, RunWithoutAPayloadSessionFailsBeforeShowingAnything)
{
    // A proxy file that cannot be read fails the session.
    tolktest::MakeFolders(sysroot_.Scratch() + "/media/payloads/A");
    tolktest::WriteTextFile(sysroot_.Scratch() + "/media/payloads/A/A.proxy.xml", "<PayloadInfo>broken");
    EXPECT_FALSE(driver_->Run());
    EXPECT_TRUE(alerts_.empty());
    EXPECT_FALSE(UIDriverFullGUI::UIDriverFullGUIData::sGUIInitialized);
}

TEST_F(UIDriverFullGUITest, RunTakesThePayloadLanguageFromTheWizardScripts)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root (anyone else is relaunched with administrator rights)";
    EXPECT_EQ(ProbeLanguage("function _tesselGetSingleLanguage() { return probe.parts.join('+') == 'utils+proxy'"
                            " ? 'en_US' : 'wrong'; }"),
              "en_US");
}

TEST_F(UIDriverFullGUITest, AFailingOrSilentProbeLeavesTheLanguageUnset)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root";
    EXPECT_EQ(ProbeLanguage("function _tesselGetSingleLanguage() { throw new Error('no language'); }"), "(none)");
    EXPECT_EQ(ProbeLanguage("function _tesselGetSingleLanguage() {}"), "(none)");
}

TEST_F(UIDriverFullGUITest, TheExampleScriptsProbeTheDriverPayloadsOnlyLanguage)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root";
    const std::string media = sysroot_.Scratch() + "/media";
    for (const char* folder : {"payloads", "resources"})
        std::filesystem::copy(std::string(TOLK_SOURCE_DIR "/examples/") + folder, media + "/" + folder,
                              std::filesystem::copy_options::recursive);
    const std::string proxy = media + "/payloads/OrvexSketchbook/OrvexSketchbook.proxy.xml";
    std::string text = tolktest::ReadTextFile(proxy);
    const std::string german = "<Language>de_DE</Language>";
    ASSERT_NE(text.find(german), std::string::npos);
    tolktest::WriteTextFile(proxy, text.erase(text.find(german), german.size()));
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    InitializeTessel();
    EXPECT_FALSE(driver_->Run());
    std::string locale = "(none)";
    engine_->GetEngineLocale(locale);
    EXPECT_EQ(locale, "en_US");
}

TEST_F(UIDriverFullGUITest, AnotherPayloadLanguageRelaunchesInIt)
{
    const std::string record = MakeRelaunchedProgram();
    const std::string asked = sysroot_.Scratch() + "/asked.txt";
    engine_->SetEngineLocale("de_DE");
    Authorize(platform::kAuthorizationSuccess, asked);
    // The user's process, and what of it the copy is handed: as arguments of its own, which the
    // copy checks, and nothing else. The home is the user domain's (an argument), never the copy's
    // own, which the windowing libraries read.
    const struct {
        const char* variable;
        std::string value;
        const char* argument;  // null: not handed over
    } kTable[] = {
        {"DISPLAY", ":7", "-DISPLAY"},
        {"XAUTHORITY", "/home/user/.Xauthority", "-XAUTHORITY"},
        {"TOLK_SYSTEM_ROOT", sysroot_.Root(), "-TOLK_SYSTEM_ROOT"},
        {"LANG", "en_US.UTF-8", "-LANG"},
        {"HOME", sysroot_.Home(), "-userHome"},
        {"GTK_MODULES", "/home/user/module.so", nullptr},
        {"GTK_PATH", "/home/user/gtk", nullptr},
        {"XDG_CONFIG_HOME", "/home/user/.config", nullptr},
        {"LD_LIBRARY_PATH", "/home/user/lib", nullptr},
        {"PATH", "/home/user/bin", nullptr},
        {"TOLK_UNRELATED", "stays behind", nullptr},
    };
    // The process ends with the relaunched copy's code. What the copy is given is set in the
    // relaunching process only, which the death test forks off.
    EXPECT_EXIT(
        {
            unsetenv("LANGUAGE");
            unsetenv("LC_ALL");
            for (const auto& row : kTable)
                setenv(row.variable, row.value.c_str(), 1);
            UIDriverFullGUI::RespawnAndAuthorizeIfNeeded(*engine_);
        },
        ::testing::ExitedWithCode(3), "");
    // pkexec is asked to run Setup itself.
    EXPECT_EQ(tolktest::ReadTextFile(asked), RelaunchedProgram());
    std::string expected;
    for (const auto& row : kTable) {
        if (row.argument != nullptr)
            expected += std::string(row.argument) + "\n" + row.value + "\n";
    }
    EXPECT_EQ(tolktest::ReadTextFile(record), expected + "-AppleLanguages\n(de_DE)\n");
    // The copy started with an empty environment, and gets none of the values there.
    const std::string environment = "\n" + tolktest::ReadTextFile(record + ".env");
    for (const auto& row : kTable)
        EXPECT_EQ(environment.find("\n" + std::string(row.variable) + "="), std::string::npos)
            << row.variable << " in" << environment;
}

TEST_F(UIDriverFullGUITest, ARefusedAuthorizationEndsTheProcess)
{
    MakeRelaunchedProgram();
    engine_->SetEngineLocale("de_DE");
    Authorize(platform::kAuthorizationCanceled);
    EXPECT_EXIT(UIDriverFullGUI::RespawnAndAuthorizeIfNeeded(*engine_), ::testing::ExitedWithCode(0), "");
    Authorize(platform::kAuthorizationDenied);
    EXPECT_EXIT(UIDriverFullGUI::RespawnAndAuthorizeIfNeeded(*engine_), ::testing::ExitedWithCode(4), "");
    EXPECT_FALSE(std::ifstream(sysroot_.Scratch() + "/relaunched.txt").good());
}
