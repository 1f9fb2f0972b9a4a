// VersionPlist: the five numbers of a version property list (the file beside a bundle's
// Info.plist that holds its short version string and its source and build versions).
#pragma once

#include <string>
#include <vector>

class VersionPlist {
public:
    // Reads the property list at the UTF-8 path into five numbers: the first three parts of
    // "CFBundleShortVersionString" (a missing part and every part after it are 0), then
    // "SourceVersion" and "BuildVersion" (0 when missing). False, numbers untouched, when the
    // file cannot be read or holds no dictionary.
    static bool GetVersion(const std::string& path, std::vector<int>& numbers);
};
