// The built Setup in silent mode with payloads whose scripts record themselves in the
// installation database and record their removal for uninstall: a suite installed again after a
// failed install, then upgraded by a second suite whose payload replaces the first one's, then
// removed.
#include "tests/support/ProgramRun.h"
#include "tests/support/TempSystemRoot.h"

#include "tests/caps/CapsTestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

namespace fs = std::filesystem;

const std::string kOld = "{6A1D0E55-2C3B-4E8F-9A51-3B0C27D6F101}";
const std::string kNew = "{6A1D0E55-2C3B-4E8F-9A51-3B0C27D6F202}";

// The bootstrapper records the session's collection; installed again, its folder is there.
const char kConditions[] = "QENConditions.recorded = true;\n";

const char kBootstrapperInstructions[] =
    "var folder = QENGetProperty('INSTALLDIR');\n"
    "var installers = folder.substring(0, folder.lastIndexOf('/'));\n"
    "if (!QENPathExists(installers) && !QENCreateDirectory(installers)) throw new Error('no folder');\n"
    "if (!QENPathExists(folder)) {\n"
    "  if (!QENCreateDirectory(folder)) throw new Error('no folder');\n"
    "  QENAddToUninstallScript(\"QENDeleteDirectory('\" + folder + \"');\");\n"
    "}\n"
    "if (!QENCAPSWriteCollectionData(QENGetProperty('sessionID'), QENGetProperty('driverOrvexCode'),\n"
    "                                QENGetProperty('installSourcePath'), ''))\n"
    "  throw new Error('collection not recorded');\n";

// Installs <INSTALLDIR>/<file> and records the payload, recording for uninstall the removal of
// both; the database removal is the payload's one write when its stored script is played back.
// The script saves the uninstall script itself (the support script's suffix saves again) before
// a last check that fails while the image has no "ready" file.
std::string PayloadInstructions(const std::string& file, const std::string& upgrades)
{
    return "var target = QENGetProperty('INSTALLDIR');\n"
           "if (!QENCreateDirectory(target)) throw new Error('no folder');\n"
           "QENAddToUninstallScript(\"QENDeleteDirectory('\" + target + \"');\");\n"
           "var file = target + '/" + file + "';\n"
           "if (!QENCopyFile(QENGetProperty('QEN_ASSETS') + '/" + file + "', file)) throw new Error('not copied');\n"
           "QENAddToUninstallScript(\"QENDeleteFile('\" + file + \"');\");\n"
           "var session = QENGetProperty('sessionID'), code = QENGetProperty('orvexCode');\n"
           "if (!QENCAPSWritePayloadData(session, code, 'Sketchbook', 'Orvex Sketchbook', '1.0', 'build-1',\n"
           "    QENGetProperty('installLanguage'), target, '', false, '', '', [], [], [], [" + upgrades + "], '',\n"
           "    QENGetProperty('QEN_PAYLOAD'), 'install'))\n"
           "  throw new Error('not recorded');\n"
           "QENAddToUninstallScript(\"if (!QENCAPSRemovePayloadData('\" + session + \"', '\" + code + \"'))\"\n"
           "                        + \" throw new Error('record kept');\", 'QENConditions.recorded');\n"
           "if (!QENSaveUninstallScript()) throw new Error('not saved');\n"
           "if (!QENPathExists(QENGetProperty('QEN_ASSETS') + '/ready')) throw new Error('not ready');\n";
}

class SilentSetupReinstallFaultTest : public tolktest::SystemRootTest {
protected:
    void SetUp() override
    {
        // Only root may make the installation database's folders.
        if (geteuid() != 0)
            GTEST_SKIP() << "needs root";
    }

