// The registry of file versioners behind KVR_GetFileVersion: each versioner recognises one kind
// of shared resource file by its name and first bytes and reads its version.
#pragma once

#include "KVRFileVersion.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class VersionerABC {
public:
    // Recognises the file and reads its version; version and type are written only on success.
    virtual bool VersionFile(const std::string& path, KVR_FileVersion& version, KVR_FileType& type) = 0;
    virtual ~VersionerABC() {}
};

template <class T>
class Versioner : public VersionerABC {
public:
    static std::unique_ptr<VersionerABC> CreateVersioner() { return std::unique_ptr<VersionerABC>(new T()); }
};

class VersionFactory {
public:
    typedef std::unique_ptr<VersionerABC> (*VersionerFunc)();
    typedef std::vector<VersionerFunc> VersionerFuncs;

    // Appends a versioner, tried after every one registered before it; always true. Not safe
    // while another thread versions files.
    static bool RegisterVersionMethod(VersionerFunc factory);

    // The registered versioners in the order they are tried. The standard ones are registered
    // on first use, so that they are there even when no code refers to their unit.
    static VersionerFuncs& GetVersionerFuncs();

    // Tries each versioner in turn; true at the first that recognises the file.
    static bool GetFileVersion(const std::string& path, KVR_FileVersion& version, KVR_FileType& type);
};

namespace VersionOps {

std::vector<std::int32_t> VersionToVector(const KVR_FileVersion& version);

// Whether a comes before b, part by part, most significant first.
template <class Ordering>
bool CompareVersions(const KVR_FileVersion& a, const KVR_FileVersion& b, Ordering ordering)
{
    const std::vector<std::int32_t> left = VersionToVector(a);
    const std::vector<std::int32_t> right = VersionToVector(b);
    return std::lexicographical_compare(left.begin(), left.end(), right.begin(), right.end(), ordering);
}

}  // namespace VersionOps

// Up to count bytes from the start of the file, fewer for a short file. False when the file
// cannot be opened or read (a folder included).
bool ReadFileBytes(const std::string& path, unsigned long count, std::vector<unsigned char>& bytes);

// Whether the path names a file that can be opened for reading (a folder does not count).
bool DoesFilePathExist(const std::string& path);

// The path in the form the file functions take, which here is the UTF-8 text itself; false
// for an empty path.
bool UTF8ToPlatformFilePath(const std::string& utf8Path, std::string& platformPath);
