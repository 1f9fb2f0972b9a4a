#include "Common/source/mac/FileSystemUtilsMac.h"
#include "Common/source/xplat/FileSystemUtils.h"

#include "platform/Folders.h"
#include "platform/desktop/Finder.h"
#include "platform/desktop/LaunchServices.h"
#include "platform/files/ExtendedAttributes.h"
#include "platform/files/ResourceFork.h"

#include "tests/support/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <stdio.h>

#include <algorithm>
#include <mutex>

using platform::FourCharCode;
using tolktest::SystemRootTest;

namespace {

class RecordingFinder : public platform::FinderInterface {
public:
    int SendUpdateEvent(const platform::FileRef& item, bool waitForReply) override
    {
        std::lock_guard<std::mutex> lock(mutex);
        updates.push_back(item.path);
        waited.push_back(waitForReply);
        return 0;
    }
    int SendCreateAliasEvent(const platform::FileRef&, const platform::FileRef&, const std::string&) override { return 0; }

    std::mutex mutex;  // guards updates, waited
    std::vector<std::string> updates;
    std::vector<bool> waited;
};

const std::int16_t kIconID = -16496;

}  // namespace

class FinderAliasTest : public SystemRootTest {
protected:
    void SetUp() override
    {
        if (!platform::FolderSupportsExtendedAttributes(sysroot_.Scratch()))
            GTEST_SKIP() << "the file system keeps no user attributes";
        platform::SetFinder(finder_);
    }
    void TearDown() override
    {
        platform::SetFinder(boost::shared_ptr<platform::FinderInterface>());
        platform::SetRegistrationHookForTesting(platform::RegistrationHook());
    }

    std::string Scratch(const std::string& name) const { return sysroot_.Scratch() + "/" + name; }
    FileSystemPath P(const std::string& name) const { return FileSystemPath(Scratch(name)); }

    void SetTypeAndCreator(const std::string& name, std::uint32_t type, std::uint32_t creator)
    {
        platform::FinderInfo info;
        info.SetFileType(type);
        info.SetCreator(creator);
        ASSERT_EQ(platform::WriteFinderInfo(Scratch(name), info), 0);
    }
    void MakeBundle(const std::string& name, const std::string& packageType)
    {
        tolktest::MakeFolders(Scratch(name + "/Contents"));
        tolktest::WriteTextFile(Scratch(name + "/Contents/PkgInfo"), packageType + "ABCD");
    }
    platform::FinderInfo InfoOf(const std::string& name)
    {
        platform::FinderInfo info;
        EXPECT_EQ(platform::ReadFinderInfo(Scratch(name), info), 0);
        return info;
    }
    FileSystemPath TargetOf(const std::string& alias)
    {
        FileSystemPath target("/none");
        EXPECT_TRUE(FileSystemUtilsMac::GetMacAliasTarget(P(alias), target)) << alias;
        return target;
    }

    boost::shared_ptr<RecordingFinder> finder_{new RecordingFinder};
};

