// The privileged copy of the wizard takes what the relaunch hands it as arguments only where
// Setup's own checks allow: the user who started it (pkexec names that user) chose every value.
#include "Sorvel/source/mac/PrivilegedCopy.h"

#include "tests/support/OtherUser.h"
#include "tests/support/TempSystemRoot.h"

#include "platform/Folders.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

using ::testing::HasSubstr;

namespace {

// The variables that the copy takes or removes (pkexec keeps these LC_ ones and LINGUAS).
const char* const kTaken[] = {"DISPLAY",     "XAUTHORITY",  "LANG",       "LANGUAGE", "LC_ALL",
                              "LC_CTYPE",    "LC_MESSAGES", "LC_NUMERIC", "LC_TIME",  "LC_COLLATE",
                              "LC_MONETARY", "LINGUAS",     "PKEXEC_UID"};
const char kUserDomain[] = "the user domain";

class PrivilegedCopyFaultTest : public tolktest::SystemRootTest {
protected:
    void SetUp() override
    {
        for (const char* name : kTaken) {
            if (const char* value = std::getenv(name))
                saved_.push_back(std::string(name) + "=" + value);
        }
    }

    void TearDown() override
    {
        Clear();
        for (const std::string& entry : saved_)
            setenv(entry.substr(0, entry.find('=')).c_str(), entry.substr(entry.find('=') + 1).c_str(), 1);
    }

    static void Clear()
    {
        for (const char* name : kTaken)
            unsetenv(name);
        platform::ResetUserDomain();
    }

    // What the copy has of a value: a variable's value ("unset"), the contents of the X authority
    // that it names, or where the user domain's preferences are made, and by whom.
    static std::string Observe(const std::string& what)
    {
        if (what == kUserDomain) {
            std::string folder;
            struct stat status;
            if (platform::FindFolder(platform::kUserDomain, platform::FourCharCode('p', 'r', 'e', 'f'), true, folder) !=
                    0 ||
                stat(folder.c_str(), &status) != 0)
                return "none";
            struct stat library;
            stat(folder.substr(0, folder.rfind('/')).c_str(), &library);
            return folder + " of " + std::to_string(library.st_uid) + "/" + std::to_string(status.st_uid);
        }
        const char* value = std::getenv(what.c_str());
        if (value == nullptr)
            return "unset";
        return what == "XAUTHORITY" ? tolktest::ReadTextFile(value) : value;
    }

    std::vector<std::string> saved_;
};

}  // namespace

