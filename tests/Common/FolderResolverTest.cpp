#include "Common/source/mac/FolderResolver.h"
#include "Common/source/mac/MacUtils.h"
#include "Common/source/xplat/FileSystemUtils.h"

#include "platform/Folders.h"

#include "tests/support/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

using tolktest::SystemRootTest;

class FolderResolverTest : public SystemRootTest {
protected:
    std::string Expand(const std::string& key)
    {
        FileSystemPath path("/unset");
        EXPECT_TRUE(FolderResolver::ExpandPathKey(key, path)) << key;
        return path.AsUTF8String();
    }
};

TEST_F(FolderResolverTest, TheFourteenKeys)
{
    const std::map<std::string, std::string> local = {
        {"OrvexCommon", "/Library/Application Support/Orvex"},
        {"OrvexProgramFiles", "/Applications"},
        {"Common", "/Library/Application Support"},
        {"ProgramFiles", "/Applications"},
        {"SharedApplicationData", "/Library/Application Support"},
        {"SharedDocuments", "/Users/Shared"},
        {"Utilities", "/Applications/Utilities"},
        {"FontsFolder", "/Library/Fonts"},
        {"Library", "/Library"},
        {"ScriptingAdditions", "/Library/ScriptingAdditions"},
        {"InternetPlugins", "/Library/Internet Plug-Ins"},
        {"ColorSyncProfiles", "/Library/ColorSync/Profiles"},
    };
    for (const auto& entry : local)
        EXPECT_EQ(Expand(entry.first), sysroot_.Path(entry.second)) << entry.first;
    EXPECT_EQ(Expand("UserInternetPlugins"), sysroot_.Home() + "/Library/Internet Plug-Ins");
    EXPECT_EQ(Expand("UserPreferences"), sysroot_.Home() + "/Library/Preferences");
    // The user's folders are made on demand.
    EXPECT_TRUE(std::filesystem::is_directory(sysroot_.Home() + "/Library/Preferences"));
}

TEST_F(FolderResolverTest, OrvexSubFolderIsNotCreated)
{
    Expand("OrvexCommon");
    EXPECT_FALSE(std::filesystem::exists(sysroot_.Path("/Library/Application Support/Orvex")));
}

TEST_F(FolderResolverTest, MissingFolderIsCreated)
{
    std::filesystem::remove_all(sysroot_.Path("/Library/Fonts"));
    EXPECT_EQ(Expand("FontsFolder"), sysroot_.Path("/Library/Fonts"));
    EXPECT_TRUE(std::filesystem::is_directory(sysroot_.Path("/Library/Fonts")));
}

TEST_F(FolderResolverTest, UnknownKeysLeaveThePathAlone)
{
    for (const char* key : {"", "fontsfolder", "programfiles", "Fonts", "OrvexCommon "}) {
        FileSystemPath path("/untouched");
        EXPECT_FALSE(FolderResolver::ExpandPathKey(key, path)) << key;
        EXPECT_EQ(path.AsUTF8String(), "/untouched");
    }
}

TEST_F(FolderResolverTest, FolderThatCannotBeCreatedFailsTheKey)
{
    // A plain file where the folder should be.
    std::filesystem::remove_all(sysroot_.Path("/Library/ColorSync"));
    tolktest::WriteTextFile(sysroot_.Path("/Library/ColorSync"), "");
    FileSystemPath path("/untouched");
    EXPECT_FALSE(FolderResolver::ExpandPathKey("ColorSyncProfiles", path));
    EXPECT_EQ(path.AsUTF8String(), "/untouched");
}

TEST_F(FolderResolverTest, FolderLookupHasNoLengthLimit)
{
    // A home folder deeper than 1024 bytes still answers.
    std::string deep = sysroot_.Home();
    while (deep.size() < 1100)
        deep += "/" + std::string(100, 'h');
    tolktest::MakeFolders(deep);
    setenv("HOME", deep.c_str(), 1);
    std::string path;
    EXPECT_TRUE(MacUtils::StdStringFindFolder(platform::kUserDomain, platform::FourCharCode('p', 'r', 'e', 'f'), true, path));
    EXPECT_EQ(path, deep + "/Library/Preferences");

    std::string untouched = "kept";
    EXPECT_FALSE(MacUtils::StdStringFindFolder(platform::kLocalDomain, platform::FourCharCode('z', 'z', 'z', 'z'), true, untouched));
    EXPECT_FALSE(MacUtils::StdStringFindFolder(-1, platform::FourCharCode('p', 'r', 'e', 'f'), true, untouched));
    std::filesystem::remove_all(sysroot_.Path("/Library/Caches"));
    EXPECT_FALSE(MacUtils::StdStringFindFolder(platform::kLocalDomain, platform::FourCharCode('c', 'a', 'c', 'h'), false, untouched));
    EXPECT_EQ(untouched, "kept");
}