TEST_F(FinderAliasTest, TypeAndCreatorFollowTheTarget)
{
    MakeBundle("Tool.app", "APPL");
    MakeBundle("Plugin.bundle", "BNDL");
    MakeBundle("Other.pkg", "TEST");
    tolktest::MakeFolders(Scratch("folder"));
    tolktest::WriteTextFile(Scratch("app"), "");
    SetTypeAndCreator("app", FourCharCode('A', 'P', 'P', 'L'), FourCharCode('X', 'Y', 'Z', 'W'));
    tolktest::WriteTextFile(Scratch("note.txt"), "");
    SetTypeAndCreator("note.txt", FourCharCode('T', 'E', 'X', 'T'), FourCharCode('t', 't', 'x', 't'));

    const struct {
        const char* target;
        std::uint32_t type;
        std::uint32_t creator;
    } kCases[] = {
        {"Tool.app", FourCharCode('f', 'a', 'p', 'a'), FourCharCode('A', 'B', 'C', 'D')},
        {"Plugin.bundle", FourCharCode('f', 'p', 'k', 'a'), FourCharCode('A', 'B', 'C', 'D')},
        {"Other.pkg", FourCharCode('f', 'd', 'r', 'p'), FourCharCode('A', 'B', 'C', 'D')},
        {"folder", FourCharCode('f', 'd', 'r', 'p'), FourCharCode('?', '?', '?', '?')},
        {"app", FourCharCode('a', 'd', 'r', 'p'), FourCharCode('X', 'Y', 'Z', 'W')},
        {"note.txt", FourCharCode('T', 'E', 'X', 'T'), FourCharCode('t', 't', 'x', 't')},
    };
    for (const auto& entry : kCases) {
        const std::string alias = std::string(entry.target) + " alias";
        ASSERT_TRUE(FileSystemUtilsMac::CreateMacAlias(P(alias), P(entry.target), nullptr)) << entry.target;
        const platform::FinderInfo info = InfoOf(alias);
        EXPECT_EQ(info.FileType(), entry.type) << entry.target;
        EXPECT_EQ(info.Creator(), entry.creator) << entry.target;
        EXPECT_EQ(info.Flags(), 0x8000) << entry.target;
        EXPECT_EQ(tolktest::ReadTextFile(Scratch(alias)), "");
        EXPECT_EQ(TargetOf(alias).AsUTF8String(), Scratch(entry.target));
        bool isAlias = false;
        ASSERT_TRUE(FileSystemUtilsMac::IsMacAlias(P(alias), isAlias));
        EXPECT_TRUE(isAlias);
    }
    // The Finder was asked to show the new alias's target, from the root down, and waited for.
    ASSERT_FALSE(finder_->updates.empty());
    EXPECT_EQ(finder_->updates.back(), Scratch("note.txt"));
    EXPECT_TRUE(finder_->waited.back());
}

TEST_F(FinderAliasTest, CustomIconsAreCopiedByTypeAndID)
{
    tolktest::WriteTextFile(Scratch("target"), "");
    tolktest::WriteTextFile(Scratch("icons"), "");
    platform::ResourceMap source;
    for (const auto& entry : {std::make_pair(FourCharCode('I', 'C', 'N', '#'), kIconID),
                              std::make_pair(FourCharCode('i', 'c', 'n', 's'), kIconID),
                              std::make_pair(FourCharCode('i', 'c', 'n', 's'), std::int16_t(128)),
                              std::make_pair(FourCharCode('T', 'E', 'X', 'T'), kIconID)}) {
        platform::Resource resource;
        resource.type = entry.first;
        resource.id = entry.second;
        resource.name = "named";
        resource.data = "bits";
        ASSERT_TRUE(source.Add(resource));
    }
    ASSERT_EQ(platform::WriteResourceFork(Scratch("icons"), source), 0);

    const FileSystemPath icons = P("icons");
    ASSERT_TRUE(FileSystemUtilsMac::CreateMacAlias(P("alias"), P("target"), &icons));
    EXPECT_EQ(InfoOf("alias").Flags(), 0x8400);
    platform::ResourceMap fork;
    ASSERT_EQ(platform::ReadResourceFork(Scratch("alias"), fork), 0);
    ASSERT_EQ(fork.Resources().size(), 3u);
    EXPECT_EQ(fork.Resources()[0].type, FourCharCode('a', 'l', 'i', 's'));
    EXPECT_EQ(fork.Resources()[0].id, 0);
    // In the fixed order of icon types, not the source's order, and without names.
    EXPECT_EQ(fork.Resources()[1].type, FourCharCode('i', 'c', 'n', 's'));
    EXPECT_EQ(fork.Resources()[2].type, FourCharCode('I', 'C', 'N', '#'));
    for (std::size_t i = 1; i < 3; ++i) {
        EXPECT_EQ(fork.Resources()[i].id, kIconID);
        EXPECT_EQ(fork.Resources()[i].name, "");
        EXPECT_EQ(fork.Resources()[i].data, "bits");
    }

    // The icons stay when the alias is pointed elsewhere.
    tolktest::WriteTextFile(Scratch("other"), "");
    ASSERT_TRUE(FileSystemUtilsMac::RetargetMacAlias(P("alias"), P("other")));
    EXPECT_EQ(TargetOf("alias").AsUTF8String(), Scratch("other"));
    ASSERT_EQ(platform::ReadResourceFork(Scratch("alias"), fork), 0);
    EXPECT_EQ(fork.Resources().size(), 3u);
}

