#include "Common/source/mac/BundleUtils.h"
#include "Common/source/mac/MacUtils.h"

#include "platform/Folders.h"

#include "tests/support/TempSystemRoot.h"

#include <gtest/gtest.h>

using platform::FourCharCode;
using tolktest::SystemRootTest;

namespace {

std::string InfoPlist(const std::string& type, const std::string& executable)
{
    std::string text = "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>CFBundlePackageType</key><string>" + type +
                       "</string><key>CFBundleSignature</key><string>Tolk</string>";
    if (!executable.empty())
        text += "<key>CFBundleExecutable</key><string>" + executable + "</string>";
    return text + "</dict></plist>";
}

}  // namespace

class BundleUtilsTest : public SystemRootTest {
protected:
    // An application bundle; withExecutable false leaves the named executable out.
    std::string MakeApp(const std::string& path, bool withExecutable)
    {
        tolktest::MakeFolders(path + "/Contents/MacOS");
        tolktest::WriteTextFile(path + "/Contents/Info.plist", InfoPlist("APPL", "Tool"));
        if (withExecutable)
            tolktest::WriteTextFile(path + "/Contents/MacOS/Tool", "#!/bin/sh\n");
        return path;
    }
};

TEST_F(BundleUtilsTest, PackageInfo)
{
    const std::string app = MakeApp(sysroot_.Scratch() + "/A.app", true);
    std::uint32_t type = 0;
    std::uint32_t creator = 0;
    ASSERT_TRUE(MacUtils::GetPackageInfo(FileSystemPath(app), type, creator));
    EXPECT_EQ(type, FourCharCode('A', 'P', 'P', 'L'));
    EXPECT_EQ(creator, FourCharCode('T', 'o', 'l', 'k'));

    // A bundle with only a PkgInfo file.
    tolktest::MakeFolders(sysroot_.Scratch() + "/F.framework/Contents");
    tolktest::WriteTextFile(sysroot_.Scratch() + "/F.framework/Contents/PkgInfo", "FMWK????");
    ASSERT_TRUE(MacUtils::GetPackageInfo(FileSystemPath(sysroot_.Scratch() + "/F.framework"), type, creator));
    EXPECT_EQ(type, FourCharCode('F', 'M', 'W', 'K'));

    tolktest::MakeFolders(sysroot_.Scratch() + "/plain");
    type = 7;
    EXPECT_FALSE(MacUtils::GetPackageInfo(FileSystemPath(sysroot_.Scratch() + "/plain"), type, creator));
    EXPECT_FALSE(MacUtils::GetPackageInfo(FileSystemPath(sysroot_.Scratch() + "/missing"), type, creator));
    EXPECT_EQ(type, 7u);
}

TEST_F(BundleUtilsTest, BundlesFoundAndRefused)
{
    const std::string app = MakeApp(sysroot_.Scratch() + "/A.app", true);
    platform::BundlePtr bundle = BundleUtils::CreateBundleFromPath(FileSystemPath(app));
    ASSERT_TRUE(bundle);
    std::string executable;
    EXPECT_TRUE(bundle->ExecutablePath(executable));
    EXPECT_EQ(executable, app + "/Contents/MacOS/Tool");

    tolktest::WriteTextFile(sysroot_.Scratch() + "/file", "");
    EXPECT_FALSE(BundleUtils::CreateBundleFromPath(FileSystemPath(sysroot_.Scratch() + "/file")));
    EXPECT_FALSE(BundleUtils::CreateBundleFromPath(FileSystemPath(sysroot_.Scratch() + "/missing")));
}

TEST_F(BundleUtilsTest, EnclosingBundleOfType)
{
    const std::string app = MakeApp(sysroot_.Scratch() + "/Outer.app", true);
    MakeApp(app + "/Contents/Resources/Inner.app", false);
    const FileSystemPath inside(app + "/Contents/Resources/Inner.app/Contents/MacOS/Tool");

    platform::BundlePtr nearest = BundleUtils::CreateEnclosingCFBundleOfType(inside, FourCharCode('A', 'P', 'P', 'L'), false);
    ASSERT_TRUE(nearest);
    EXPECT_EQ(nearest->Path(), app + "/Contents/Resources/Inner.app");

    // The inner bundle has no executable: with the flag the walk goes on upward.
    platform::BundlePtr runnable = BundleUtils::CreateEnclosingCFBundleOfType(inside, FourCharCode('A', 'P', 'P', 'L'), true);
    ASSERT_TRUE(runnable);
    EXPECT_EQ(runnable->Path(), app);

    // The path itself is never tested.
    EXPECT_FALSE(BundleUtils::CreateEnclosingCFBundleOfType(FileSystemPath(app), FourCharCode('A', 'P', 'P', 'L'), false));
    EXPECT_FALSE(BundleUtils::CreateEnclosingCFBundleOfType(inside, FourCharCode('F', 'M', 'W', 'K'), false));
}
