#include "QENSystemCommandTest.h"

#include "QEN/source/mac/PDFSettingUtils.h"
#include "QEN/source/mac/QENRemovePDFSettingEntryCommand.h"
#include "QEN/source/mac/QENWritePDFSettingEntryCommand.h"

namespace {

class QENPDFSettingCommandsFaultTest : public qentest::QENSystemCommandTest {
protected:
    std::string SettingsFile() const { return Sys("/Library/Preferences/com.orvex.PDFAdminSettings.plist"); }
};

}  // namespace

TEST_F(QENPDFSettingCommandsFaultTest, SettingsOfTheWrongTypeFailBothCommandsWithoutWriting)
{
    for (const char* settings : {"<array><string>fr_FR</string></array>", "<string>fr_FR</string>",
                                 "<dict><key>fr_FR</key><string>A</string></dict>"}) {
        const std::string text =
            PlistText(std::string("<dict><key>PDFSettingsPath</key><string>/p</string><key>PDFSettings</key>") +
                      settings + "</dict>");
        tolktest::WriteTextFile(SettingsFile(), text);
        log_.lines.clear();
        EXPECT_FALSE(Perform(new QENWritePDFSettingEntryCommand(CommandLog(), "fr_FR", "A", "a")));
        EXPECT_TRUE(log_.Has("2 1 Unable to set PDF Setting translation for name \"A\" in language \"fr_FR\" to \"a\""))
            << log_.Dump();
        EXPECT_FALSE(PDFSettingUtils::RemovePDFSetting("fr_FR", "A")) << settings;
        EXPECT_EQ(tolktest::ReadTextFile(SettingsFile()), text);
        EXPECT_EQ(engine_->PerformedCommandCount(), 0u);
    }
}

TEST_F(QENPDFSettingCommandsFaultTest, MissingUnreadableAndForeignFiles)
{
    EXPECT_TRUE(PDFSettingUtils::RemovePDFSetting("fr_FR", "A"));
    EXPECT_FALSE(qentest::Exists(SettingsFile()));

    // A root of another type is not ours to replace.
    const std::string text = PlistText("<array><string>A</string></array>");
    tolktest::WriteTextFile(SettingsFile(), text);
    EXPECT_FALSE(PDFSettingUtils::SetPDFSetting("fr_FR", "A", "a"));
    EXPECT_FALSE(PDFSettingUtils::RemovePDFSetting("fr_FR", "A"));
    EXPECT_EQ(tolktest::ReadTextFile(SettingsFile()), text);

    // An unreadable file holds nothing: a remove fails, a write replaces it.
    tolktest::WriteTextFile(SettingsFile(), "not a property list");
    EXPECT_FALSE(PDFSettingUtils::RemovePDFSetting("fr_FR", "A"));
    std::string translation;
    EXPECT_FALSE(PDFSettingUtils::GetPDFSetting("fr_FR", "A", translation));
    EXPECT_TRUE(PDFSettingUtils::SetPDFSetting("fr_FR", "A", "a"));
    EXPECT_TRUE(PDFSettingUtils::GetPDFSetting("fr_FR", "A", translation));
    EXPECT_EQ(translation, "a");
}

TEST_F(QENPDFSettingCommandsFaultTest, AFailedRestoreLogsAndFailsTheRollback)
{
    tolktest::WriteTextFile(SettingsFile(), PlistText("<dict><key>PDFSettings</key><dict><key>fr_FR</key><array>"
                                                      "<string>A</string><string>a-fr</string></array></dict></dict>"));
    ASSERT_TRUE(Perform(new QENRemovePDFSettingEntryCommand(CommandLog(), "fr_FR", "A")));
    // Someone else turns the settings into something this system cannot change.
    tolktest::WriteTextFile(SettingsFile(), PlistText("<dict><key>PDFSettings</key><string>x</string></dict>"));
    EXPECT_FALSE(Rollback());
    EXPECT_TRUE(log_.Has("2 1 Unable to restore PDF Setting translation for name \"A\" in language \"fr_FR\" to \"a-fr\""));
    EXPECT_TRUE(log_.Has("2 1 Error rolling back command QENRemovePDFSettingEntryCommand"));
}