TEST_F(FinderAliasTest, FailedCreationsLeaveNothing)
{
    tolktest::WriteTextFile(Scratch("target"), "");
    tolktest::WriteTextFile(Scratch("existing"), "keep");
    tolktest::WriteTextFile(Scratch("no-fork"), "");
    const FileSystemPath missingIcons = P("missing-icons");
    const FileSystemPath noFork = P("no-fork");
    EXPECT_FALSE(FileSystemUtilsMac::CreateMacAlias(P("alias"), P("target"), &missingIcons));
    EXPECT_FALSE(FileSystemUtilsMac::CreateMacAlias(P("alias"), P("target"), &noFork));
    EXPECT_FALSE(FileSystemUtilsMac::CreateMacAlias(P("alias"), P("missing"), nullptr));
    EXPECT_FALSE(FileSystemUtils::Exists(P("alias")));
    EXPECT_FALSE(FileSystemUtilsMac::CreateMacAlias(P("existing"), P("target"), nullptr));
    EXPECT_EQ(tolktest::ReadTextFile(Scratch("existing")), "keep");
    EXPECT_TRUE(InfoOf("existing").IsZero());
    EXPECT_FALSE(FileSystemUtilsMac::CreateMacAlias(P("no/folder/alias"), P("target"), nullptr));
}

TEST_F(FinderAliasTest, AliasesFollowTheirTargets)
{
    tolktest::MakeFolders(Scratch("dir"));
    tolktest::WriteTextFile(Scratch("dir/target"), "v1");
    ASSERT_TRUE(FileSystemUtilsMac::CreateMacAlias(P("dir/alias"), P("dir/target"), nullptr));

    // Alias and target moved together: the path relative to the alias finds it.
    ASSERT_EQ(rename(Scratch("dir").c_str(), Scratch("moved").c_str()), 0);
    EXPECT_EQ(TargetOf("moved/alias").AsUTF8String(), Scratch("moved/target"));
    // A target replaced by a new file at its path.
    ASSERT_EQ(unlink(Scratch("moved/target").c_str()), 0);
    tolktest::WriteTextFile(Scratch("moved/target"), "v2");
    EXPECT_EQ(TargetOf("moved/alias").AsUTF8String(), Scratch("moved/target"));

    // No alias: a plain file, a file with the alias flag but no record, a removed target.
    FileSystemPath target("/kept");
    EXPECT_FALSE(FileSystemUtilsMac::GetMacAliasTarget(P("moved/target"), target));
    tolktest::WriteTextFile(Scratch("flag-only"), "");
    platform::FinderInfo info;
    info.SetFlags(0x8000);
    ASSERT_EQ(platform::WriteFinderInfo(Scratch("flag-only"), info), 0);
    EXPECT_FALSE(FileSystemUtilsMac::GetMacAliasTarget(P("flag-only"), target));
    EXPECT_FALSE(FileSystemUtilsMac::RetargetMacAlias(P("flag-only"), P("moved/target")));
    ASSERT_EQ(unlink(Scratch("moved/target").c_str()), 0);
    EXPECT_FALSE(FileSystemUtilsMac::GetMacAliasTarget(P("moved/alias"), target));
    EXPECT_EQ(target.AsUTF8String(), "/kept");

    bool isAlias = true;
    ASSERT_TRUE(FileSystemUtilsMac::IsMacAlias(P("flag-only"), isAlias));
    EXPECT_TRUE(isAlias);
    tolktest::MakeFolders(Scratch("folder"));
    ASSERT_EQ(platform::WriteFinderInfo(Scratch("folder"), info), 0);
    ASSERT_TRUE(FileSystemUtilsMac::IsMacAlias(P("folder"), isAlias));
    EXPECT_FALSE(isAlias) << "a folder is never an alias file";
    EXPECT_FALSE(FileSystemUtilsMac::IsMacAlias(P("missing"), isAlias));
}

