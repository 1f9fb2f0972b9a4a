// LocalizationUtilities: the language of the program's own interface, and the table that turns
// RFC 1766 language tags ("de", "de-de", "de_DE") into the program's locale codes ("de_DE").
#pragma once

#include <map>
#include <string>

namespace LocalizationUtilities {

// The interface language the application bundle was localized for: the string of the key
// "ORVEX_LANGUAGE_ISO" in its "Localizable" table, "en_US" when the key is missing. False, with
// the language unchanged, when there is no main bundle. Read anew on every call.
bool GetUserInterfaceLanguage(std::string& language);

// The locale code for a tag: tried as given, cut to five characters, lower-cased, then cut to its
// two-letter language ("en-GB-oed" -> en_GB, "pt-PT" -> pt_BR, "EN" -> en_US); "en_US" when
// nothing matches.
std::string Convert1766ToOrvexLanguage(const std::string& tag);

// A copy of the language table (tag -> locale code); built on the first call.
std::map<std::string, std::string> GetOrvexLanguageConversionTable();

}  // namespace LocalizationUtilities
