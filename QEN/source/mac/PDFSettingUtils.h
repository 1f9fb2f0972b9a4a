// PDFSettingUtils: the machine-wide PDF admin settings file, which maps, per language, names of
// PDF settings to their translations. Each function reads the file afresh, changes it in memory
// and writes it whole; nothing is cached between calls.
#pragma once

#include <string>

namespace PDFSettingUtils {

// The translation of the name in the language; false when the file holds none.
bool GetPDFSetting(const std::string& language, const std::string& name, std::string& translation);

// Sets (or adds) the name's translation in the language and writes the file, which is made when
// missing. False, with the file untouched, when a folder cannot be found, the file's settings
// are not laid out as expected, or the write fails.
bool SetPDFSetting(const std::string& language, const std::string& name, const std::string& translation);

// Removes the name and its translation from the language and writes the file when something
// was removed. True when there was nothing to remove (no file, language or name).
bool RemovePDFSetting(const std::string& language, const std::string& name);

}  // namespace PDFSettingUtils