    // A medium with the example's wizard scripts, a bootstrapper and one command payload that
    // installs <[ProgramFiles]>/Orvex Sketchbook/<file>.
    std::string MakeMedium(const std::string& name, const std::string& code, const std::string& file,
                           bool upgradesOld)
    {
        const std::string medium = sysroot_.Scratch() + "/" + name;
        const std::string upgradeList =
            "<Upgrades>" + (upgradesOld ? "<OrvexCode>" + kOld + "</OrvexCode>" : "") + "</Upgrades>";
        tolktest::MakeFolders(medium + "/payloads/Sketchbook");
        fs::copy(TOLK_SOURCE_DIR "/examples/resources", medium + "/resources", fs::copy_options::recursive);
        tolktest::WriteTextFile(medium + "/payloads/Setup.xml",
                                "<?xml version=\"1.0\" encoding=\"utf-8\"?><Setup><Driver folder=\"Sketchbook\"/></Setup>");
        tolktest::WriteTextFile(
            medium + "/payloads/Sketchbook/Sketchbook.proxy.xml",
            "<?xml version=\"1.0\" encoding=\"utf-8\"?><PayloadInfo version=\"2.0\"><InstallerProperties>"
            "<Property name=\"OrvexCode\">" + code + "</Property>"
            "<Property name=\"ProductName\">Orvex Sketchbook</Property><Property name=\"ProductVersion\">1.0</Property>"
            "</InstallerProperties><BuildInfo><Property name=\"Created\">build-1</Property></BuildInfo>"
            "<Languages languageIndependent=\"1\"/>"
            "<Satisfies><ProductInfo><Family>Sketchbook</Family><ProductName>Orvex Sketchbook</ProductName>"
            "<ProductVersion>1.0</ProductVersion></ProductInfo></Satisfies>"
            + upgradeList +
            "<InstallDir><Platform name=\"OSX\" folderName=\"Orvex Sketchbook\" isFixed=\"0\">[ProgramFiles]</Platform>"
            "</InstallDir></PayloadInfo>");
        WriteImage(medium + "/Bootstrapper.dmg", "", kBootstrapperInstructions);
        const std::string image = medium + "/payloads/Sketchbook/Sketchbook.dmg";
        WriteImage(image, code, PayloadInstructions(file, upgradesOld ? "'" + kOld + "'" : ""), upgradeList);
        tolktest::WriteTextFile(image + "/Assets/" + file, file);
        tolktest::WriteTextFile(image + "/Assets/ready", "");
        return medium;
    }

    // An image whose proxy names the payload and what it upgrades.
    static void WriteImage(const std::string& image, const std::string& code, const std::string& instructions,
                           const std::string& upgrades = "")
    {
        tolktest::MakeFolders(image + "/Assets");
        const std::string property = code.empty() ? "" : "<Property name=\"OrvexCode\">" + code + "</Property>";
        tolktest::WriteTextFile(image + "/Proxy.xml", "<?xml version=\"1.0\" encoding=\"utf-8\"?><PayloadInfo "
                                                      "version=\"2.0\"><InstallerProperties>" +
                                                          property + "</InstallerProperties>" + upgrades +
                                                          "</PayloadInfo>");
        tolktest::WriteTextFile(image + "/Conditions.js", kConditions);
        tolktest::WriteTextFile(image + "/Instructions.js", instructions);
    }

    // Runs Setup silently on the medium and answers its exit code.
    int Run(const std::string& medium, const std::vector<std::string>& more = {})
    {
        std::vector<std::string> arguments{"--mode=silent", "--installerParent=" + medium};
        arguments.insert(arguments.end(), more.begin(), more.end());
        const tolktest::ProgramResult result = tolktest::RunCapturingOutput(SETUP_PROGRAM, arguments);
        output_ = result.output + result.errorOutput;
        if (result.exitCode != 0) {
            // What went wrong is in the session logs.
            output_ += tolktest::RunCapturingOutput("/bin/sh", {"-c", "zcat \"$0\"/*.gz", sysroot_.Path("/Library/Logs/Orvex/Installers")}).output;
        }
        return result.exitCode;
    }

