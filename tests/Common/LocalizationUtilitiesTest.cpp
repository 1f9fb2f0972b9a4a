#include "Common/source/xplat/LocalizationUtilities.h"

#include "tests/support/LocalizationEnvironment.h"
#include "tests/support/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <set>

using LocalizationUtilities::Convert1766ToOrvexLanguage;

TEST(LocalizationUtilitiesTest, TableHoldsEveryKeyOfEveryCode)
{
    const std::map<std::string, std::string> table = LocalizationUtilities::GetOrvexLanguageConversionTable();
    EXPECT_EQ(table.size(), 189u);
    std::set<std::string> codes;
    for (const auto& entry : table)
        codes.insert(entry.second);
    EXPECT_EQ(codes.size(), 48u);
    for (const std::string& code : codes)
        EXPECT_EQ(table.at(code), code);
    EXPECT_EQ(table.at("ar-ae"), "ar_AE");
    EXPECT_EQ(table.at("ar_ae"), "ar_AE");
    EXPECT_EQ(table.at("no"), "no_NO");
    EXPECT_EQ(table.count("zh-tw"), 1u);
}

TEST(LocalizationUtilitiesTest, ConvertsTagsByTheLookupOrder)
{
    const std::pair<const char*, const char*> cases[] = {
        {"", "en_US"},      {"en", "en_US"},        {"EN", "en_US"},       {"en_GB", "en_GB"},
        {"EN-GB", "en_GB"}, {"en-GB-oed", "en_GB"}, {"pt-PT", "pt_BR"},    {"zh-HK", "zh_TW"},
        {"zh_hk", "zh_TW"}, {"ZH_HK", "zh_TW"},     {"zh-SG", "zh_CN"},    {"es-QM", "es_QM"},
        {"es-MX", "es_ES"}, {"de-de", "de_DE"},     {"xx-yy", "en_US"},    {"DE_DE.UTF-8", "de_DE"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Convert1766ToOrvexLanguage(c.first), c.second) << c.first;
}

namespace {

class InterfaceLanguageTest : public tolktest::SystemRootTest {
protected:
    tolktest::LocalizationEnvironment environment_;
};

}  // namespace

TEST_F(InterfaceLanguageTest, ReadsTheLanguageOfTheChosenLocalization)
{
    const std::string bundle = sysroot_.Scratch() + "/Setup.app";
    std::string german("\xFF\xFE", 2);  // UTF-16, as localizers often deliver tables
    for (char c : std::string("\"ORVEX_LANGUAGE_ISO\" = \"de_DE\";\n"))
        german += std::string(1, c) + '\0';
    tolktest::MakeLocalizedBundle(bundle, {{"de", german}, {"en", "\"ORVEX_LANGUAGE_ISO\" = \"en_GB\";"},
                                           {"fr", "\"OTHER\" = \"x\";"}});
    environment_.SetMainBundle(bundle);
    std::string language;
    ASSERT_TRUE(LocalizationUtilities::GetUserInterfaceLanguage(language));
    EXPECT_EQ(language, "en_GB");
    environment_.SetArguments({"-AppleLanguages", "(de_DE)"});
    ASSERT_TRUE(LocalizationUtilities::GetUserInterfaceLanguage(language));
    EXPECT_EQ(language, "de_DE");
    environment_.SetArguments({"-AppleLanguages", "(fr)"});  // a table without the key
    ASSERT_TRUE(LocalizationUtilities::GetUserInterfaceLanguage(language));
    EXPECT_EQ(language, "en_US");

    environment_.SetMainBundle(sysroot_.Scratch() + "/missing.app");
    language = "unchanged";
    EXPECT_FALSE(LocalizationUtilities::GetUserInterfaceLanguage(language));
    EXPECT_EQ(language, "unchanged");
}
