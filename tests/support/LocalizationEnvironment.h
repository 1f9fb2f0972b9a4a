// LocalizationEnvironment: the program arguments, LANG and main bundle that the interface
// language is chosen from, set for a test and restored afterwards; and a bundle maker.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace tolktest {

class LocalizationEnvironment {
public:
    LocalizationEnvironment();
    ~LocalizationEnvironment();
    LocalizationEnvironment(const LocalizationEnvironment&) = delete;
    LocalizationEnvironment& operator=(const LocalizationEnvironment&) = delete;

    // The program's arguments after its path ("-AppleLanguages", "(de)").
    void SetArguments(const std::vector<std::string>& arguments);
    // LANG, or no LANG for an empty text.
    void SetLang(const std::string& lang);
    void SetMainBundle(const std::string& folder);

private:
    std::string savedLang_;
    bool hadLang_ = false;
};

// Makes "<folder>/Contents" with an Info.plist (with the development region when given) and,
// for each localization name, "Resources/<name>.lproj/Localizable.strings" with the text.
void MakeLocalizedBundle(const std::string& folder, const std::map<std::string, std::string>& tables,
                         const std::string& developmentRegion = "");

}  // namespace tolktest