TEST_F(PrivilegedCopyFaultTest, AValueIsTakenOnlyWhereItPassesSetupsChecks)
{
    if (!tolktest::CanRunAsNobody())
        GTEST_SKIP() << "cannot run as another user here";
    const std::string nobody = std::to_string(tolktest::NobodyUser());
    // A home of nobody's in a folder of root's, with nobody's X authority and a link of his to a
    // file of root's; root's own X authority beside.
    ASSERT_TRUE(tolktest::LetOthersThrough(sysroot_.Base()));
    const std::string home = sysroot_.Base() + "/nobody";
    tolktest::MakeFolders(home);
    ASSERT_EQ(chown(home.c_str(), tolktest::NobodyUser(), tolktest::NobodyGroup()), 0);
    const std::string rootsCookie = sysroot_.Scratch() + "/Xauthority";
    tolktest::WriteTextFile(rootsCookie, "root's cookie");
    const std::string nobodysCookie = home + "/.Xauthority";
    const std::string link = home + "/.Xlink";
    ASSERT_EQ(tolktest::RunAsNobody([&]() {
                  tolktest::WriteTextFile(nobodysCookie, "nobody's cookie");
                  return symlink(rootsCookie.c_str(), link.c_str()) == 0;
              }),
              tolktest::AsUser::kTrue);

    const struct {
        std::string invoker;  // PKEXEC_UID, empty for none (the super-user started Setup)
        std::vector<std::string> kept;  // what the authoriser kept of the user's environment
        std::vector<std::string> handed;
        std::string what;
        std::string taken;
        std::string problem;  // empty when none
    } kTable[] = {
        {"", {}, {"-DISPLAY", ":7"}, "DISPLAY", ":7", ""},
        {"", {}, {"-DISPLAY", "unix/../../tmp/x:0"}, "DISPLAY", "unset", "no display name"},
        {"", {}, {"-LANG", "de_DE.UTF-8"}, "LANG", "de_DE.UTF-8", ""},
        {"", {}, {"-LC_ALL", "/home/user/locale"}, "LC_ALL", "unset", "no language or locale name"},
        {"", {}, {"-LANGUAGE", "de%n"}, "LANGUAGE", "unset", "no language or locale name"},
        {"", {}, {"-XAUTHORITY", rootsCookie}, "XAUTHORITY", "root's cookie", ""},
        {nobody, {}, {"-XAUTHORITY", nobodysCookie, "-userHome", home}, "XAUTHORITY", "nobody's cookie", ""},
        {nobody, {}, {"-XAUTHORITY", link, "-userHome", home}, "XAUTHORITY", "", "not a file of user"},
        // What the user kept in the environment goes: a refused X authority is none (nor root's
        // own in root's home), a display not handed over is none.
        {nobody,
         {"XAUTHORITY=" + rootsCookie},
         {"-XAUTHORITY", rootsCookie, "-userHome", home},
         "XAUTHORITY",
         "",
         "not a file of user"},
        {nobody, {"DISPLAY=localhost:0", "LC_MESSAGES=de_DE"}, {"-userHome", home}, "DISPLAY", "unset", ""},
        {nobody, {"DISPLAY=localhost:0", "LC_MESSAGES=de_DE"}, {"-userHome", home}, "LC_MESSAGES", "unset", ""},
        // The user domain is the home of the user who started Setup, and what is made there is his.
        {nobody, {}, {"-userHome", home}, kUserDomain, home + "/Library/Preferences of " + nobody + "/" + nobody, ""},
        {nobody, {}, {"-userHome", sysroot_.Home()}, kUserDomain, "none", "a folder of user root (0)"},
        {"", {}, {"-userHome", home}, kUserDomain, "none", "a folder of user " + tolktest::NobodyText()},
        // Without his home the copy has none (its own is root's); a value is never read as a name,
        // and a list that names one twice is refused.
        {nobody, {}, {"-DISPLAY", ":7"}, kUserDomain, "none", "no home folder of user " + tolktest::NobodyText()},
        {nobody,
         {},
         {"-LANG", "-TOLK_SYSTEM_ROOT", "-userHome", home},
         kUserDomain,
         home + "/Library/Preferences of " + nobody + "/" + nobody,
         ""},
        {nobody, {}, {"-userHome", home, "-userHome", sysroot_.Home()}, kUserDomain, "none", "is given twice"},
    };
    for (const auto& row : kTable) {
        SCOPED_TRACE(row.handed[0] + " " + row.handed[1] + " for \"" + row.invoker + "\"");
        Clear();
        if (!row.invoker.empty())
            setenv("PKEXEC_UID", row.invoker.c_str(), 1);
        for (const std::string& entry : row.kept)
            setenv(entry.substr(0, entry.find('=')).c_str(), entry.substr(entry.find('=') + 1).c_str(), 1);
        std::vector<std::string> arguments = {"Setup"};
        arguments.insert(arguments.end(), row.handed.begin(), row.handed.end());
        arguments.push_back("--mode=gui");
        std::vector<std::string> problems;
        PrivilegedCopy::TakeValues(arguments, problems);
        EXPECT_EQ(arguments, (std::vector<std::string>{"Setup", "--mode=gui"}));
        EXPECT_EQ(Observe(row.what), row.taken);
        const std::string said = problems.empty() ? std::string() : problems[0];
        if (row.problem.empty())
            EXPECT_EQ(said, "");
        else
            EXPECT_THAT(said, HasSubstr(row.problem));
    }
    // Nothing was made in the home that was refused.
    EXPECT_TRUE(tolktest::DescribeTree(sysroot_.Home()).empty());
}