TEST_F(FinderAliasTest, AliasDataRoundTrips)
{
    tolktest::WriteTextFile(Scratch("file"), "");
    tolktest::MakeFolders(Scratch("folder"));
    for (const char* name : {"file", "folder"}) {
        std::vector<std::uint8_t> data;
        ASSERT_TRUE(FileSystemUtilsMac::GetMacAliasDataForPath(P(name), data));
        EXPECT_FALSE(data.empty());
        FileSystemPath resolved("/none");
        ASSERT_TRUE(FileSystemUtilsMac::ResolveMacAliasDataToPath(data, resolved));
        EXPECT_EQ(resolved.AsUTF8String(), Scratch(name));
    }
    std::vector<std::uint8_t> data{1, 2, 3};
    EXPECT_FALSE(FileSystemUtilsMac::GetMacAliasDataForPath(P("missing"), data));
    EXPECT_EQ(data, (std::vector<std::uint8_t>{1, 2, 3}));
    FileSystemPath resolved("/none");
    EXPECT_FALSE(FileSystemUtilsMac::ResolveMacAliasDataToPath(data, resolved));
    EXPECT_FALSE(FileSystemUtilsMac::ResolveMacAliasDataToPath(std::vector<std::uint8_t>(), resolved));

    ASSERT_TRUE(FileSystemUtilsMac::GetMacAliasDataForPath(P("file"), data));
    ASSERT_EQ(unlink(Scratch("file").c_str()), 0);
    EXPECT_FALSE(FileSystemUtilsMac::ResolveMacAliasDataToPath(data, resolved));
    EXPECT_EQ(resolved.AsUTF8String(), "/none");
}

TEST_F(FinderAliasTest, AliasDataFindsAVolumeMountedUnderAnotherName)
{
    const std::string declared =
        "<plist version=\"1.0\"><dict><key>volumes</key><array>"
        "<dict><key>mount-point</key><string>/</string></dict>"
        "<dict><key>mount-point</key><string>/Volumes/%s</string><key>name</key><string>Data</string></dict>"
        "</array></dict></plist>";
    auto declare = [&](const std::string& name) {
        std::string text = declared;
        text.replace(text.find("%s"), 2, name);
        sysroot_.WritePlatformSettings(text);
    };
    tolktest::MakeFolders(sysroot_.Path("/Volumes/Data/Installed"));
    declare("Data");
    std::vector<std::uint8_t> data;
    ASSERT_TRUE(FileSystemUtilsMac::GetMacAliasDataForPath(FileSystemPath(sysroot_.Path("/Volumes/Data/Installed")), data));

    ASSERT_EQ(rename(sysroot_.Path("/Volumes/Data").c_str(), sysroot_.Path("/Volumes/Data 1").c_str()), 0);
    declare("Data 1");
    FileSystemPath resolved("/none");
    ASSERT_TRUE(FileSystemUtilsMac::ResolveMacAliasDataToPath(data, resolved));
    EXPECT_EQ(resolved.AsUTF8String(), sysroot_.Path("/Volumes/Data 1/Installed"));
}

