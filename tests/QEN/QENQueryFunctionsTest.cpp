#include "QENQueryTestSupport.h"

#include "platform/desktop/LaunchServices.h"
#include "platform/files/Volumes.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

using qentest::Quote;

namespace {

class QENQueryFunctionsTest : public qentest::QENQueryTest {
protected:
    std::string Call(const std::string& function, const std::string& path)
    {
        return Json(function + "(" + Quote(path) + ")");
    }

    std::string App(const std::string& name, const std::string& creator)
    {
        const std::string path = sysroot_.Path("/Applications/" + name);
        tolktest::MakeFolders(path + "/Contents");
        tolktest::WriteTextFile(path + "/Contents/PkgInfo", "APPL" + creator);
        EXPECT_EQ(platform::RegisterApplication(path, true), 0);
        return path;
    }
};

}  // namespace

TEST_F(QENQueryFunctionsTest, ArgumentCountsAndPathsAreChecked)
{
    for (const char* call : {"QENPathExists()", "QENGetPathChildren('/a', '/b')", "QENGetVolumePathForPath()",
                             "QENIsFileEmpty()", "QENGetBrowserPaths('/a')", "QENGlobTest('a')",
                             "QENGetOrvexFileVersion()", "QENGetVersionPlistVersion('/a', '/b')",
                             "QENGetCapsPayloadDataKeysAndValues('p', 5, 1)", "QENGetRelocationData()"})
        EXPECT_EQ(Code(call), "20") << call;
    // A path that is not a full one is refused, never looked up against the working folder.
    EXPECT_EQ(Code("QENPathExists('relative')"), "-29");
    EXPECT_EQ(Code("QENIsFileEmpty(undefined)"), "-29");
}

TEST_F(QENQueryFunctionsTest, ExistenceChildrenAndEmptiness)
{
    tolktest::MakeFolders(Scratch("folder/sub"));
    tolktest::WriteTextFile(Scratch("folder/empty"), "");
    tolktest::WriteTextFile(Scratch("folder/.full"), "data");
    ASSERT_EQ(symlink(Scratch("folder/empty").c_str(), Scratch("link").c_str()), 0);
    ASSERT_EQ(symlink(Scratch("nowhere").c_str(), Scratch("dangling").c_str()), 0);

    EXPECT_EQ(Call("QENPathExists", Scratch("dangling")), "true");
    EXPECT_EQ(Call("QENPathExists", Scratch("nowhere")), "false");

    EXPECT_EQ(Eval("QENGetPathChildren(" + Quote(Scratch("folder")) + ").sort().join('|')"), ".full|empty|sub");
    EXPECT_EQ(Call("QENGetPathChildren", Scratch("folder/sub")), "[]");
    EXPECT_EQ(Call("QENGetPathChildren", Scratch("nowhere")), "undefined");

    EXPECT_EQ(Call("QENIsFileEmpty", Scratch("folder/empty")), "true");
    EXPECT_EQ(Call("QENIsFileEmpty", Scratch("folder/.full")), "false");
    // Only regular files have an answer; a link is not followed.
    EXPECT_EQ(Call("QENIsFileEmpty", Scratch("folder")), "undefined");
    EXPECT_EQ(Call("QENIsFileEmpty", Scratch("link")), "undefined");
    EXPECT_EQ(Call("QENIsFileEmpty", Scratch("nowhere")), "undefined");
}

TEST_F(QENQueryFunctionsTest, VolumePathIsTheMountPointAboveTheNearestExistingFolder)
{
    tolktest::MakeFolders(Scratch("mnt/usb"));
    tolktest::WriteTextFile(Scratch("plain"), "");
    tolktest::WriteTextFile(Scratch("mountinfo"), "27 1 254:0 / / rw - ext4 /dev/vda rw\n40 27 8:17 / " +
                                                      Scratch("mnt/usb") + " rw - vfat /dev/sdb1 rw\n");
    platform::SetMountTableForTesting(Scratch("mountinfo"));
    EXPECT_EQ(Eval("QENGetVolumePathForPath(" + Quote(Scratch("mnt/usb/not/yet")) + ")"), Scratch("mnt/usb"));
    EXPECT_EQ(Eval("QENGetVolumePathForPath('/')"), "/");
    // No volume lies below a regular file.
    EXPECT_EQ(Code("QENGetVolumePathForPath(" + Quote(Scratch("plain/x")) + ")"), "-29");
    platform::SetMountTableForTesting("");
}

TEST_F(QENQueryFunctionsTest, GlobTestIgnoresCaseAndNothingElse)
{
    EXPECT_EQ(Eval("QENGlobTest('ReadMe.TXT', '*.txt')"), "true");
    EXPECT_EQ(Eval("QENGlobTest('cx', '[ab]x')"), "false");
    // Neither slashes nor leading dots are special; a backslash escapes.
    EXPECT_EQ(Eval("QENGlobTest('/Library/Fonts/a.otf', '/library/*.otf')"), "true");
    EXPECT_EQ(Eval("QENGlobTest('.hidden', '*')"), "true");
    EXPECT_EQ(Eval("QENGlobTest('ab', 'a\\\\*')"), "false");
    EXPECT_EQ(Eval("QENGlobTest(12, '1?')"), "true");
}

TEST_F(QENQueryFunctionsTest, BrowserPaths)
{
    const std::string plugins = sysroot_.Path("/Library/Internet Plug-Ins");
    std::filesystem::remove_all(plugins);
    EXPECT_EQ(Json("QENGetBrowserPaths()"), "[[\"" + plugins + "\"],[\"" + plugins + "\"]]");
    EXPECT_TRUE(std::filesystem::is_directory(plugins));  // made when missing

    const std::string netscape = App("Netscape.app", "MOSS");
    const std::string mozilla = App("Mozilla.app", "MOZZ");
    App("Navigator.app", "MOSS");     // right creator, wrong name
    App("Old/Mozilla.app", "MOSS");  // right name, wrong creator
    const std::string components = "/Contents/MacOS/Components";
    EXPECT_EQ(Json("QENGetBrowserPaths()"), "[[\"" + mozilla + components + "\",\"" + netscape + components + "\",\"" +
                                                plugins + "\"],[\"" + plugins + "\"]]");
}
