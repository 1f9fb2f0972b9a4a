#include "QENSystemCommandTest.h"

#include "QEN/source/mac/PDFSettingUtils.h"
#include "QEN/source/mac/QENRemovePDFSettingEntryCommand.h"
#include "QEN/source/mac/QENWritePDFSettingEntryCommand.h"

using platform::PropertyValue;
using platform::PropertyValuePtr;
using qentest::Exists;

namespace {

class QENPDFSettingCommandsTest : public qentest::QENSystemCommandTest {
protected:
    std::string SettingsFile() const { return Sys("/Library/Preferences/com.orvex.PDFAdminSettings.plist"); }
    std::string SettingsFolder() const { return Sys("/Library/Application Support/Orvex/Orvex PDF/Settings"); }

    // A settings file whose "PDFSettings" holds the given dictionary body.
    void WriteSettings(const std::string& settingsBody, const std::string& extra = "")
    {
        tolktest::WriteTextFile(SettingsFile(), PlistText("<dict><key>PDFSettingsPath</key><string>/kept</string>" +
                                                          extra + "<key>PDFSettings</key>" + settingsBody + "</dict>"));
    }

    // The language's array as "a,b,c" (non-strings as "#"); "none" without one.
    std::string Pairs(const std::string& language)
    {
        PropertyValuePtr root = ReadPlist(SettingsFile());
        if (!root || !root->Get("PDFSettings") || !root->Get("PDFSettings")->Get(language))
            return "none";
        std::string text;
        for (const PropertyValuePtr& item : root->Get("PDFSettings")->Get(language)->ArrayItems()) {
            if (!text.empty())
                text += ",";
            text += item->GetType() == PropertyValue::kString ? item->StringValue() : "#";
        }
        return text;
    }

    QENCommand* Write(const std::string& language, const std::string& name, const std::string& translation)
    {
        return new QENWritePDFSettingEntryCommand(CommandLog(), language, name, translation);
    }
    QENCommand* Remove(const std::string& language, const std::string& name)
    {
        return new QENRemovePDFSettingEntryCommand(CommandLog(), language, name);
    }
};

}  // namespace

TEST_F(QENPDFSettingCommandsTest, WriteIntoAnAbsentFileCreatesItAndRollbackLeavesTheEmptyLanguage)
{
    ASSERT_TRUE(Perform(Write("de_DE", "High Quality", "Hohe Qualität")));
    PropertyValuePtr root = ReadPlist(SettingsFile());
    ASSERT_TRUE(root);
    EXPECT_EQ(*root, *Parse(PlistText("<dict><key>PDFSettingsPath</key><string>" + SettingsFolder() +
                                      "</string><key>PDFSettings</key><dict><key>de_DE</key><array>"
                                      "<string>High Quality</string><string>Hohe Qualität</string>"
                                      "</array></dict></dict>")));
    EXPECT_FALSE(Exists(SettingsFolder()));
    EXPECT_TRUE(log_.Has("5 1 PDF Setting translation for name \"High Quality\" in language \"de_DE\" set to "
                         "\"Hohe Qualität\""));

    EXPECT_TRUE(Rollback());
    EXPECT_EQ(Pairs("de_DE"), "");
    EXPECT_TRUE(log_.Has("5 1 No prior PDF Setting translation existed for name \"High Quality\" in language "
                         "\"de_DE\" existed, removing"));
    EXPECT_TRUE(log_.Has("5 1 PDF Setting translation for name \"High Quality\" in language \"de_DE\" removed"));
}