TEST_F(FinderAliasTest, DisplayFlagsKeepTheOtherBits)
{
    tolktest::WriteTextFile(Scratch("item"), "");
    std::uint32_t attributes = 99;
    ASSERT_TRUE(FileSystemUtilsMac::GetDisplayAttributes(P("item"), attributes));
    EXPECT_EQ(attributes, 0u);

    platform::FinderInfo info;
    info.SetFileType(FourCharCode('T', 'E', 'X', 'T'));
    info.SetFlags(0x0400 | 0x0100 | 0x0001);
    ASSERT_EQ(platform::WriteFinderInfo(Scratch("item"), info), 0);
    ASSERT_TRUE(FileSystemUtilsMac::GetDisplayAttributes(P("item"), attributes));
    EXPECT_EQ(attributes, 0x2u);

    ASSERT_TRUE(FileSystemUtilsMac::SetDisplayAttributes(P("item"), 0x1, 0x1));
    EXPECT_EQ(InfoOf("item").Flags(), 0x4000 | 0x0400 | 0x0100 | 0x0001);
    ASSERT_TRUE(FileSystemUtilsMac::GetDisplayAttributes(P("item"), attributes));
    EXPECT_EQ(attributes, 0x3u);
    // A mask bit with a clear value clears; bits outside the mask change nothing.
    ASSERT_TRUE(FileSystemUtilsMac::SetDisplayAttributes(P("item"), 0x2, 0x1));
    EXPECT_EQ(InfoOf("item").Flags(), 0x0400 | 0x0100 | 0x0001);
    ASSERT_TRUE(FileSystemUtilsMac::SetDisplayAttributes(P("item"), 0, 0x3));
    EXPECT_EQ(InfoOf("item").Flags(), 0x0100 | 0x0001);
    EXPECT_EQ(InfoOf("item").FileType(), FourCharCode('T', 'E', 'X', 'T'));
    EXPECT_FALSE(finder_->updates.empty());
    EXPECT_FALSE(finder_->waited.back()) << "the display refresh does not wait for the Finder";

    tolktest::MakeFolders(Scratch("folder"));
    ASSERT_TRUE(FileSystemUtilsMac::SetDisplayAttributes(P("folder"), 0x1, 0x1));
    ASSERT_TRUE(FileSystemUtilsMac::GetDisplayAttributes(P("folder"), attributes));
    EXPECT_EQ(attributes, 0x1u);
    EXPECT_FALSE(FileSystemUtilsMac::SetDisplayAttributes(P("missing"), 0x1, 0x1));
}

TEST_F(FinderAliasTest, ApplicationsAreRegisteredAndRefreshed)
{
    const std::string app = sysroot_.Path("/Applications/Tool.app");
    tolktest::MakeFolders(app + "/Contents");
    tolktest::WriteTextFile(app + "/Contents/Info.plist",
                            "<plist version=\"1.0\"><dict><key>CFBundleIdentifier</key><string>com.example.tool</string>"
                            "<key>CFBundlePackageType</key><string>APPL</string>"
                            "<key>CFBundleSignature</key><string>TOOL</string></dict></plist>");
    ASSERT_TRUE(FileSystemUtilsMac::RegisterApplication(FileSystemPath(app)));
    ASSERT_TRUE(FileSystemUtilsMac::RegisterApplication(FileSystemPath(app)));
    std::vector<platform::RegisteredApplication> registry;
    ASSERT_TRUE(platform::ReadApplicationRegistry(registry));
    ASSERT_EQ(registry.size(), 2u) << "an update registers again";
    EXPECT_EQ(registry[0].path, app);
    EXPECT_EQ(registry[0].identifier, "com.example.tool");
    EXPECT_EQ(registry[0].creator, "TOOL");
    EXPECT_EQ(finder_->updates.back(), app);

    finder_->updates.clear();
    EXPECT_FALSE(FileSystemUtilsMac::RegisterApplication(FileSystemPath(sysroot_.Path("/Applications/Missing.app"))));
    EXPECT_FALSE(finder_->updates.empty()) << "the Finder is asked to refresh even after a failure";

    platform::SetRegistrationHookForTesting([](const std::string&, bool) { return EIO; });
    EXPECT_FALSE(FileSystemUtilsMac::RegisterApplication(FileSystemPath(app)));
}
