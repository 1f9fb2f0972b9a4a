// Localization: which of a bundle's localizations ("<Resources>/<name>.lproj") the program uses,
// and the strings of its localized tables. The preference is the list given on the command line
// after "-AppleLanguages" (as "(de_DE)" or "(de, en)"), then the language of LANG, then "en".
#pragma once

#include "platform/Bundle.h"

#include <string>
#include <vector>

namespace platform {

// The preferred languages, most preferred first, as written ("de_DE", "fr", "en").
std::vector<std::string> PreferredLanguages();

// The localization folder of the bundle that best matches the preferred languages: for each
// language in turn, a folder of that name (case, "-" and "_" aside), then one of its bare
// language, then any of the same language with another region. When none matches, the
// bundle's development region ("CFBundleDevelopmentRegion"). False when the bundle has none.
bool PreferredLocalizationFolder(const Bundle& bundle, std::string& folder);

// The string for the key in the bundle's table ("Localizable" when the name is empty), from
// "<table>.strings" of the preferred localization, or of the Resources folder itself when no
// localization is chosen; the default when the table or the key is missing or the table cannot
// be read.
std::string LocalizedString(const Bundle& bundle, const std::string& key, const std::string& defaultValue,
                            const std::string& table);

}  // namespace platform
