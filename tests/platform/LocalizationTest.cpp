#include "platform/Localization.h"
#include "platform/ProgramArguments.h"

#include "tests/support/LocalizationEnvironment.h"
#include "tests/support/TempSystemRoot.h"

#include <gtest/gtest.h>

namespace {

class LocalizationTest : public tolktest::SystemRootTest {
protected:
    // A bundle whose tables hold NAME = the localization's name.
    platform::BundlePtr MakeBundle(const std::vector<std::string>& localizations, const std::string& region = "")
    {
        std::map<std::string, std::string> tables;
        for (const std::string& name : localizations)
            tables[name] = "\"NAME\" = \"" + name + "\";";
        const std::string folder = sysroot_.Scratch() + "/B" + std::to_string(++count_) + ".app";
        tolktest::MakeLocalizedBundle(folder, tables, region);
        return platform::Bundle::Create(folder);
    }

    std::string Chosen(const platform::BundlePtr& bundle, const std::string& languages)
    {
        environment_.SetArguments({"-AppleLanguages", languages});
        return platform::LocalizedString(*bundle, "NAME", "-", "");
    }

    tolktest::LocalizationEnvironment environment_;
    int count_ = 0;
};

}  // namespace

TEST_F(LocalizationTest, PreferenceIsTheArgumentThenLangThenEnglish)
{
    typedef std::vector<std::string> List;
    EXPECT_EQ(platform::PreferredLanguages(), List{"en"});
    environment_.SetLang("fr_CA.UTF-8@euro");
    environment_.SetArguments({"--mode=silent", "-AppleLanguages", "(de_DE, \"ja\")"});
    EXPECT_EQ(platform::PreferredLanguages(), (List{"de_DE", "ja", "fr_CA", "en"}));
    environment_.SetArguments({"-AppleLanguages", "it"});
    environment_.SetLang("C.UTF-8");
    EXPECT_EQ(platform::PreferredLanguages(), (List{"it", "en"}));
    environment_.SetArguments({"-AppleLanguages"});  // no value names nothing
    EXPECT_EQ(platform::PreferredLanguages(), List{"en"});

    // Until main hands them over, the arguments are the process's own.
    platform::SetProgramArguments(std::vector<std::string>());
    ASSERT_FALSE(platform::ProgramArguments().empty());
    EXPECT_NE(platform::ProgramArguments()[0].find("platform_tests"), std::string::npos);
}

TEST_F(LocalizationTest, ChoosesTheClosestLocalization)
{
    const platform::BundlePtr bundle = MakeBundle({"de_DE", "en", "fr", "pt-BR"});
    EXPECT_EQ(Chosen(bundle, "(de-de)"), "de_DE");
    EXPECT_EQ(Chosen(bundle, "(de)"), "de_DE");  // same language, another region
    EXPECT_EQ(Chosen(bundle, "(fr_CA)"), "fr");
    EXPECT_EQ(Chosen(bundle, "(pt_PT)"), "pt-BR");
    EXPECT_EQ(Chosen(bundle, "(ja, fr)"), "fr");
    EXPECT_EQ(Chosen(bundle, "(ja)"), "en");
    environment_.SetArguments({});
    environment_.SetLang("de_AT.UTF-8");
    EXPECT_EQ(platform::LocalizedString(*bundle, "NAME", "-", "Localizable"), "de_DE");
    EXPECT_EQ(platform::LocalizedString(*bundle, "MISSING", "default", ""), "default");
    EXPECT_EQ(platform::LocalizedString(*bundle, "NAME", "no such table", "Other"), "no such table");

    // Without a match: the development region, else the Resources folder's own table.
    environment_.SetLang("");
    EXPECT_EQ(Chosen(MakeBundle({"de", "sv"}, "sv"), "(ja)"), "sv");
    const platform::BundlePtr plain = MakeBundle({"de"});
    EXPECT_EQ(Chosen(plain, "(ja)"), "-");
    tolktest::WriteTextFile(plain->ResourcesPath() + "/Localizable.strings", "\"NAME\" = \"plain\";");
    EXPECT_EQ(Chosen(plain, "(ja)"), "plain");
    std::string folder;
    EXPECT_FALSE(platform::PreferredLocalizationFolder(*plain, folder));
}

TEST_F(LocalizationTest, AMalformedTableGivesTheDefault)
{
    const platform::BundlePtr bundle = MakeBundle({"de"});
    tolktest::WriteTextFile(bundle->ResourcesPath() + "/de.lproj/Localizable.strings", "\"NAME\" = ");
    EXPECT_EQ(Chosen(bundle, "(de)"), "-");
}