TEST_F(QENPDFSettingCommandsTest, WriteReplacesOnlyTheTranslationAndRollbackWritesTheOldOneBack)
{
    WriteSettings("<dict><key>fr_FR</key><array><string>A</string><string>a-fr</string>"
                  "<string>B</string><string>b-fr</string></array>"
                  "<key>de_DE</key><array><string>A</string><string>a-de</string></array></dict>",
                  "<key>Other</key><integer>7</integer>");
    ASSERT_TRUE(Perform(Write("fr_FR", "A", "nouveau")));
    EXPECT_EQ(Pairs("fr_FR"), "A,nouveau,B,b-fr");
    EXPECT_EQ(Pairs("de_DE"), "A,a-de");
    EXPECT_TRUE(log_.Has("5 1 Preserved old PDF Setting translation for name \"A\" in language \"fr_FR\" of \"a-fr\""));
    PropertyValuePtr root = ReadPlist(SettingsFile());
    EXPECT_EQ(root->Get("Other")->IntegerValue(), 7);
    EXPECT_EQ(root->Get("PDFSettingsPath")->StringValue(), "/kept");

    EXPECT_TRUE(Rollback());
    EXPECT_EQ(Pairs("fr_FR"), "A,a-fr,B,b-fr");
    EXPECT_TRUE(log_.Has("5 1 Restoring old PDF Setting translation for name \"A\" in language \"fr_FR\" to \"a-fr\""));
    EXPECT_TRUE(log_.Has("5 1 Restored PDF Setting translation for name \"A\" in language \"fr_FR\" to \"a-fr\""));

    // A name differing in case is another name: its pair is appended.
    ASSERT_TRUE(Perform(Write("fr_FR", "a", "minuscule")));
    EXPECT_TRUE(Commit());
    EXPECT_EQ(Pairs("fr_FR"), "A,a-fr,B,b-fr,a,minuscule");
}

TEST_F(QENPDFSettingCommandsTest, ANameWithoutTranslationIsNotFoundButTheWriteCompletesIt)
{
    WriteSettings("<dict><key>fr_FR</key><array><integer>1</integer><string>x</string>"
                  "<string>A</string></array></dict>");
    std::string translation = "unchanged";
    EXPECT_FALSE(PDFSettingUtils::GetPDFSetting("fr_FR", "A", translation));
    EXPECT_EQ(translation, "unchanged");
    ASSERT_TRUE(Perform(Write("fr_FR", "A", "a-fr")));
    EXPECT_EQ(Pairs("fr_FR"), "#,x,A,a-fr");
    EXPECT_TRUE(PDFSettingUtils::GetPDFSetting("fr_FR", "A", translation));
    EXPECT_EQ(translation, "a-fr");
    // Not found before, so the rollback removes the pair.
    EXPECT_TRUE(Rollback());
    EXPECT_EQ(Pairs("fr_FR"), "#,x");
    // A trailing name alone is removed alone.
    WriteSettings("<dict><key>fr_FR</key><array><string>A</string><string>a</string><string>B</string></array></dict>");
    EXPECT_TRUE(PDFSettingUtils::RemovePDFSetting("fr_FR", "B"));
    EXPECT_EQ(Pairs("fr_FR"), "A,a");
}

TEST_F(QENPDFSettingCommandsTest, RemoveTakesThePairAndRollbackRestoresIt)
{
    WriteSettings("<dict><key>fr_FR</key><array><string>A</string><string>a-fr</string>"
                  "<string>B</string><string>b-fr</string></array></dict>");
    ASSERT_TRUE(Perform(Remove("fr_FR", "A")));
    EXPECT_EQ(Pairs("fr_FR"), "B,b-fr");
    EXPECT_TRUE(log_.Has("5 1 PDF Setting translation for name \"A\" in language \"fr_FR\" removed"));
    EXPECT_TRUE(Rollback());
    EXPECT_EQ(Pairs("fr_FR"), "B,b-fr,A,a-fr");

    ASSERT_TRUE(Perform(Remove("fr_FR", "B")));
    EXPECT_TRUE(Commit());
    EXPECT_EQ(Pairs("fr_FR"), "A,a-fr");
}

TEST_F(QENPDFSettingCommandsTest, RemovingANameWithoutTranslationTouchesNothing)
{
    WriteSettings("<dict><key>fr_FR</key><array><string>A</string><string>a-fr</string></array></dict>");
    const std::string before = tolktest::ReadTextFile(SettingsFile());
    ASSERT_TRUE(Perform(Remove("fr_FR", "a")));
    ASSERT_TRUE(Perform(Remove("it_IT", "A")));
    EXPECT_EQ(tolktest::ReadTextFile(SettingsFile()), before);
    EXPECT_TRUE(log_.Has("5 1 Old PDF Setting entry for name \"a\" in language \"fr_FR\" not found, not removing."));

    EXPECT_TRUE(Rollback());
    EXPECT_EQ(tolktest::ReadTextFile(SettingsFile()), before);
    EXPECT_TRUE(log_.Has("5 1 No prior PDF Setting translation existed for name \"a\" in language \"fr_FR\" "
                         "existed; skipping restore"));
}