    std::vector<std::string> Query(const std::string& sql)
    {
        capstest::RawDatabase database(sysroot_.Path("/Library/Application Support/Orvex/caps/caps.db"));
        return database.Rows(sql);
    }
    std::vector<std::string> InstalledPayloads()
    {
        return Query("SELECT payloadID FROM tolk_collection_payload WHERE installState = 2 AND payloadID LIKE '{%' "
                     "ORDER BY 1");
    }
    std::string Installed(const std::string& file) const
    {
        return sysroot_.Path("/Applications/Orvex Sketchbook/") + file;
    }
    std::string Uninstall(const std::string& identifier) const
    {
        return sysroot_.Path("/Library/Application Support/Orvex/Uninstall/") + identifier + ".js";
    }

    static std::size_t Occurrences(const std::string& text, const std::string& part)
    {
        std::size_t count = 0;
        for (std::string::size_type at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
            ++count;
        return count;
    }

    std::string output_;
};

}  // namespace

TEST_F(SilentSetupReinstallFaultTest, InstallAgainUpgradeAndRemove)
{
    // The first install fails after it saved part of its uninstall script, which goes with the
    // rest of the run; installed again, the payload stores its script anew, with its conditions
    // once and its entries once.
    const std::string first = MakeMedium("first", kOld, "old.txt", false);
    const std::string ready = first + "/payloads/Sketchbook/Sketchbook.dmg/Assets/ready";
    fs::remove(ready);
    ASSERT_EQ(Run(first), 22) << output_;
    EXPECT_FALSE(fs::exists(Uninstall(kOld)));
    EXPECT_THAT(InstalledPayloads(), IsEmpty());
    EXPECT_FALSE(fs::exists(Installed("old.txt")));
    tolktest::WriteTextFile(ready, "");
    ASSERT_EQ(Run(first), 0) << output_;
    const std::string stored = tolktest::ReadTextFile(Uninstall(kOld));
    EXPECT_EQ(Occurrences(stored, kConditions), 1u) << stored;
    EXPECT_EQ(Occurrences(stored, "QENCAPSRemovePayloadData"), 1u) << stored;
    EXPECT_EQ(Occurrences(stored, "QENDeleteFile"), 1u) << stored;
    EXPECT_THAT(InstalledPayloads(), ElementsAre(kOld));

    // The upgrade plays the old payload's script, which removes its files and its record, then
    // installs and records the new payload. The old suite's collection, left without its driver,
    // goes with it (and its bootstrapper's script), as a removal of its last payload would do.
    const std::vector<std::string> oldCollection = Query("SELECT collectionID FROM tolk_collection");
    ASSERT_EQ(oldCollection.size(), 1u);
    const std::string second = MakeMedium("second", kNew, "new.txt", true);
    ASSERT_EQ(Run(second), 0) << output_;
    EXPECT_FALSE(fs::exists(Installed("old.txt")));
    EXPECT_FALSE(fs::exists(Uninstall(kOld)));
    EXPECT_FALSE(fs::exists(Uninstall(oldCollection[0])));
    EXPECT_EQ(tolktest::ReadTextFile(Installed("new.txt")), "new.txt");
    EXPECT_THAT(InstalledPayloads(), ElementsAre(kNew));
    const std::vector<std::string> collections = Query("SELECT collectionID FROM tolk_collection");
    ASSERT_EQ(collections.size(), 1u);
    EXPECT_NE(collections[0], oldCollection[0]);

    const std::string remove = sysroot_.Scratch() + "/remove.xml";
    tolktest::WriteTextFile(remove, "<?xml version=\"1.0\" encoding=\"utf-8\"?><Deployment><Payloads><Payload orvexCode=\"" +
                                        kNew + "\"><Action>remove</Action></Payload></Payloads></Deployment>");
    ASSERT_EQ(Run(second, {"--deploymentFile=" + remove}), 0) << output_;
    EXPECT_FALSE(fs::exists(sysroot_.Path("/Applications/Orvex Sketchbook")));
    EXPECT_FALSE(fs::exists(Uninstall(kNew)));
    EXPECT_THAT(InstalledPayloads(), IsEmpty());
}
