// Payloads whose scripts record themselves in the installation database, installed again and
// upgraded: each payload's section of a run may write the database once, a fresh install
// replaces the script an earlier install stored, and the stored script's prelude runs once.
#include "QENDatabaseTestSupport.h"

using namespace qentest;

namespace {

const char* const kOld = "{11111111-2222-3333-4444-555555555555}";
const char* const kNew = "{22222222-3333-4444-5555-666666666666}";

class QENReinstallFaultTest : public WithDatabase<QENRunTest> {
protected:
    // Copies the image's file to <root>/App/<name>, records the payload in collection {S} and
    // records the removal of both for uninstall, saving the script once on the way (the support
    // script's suffix saves it again).
    PayloadImage Image(const std::string& code, const std::string& name, const std::vector<std::string>& upgrades)
    {
        PayloadImage image;
        image.orvexCode = code;
        image.upgrades = upgrades;
        image.conditions = "QENLogMessage(0, 'conditions of " + name + "');\n";
        std::string list;
        for (const std::string& upgraded : upgrades)
            list += (list.empty() ? "'" : ", '") + upgraded + "'";
        image.instructions =
            "var target = '" + App() + "/" + name + "';\n"
            "if (QENPathExists(target) && !QENDeleteFile(target)) throw new Error('not replaced');\n"
            "if (!QENCopyFile(QENGetProperty('QEN_ASSETS') + '/readme.txt', target)) throw new Error('not copied');\n"
            "QENAddToUninstallScript(\"QENDeleteFile('\" + target + \"')\");\n"
            "if (!QENSaveUninstallScript()) throw new Error('not saved');\n"
            "if (!QENCAPSWritePayloadData('{S}', '" + code + "', 'Family', 'Product', '1.0', 'sig', 'en_US', '" + App() +
            "', '', false, '', '', [], [], [], [" + list + "], '', '', 'install'))\n"
            "    throw new Error('not recorded');\n"
            "QENAddToUninstallScript(\"if (!QENCAPSRemovePayloadData('{S}', '" + code + "')) throw new Error('kept');\");\n";
        return image;
    }
    bool Install(const PayloadImage& image, const std::string& name)
    {
        return QENEngine::InstallPayload(controller_, log_, MakeImage(image, name), clientProperties_);
    }
    bool Uninstall(const std::string& code) { return QENEngine::UninstallPayload(controller_, log_, code, clientProperties_); }
    std::string App() const { return sysroot_.Path("/App"); }
};

}  // namespace

TEST_F(QENReinstallFaultTest, InstallAgainUpgradeAndUninstall)
{
    tolktest::MakeFolders(App());
    SeedCollection("{S}");
    ASSERT_TRUE(Install(Image(kOld, "old.txt", {}), "Old1")) << log_.Dump();
    const std::string stored = tolktest::ReadTextFile(UninstallScript(kOld));

    // Installed again: the stored script is the new install's, not the old one extended.
    ASSERT_TRUE(Install(Image(kOld, "old.txt", {}), "Old2")) << log_.Dump();
    EXPECT_EQ(tolktest::ReadTextFile(UninstallScript(kOld)), stored);
    EXPECT_EQ(Payloads(), Strings{kOld});

    // A failed install again puts the script it replaced back.
    PayloadImage broken = Image(kOld, "old.txt", {});
    broken.instructions += "QENSaveUninstallScript();\nthrow new Error('broken');\n";
    EXPECT_FALSE(Install(broken, "Old3"));
    EXPECT_EQ(tolktest::ReadTextFile(UninstallScript(kOld)), stored);

    // The upgrade plays the old payload's script, whose section removes its record, and then
    // records the new payload in a section of its own: one transaction, committed together.
    log_.lines.clear();
    ASSERT_TRUE(Install(Image(kNew, "new.txt", {kOld}), "New")) << log_.Dump();
    EXPECT_EQ(log_.Count("5 conditions of old.txt"), 1u) << log_.Dump();
    EXPECT_FALSE(Exists(App() + "/old.txt"));
    EXPECT_FALSE(Exists(UninstallScript(kOld)));
    EXPECT_EQ(tolktest::ReadTextFile(App() + "/new.txt"), "assets");
    EXPECT_EQ(Payloads(), Strings{kNew});

    ASSERT_TRUE(Uninstall(kNew)) << log_.Dump();
    EXPECT_FALSE(Exists(App() + "/new.txt"));
    EXPECT_EQ(Payloads(), Strings{});
    EXPECT_EQ(Links(), Strings{});
}

TEST_F(QENReinstallFaultTest, AnUpgradeThatFailsLateKeepsEveryRecord)
{
    tolktest::MakeFolders(App());
    SeedCollection("{S}");
    ASSERT_TRUE(Install(Image(kOld, "old.txt", {}), "Old")) << log_.Dump();
    const Strings before = Everything();
    // The new payload is recorded, then fails: the old payload's removal is undone with it.
    PayloadImage image = Image(kNew, "new.txt", {kOld});
    image.instructions += "throw new Error('late');\n";
    EXPECT_FALSE(Install(image, "New"));
    EXPECT_EQ(Everything(), before);
    EXPECT_EQ(tolktest::ReadTextFile(App() + "/old.txt"), "assets");
    EXPECT_TRUE(Exists(UninstallScript(kOld)));

    // A section that writes twice is still refused, and the run rolls back.
    image = Image(kNew, "new.txt", {kOld});
    image.instructions += "QENCAPSRemovePayloadData('{S}', '" + std::string(kNew) + "');\n";
    EXPECT_FALSE(Install(image, "New2"));
    EXPECT_TRUE(log_.Has("2 Unexpected call to QENCAPSRemovePayloadData after CAPS has been locked."));
    EXPECT_EQ(Everything(), before);
}
