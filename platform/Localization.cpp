#include "platform/Localization.h"

#include "platform/ProgramArguments.h"
#include "platform/formats/StringsTable.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace platform {

namespace {

const char* const kLanguagesArgument = "-AppleLanguages";
const char* const kFallbackLanguage = "en";
const char* const kFolderSuffix = ".lproj";

std::string Trim(const std::string& text, const char* characters)
{
    const std::size_t first = text.find_first_not_of(characters);
    if (first == std::string::npos)
        return std::string();
    const std::size_t last = text.find_last_not_of(characters);
    return text.substr(first, last - first + 1);
}

// "(de_DE, \"en\")" -> de_DE, en. A value without parentheses is taken as one language.
void AppendLanguageList(const std::string& value, std::vector<std::string>& languages)
{
    std::string list = Trim(value, " \t\r\n");
    if (list.size() >= 2 && list.front() == '(' && list.back() == ')')
        list = list.substr(1, list.size() - 2);
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(',', start);
        if (end == std::string::npos)
            end = list.size();
        const std::string item = Trim(list.substr(start, end - start), " \t\r\n\"'");
        if (!item.empty())
            languages.push_back(item);
        start = end + 1;
    }
}

// "de_DE.UTF-8@euro" -> de_DE; "C" and "POSIX" name no language.
std::string LanguageOfLocale(const std::string& locale)
{
    std::string language = locale.substr(0, locale.find_first_of(".@"));
    if (language == "C" || language == "POSIX")
        return std::string();
    return language;
}

// Lower case with "-" for "_", so "de_DE", "de-de" and "DE_de" compare equal.
std::string Normalized(const std::string& name)
{
    std::string result;
    for (char c : name)
        result += c == '_' ? '-' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return result;
}

std::string BareLanguage(const std::string& normalized)
{
    return normalized.substr(0, normalized.find('-'));
}

bool IsFolder(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The names of the localization folders, without their suffix, in name order.
std::vector<std::string> Localizations(const std::string& resources)
{
    std::vector<std::string> names;
    DIR* folder = opendir(resources.c_str());
    if (!folder)
        return names;
    const std::string suffix = kFolderSuffix;
    while (struct dirent* entry = readdir(folder)) {
        const std::string name = entry->d_name;
        if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0 &&
            IsFolder(resources + "/" + name))
            names.push_back(name.substr(0, name.size() - suffix.size()));
    }
    closedir(folder);
    std::sort(names.begin(), names.end());
    return names;
}

bool FindLocalization(const std::vector<std::string>& localizations, const std::string& language, std::string& found)
{
    const std::string wanted = Normalized(language);
    if (wanted.empty())
        return false;
    const std::string bare = BareLanguage(wanted);
    for (const std::string& name : localizations) {
        if (Normalized(name) == wanted) {
            found = name;
            return true;
        }
    }
    for (const std::string& name : localizations) {
        if (Normalized(name) == bare) {
            found = name;
            return true;
        }
    }
    for (const std::string& name : localizations) {
        if (BareLanguage(Normalized(name)) == bare) {
            found = name;
            return true;
        }
    }
    return false;
}

}  // namespace

std::vector<std::string> PreferredLanguages()
{
    std::vector<std::string> languages;
    const std::vector<std::string> arguments = ProgramArguments();
    for (std::size_t i = 1; i + 1 < arguments.size(); ++i) {
        if (arguments[i] == kLanguagesArgument) {
            AppendLanguageList(arguments[i + 1], languages);
            break;
        }
    }
    if (const char* locale = std::getenv("LANG")) {
        const std::string language = LanguageOfLocale(locale);
        if (!language.empty())
            languages.push_back(language);
    }
    languages.push_back(kFallbackLanguage);
    return languages;
}

bool PreferredLocalizationFolder(const Bundle& bundle, std::string& folder)
{
    const std::string resources = bundle.ResourcesPath();
    const std::vector<std::string> localizations = Localizations(resources);
    std::string found;
    for (const std::string& language : PreferredLanguages()) {
        if (FindLocalization(localizations, language, found)) {
            folder = resources + "/" + found + kFolderSuffix;
            return true;
        }
    }
    std::string region;
    if (bundle.InfoString("CFBundleDevelopmentRegion", region) && FindLocalization(localizations, region, found)) {
        folder = resources + "/" + found + kFolderSuffix;
        return true;
    }
    return false;
}

std::string LocalizedString(const Bundle& bundle, const std::string& key, const std::string& defaultValue,
                            const std::string& table)
{
    const std::string file = (table.empty() ? std::string("Localizable") : table) + ".strings";
    std::string folder;
    if (!PreferredLocalizationFolder(bundle, folder))
        folder = bundle.ResourcesPath();
    StringsTable::Entries entries;
    if (!StringsTable::Load(folder + "/" + file, entries))
        return defaultValue;
    const StringsTable::Entries::const_iterator entry = entries.find(key);
    return entry == entries.end() ? defaultValue : entry->second;
}

}  // namespace platform
