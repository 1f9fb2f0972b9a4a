// StringsTable: a localized string table ("Localizable.strings"), lines of "key" = "value"; in
// UTF-8 or, with a byte-order mark, UTF-16, with C-style comments and backslash escapes.
#pragma once

#include <map>
#include <string>

namespace platform {

class StringsTable {
public:
    typedef std::map<std::string, std::string> Entries;  // UTF-8 keys and values

    // Parses the text of a table; a later entry for a key replaces an earlier one. False, with
    // the entries untouched and a short reason in error, when the text is malformed anywhere:
    // a table is used whole or not at all.
    static bool Parse(const std::string& bytes, Entries& entries, std::string& error);

    // Reads and parses a table file; false when it cannot be read or parsed.
    static bool Load(const std::string& path, Entries& entries);
};

}  // namespace platform
