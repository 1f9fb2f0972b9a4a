#include "Sorvel/source/xplat/InstallerEngine.h"
#include "Sorvel/source/xplat/UIDriverFullGUI.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

namespace {

typedef std::map<std::string, std::string> StringMap;

StringMap Parse(const std::vector<std::string>& arguments)
{
    StringMap map;
    ArgumentsToArgumentKeyValuePairs(arguments.begin(), arguments.end(), std::inserter(map, map.end()));
    return map;
}

}  // namespace

TEST(ArgumentsTest, KeysValuesAndTheFirstOccurrence)
{
    const StringMap map = Parse({"/path/Setup", "--mode=terminal", "--mode=silent", "-norespawn", "-AppleLanguages",
                                 "(de_DE)", "--flag", "--=v", "--a=b=c", "--installerParent=/x", "--empty="});
    EXPECT_EQ(map, (StringMap{{"mode", "terminal"}, {"flag", ""}, {"", "v"}, {"a", "b=c"},
                              {"installerParent", "/x"}, {"empty", ""}}));
    EXPECT_EQ(Parse({"--"}), (StringMap{{"", ""}}));
    EXPECT_TRUE(Parse({"-x=y", "plain", "-"}).empty());
}

TEST(ArgumentsTest, ModeValues)
{
    InstallerEngine engine(FileSystemPath("/tmp"));
    EXPECT_TRUE(engine.ProcessArgumentVector({"Setup"}));
    EXPECT_EQ(engine.GetUIMode(), 0);
    EXPECT_TRUE(engine.ProcessArgumentVector({"Setup", "--mode=Terminal"}));
    EXPECT_EQ(engine.GetUIMode(), 1);
    EXPECT_TRUE(engine.ProcessArgumentVector({"Setup", "--mode=silent"}));
    EXPECT_EQ(engine.GetUIMode(), 2);
    for (const char* bad : {"--mode=Gui", "--mode=", "--mode=SILENT", "--mode"}) {
        EXPECT_FALSE(engine.ProcessArgumentVector({"Setup", bad})) << bad;
        EXPECT_EQ(engine.GetUIMode(), 2) << "a refused mode keeps the previous one";
    }
    EXPECT_TRUE(engine.ProcessArgumentVector({"Setup", "--mode=GUI"}));
    EXPECT_EQ(engine.GetUIMode(), 0);
}

TEST(ArgumentsTest, EngineLocale)
{
    InstallerEngine engine(FileSystemPath("/tmp"));
    std::string locale = "unset";
    engine.GetEngineLocale(locale);
    EXPECT_EQ(locale, "unset");
    engine.SetEngineLocale("de_DE");
    engine.GetEngineLocale(locale);
    EXPECT_EQ(locale, "de_DE");
}

TEST(RelaunchDecisionTest, TheFiveCases)
{
    const std::vector<std::string> plain{"/b/Setup.app/Contents/MacOS/Setup", "--mode=gui"};

    // A user other than root is relaunched with administrator rights.
    UIDriverFullGUI::RelaunchDecision decision = UIDriverFullGUI::DecideRelaunch(plain, 501, "en_US", "en_US");
    EXPECT_TRUE(decision.relaunch);
    EXPECT_EQ(decision.arguments, std::vector<std::string>{"--mode=gui"});

    // Root with equal languages (or an unknown one) goes on.
    EXPECT_FALSE(UIDriverFullGUI::DecideRelaunch(plain, 0, "en_US", "en_US").relaunch);
    EXPECT_FALSE(UIDriverFullGUI::DecideRelaunch(plain, 0, "en_US", "").relaunch);

    // Root with another payload language runs again in that language.
    decision = UIDriverFullGUI::DecideRelaunch(plain, 0, "en_US", "de_DE");
    EXPECT_TRUE(decision.relaunch);
    EXPECT_EQ(decision.arguments, (std::vector<std::string>{"--mode=gui", "-AppleLanguages", "(de_DE)"}));

    // "-norespawn" keeps an ordinary user in this process.
    EXPECT_FALSE(UIDriverFullGUI::DecideRelaunch({"Setup", "-norespawn"}, 501, "en_US", "de_DE").relaunch);

    // A copy already started in a language does not compare languages again.
    EXPECT_FALSE(UIDriverFullGUI::DecideRelaunch({"Setup", "-AppleLanguages", "(de_DE)"}, 0, "en_US", "fr_FR").relaunch);
}

TEST(RelaunchDecisionTest, ExitCodeOfTheRelaunchingProcess)
{
    EXPECT_EQ(UIDriverFullGUI::RelaunchExitCode(1, false, 0), 0);  // cancelled by the user
    EXPECT_EQ(UIDriverFullGUI::RelaunchExitCode(2, false, 0), 4);  // authorisation failed
    EXPECT_EQ(UIDriverFullGUI::RelaunchExitCode(0, false, 0), 4);  // the copy could not run
    EXPECT_EQ(UIDriverFullGUI::RelaunchExitCode(0, true, 0), 0);
    EXPECT_EQ(UIDriverFullGUI::RelaunchExitCode(0, true, 12 << 8), 12);  // the copy's own status
    EXPECT_EQ(UIDriverFullGUI::RelaunchExitCode(0, true, SIGKILL), 4);
}
