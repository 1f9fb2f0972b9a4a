#include "FileVersioners.h"

#include <boost/regex.hpp>

#include <cstring>

namespace {

typedef std::vector<unsigned char> Bytes;

KVR_FileVersion UnsetVersion()
{
    KVR_FileVersion version;
    version.majorVersion = kKVR_UnsetPart;
    version.minorVersion = kKVR_UnsetPart;
    version.thirdVersion = kKVR_UnsetPart;
    version.fourthVersion = kKVR_UnsetPart;
    return version;
}

// Only a versioner that recognised the file writes its answers.
bool Report(const KVR_FileVersion& found, KVR_FileType kind, KVR_FileVersion& version, KVR_FileType& type)
{
    version = found;
    type = kind;
    return true;
}

bool PathMatches(const std::string& path, const boost::regex& pattern)
{
    return boost::regex_search(path, pattern);
}

bool ContentMatches(const Bytes& bytes, const boost::regex& pattern, boost::cmatch& match)
{
    if (bytes.empty())
        return false;
    const char* first = reinterpret_cast<const char*>(bytes.data());
    return boost::regex_search(first, first + bytes.size(), match, pattern);
}

bool ContentMatches(const Bytes& bytes, const boost::regex& pattern)
{
    boost::cmatch match;
    return ContentMatches(bytes, pattern, match);
}

// A group of decimal digits; an empty group is 0. A number that does not fit in 32 bits is no
// version this code can report.
bool PartFromGroup(const boost::csub_match& group, std::uint32_t& part)
{
    std::uint64_t value = 0;
    for (const char* c = group.first; group.matched && c != group.second; ++c) {
        value = value * 10 + static_cast<std::uint64_t>(*c - '0');
        if (value > 0xFFFFFFFFu)
            return false;
    }
    part = static_cast<std::uint32_t>(value);
    return true;
}

// The version in the four groups of the pattern's first match in the bytes.
bool VersionFromContent(const Bytes& bytes, const boost::regex& pattern, KVR_FileVersion& found)
{
    boost::cmatch match;
    if (!ContentMatches(bytes, pattern, match))
        return false;
    found = UnsetVersion();
    return PartFromGroup(match[1], found.majorVersion) && PartFromGroup(match[2], found.minorVersion)
           && PartFromGroup(match[3], found.thirdVersion) && PartFromGroup(match[4], found.fourthVersion);
}

std::uint32_t BigEndian16(const Bytes& bytes, std::size_t offset)
{
    return (static_cast<std::uint32_t>(bytes[offset]) << 8) | bytes[offset + 1];
}

// A version byte quad b0.b1.b2.b3 as the number b0 b1 b2 b3 in decimal places.
std::uint32_t DecimalQuad(const Bytes& bytes, std::size_t offset)
{
    return bytes[offset] * 1000u + bytes[offset + 1] * 100u + bytes[offset + 2] * 10u + bytes[offset + 3];
}

}  // namespace

bool CMapVersioner::VersionFile(const std::string& path, KVR_FileVersion& version, KVR_FileType& type)
{
    static const boost::regex kMarker("begincmap");
    static const boost::regex kVersion(R"(/CMapVersion[\s\t]+(\d+)\.(\d+)\.?(\d*)\.?(\d*)[\s\t]+def)");
    Bytes bytes;
    KVR_FileVersion found;
    if (!ReadFileBytes(path, 8192, bytes) || !ContentMatches(bytes, kMarker) || !VersionFromContent(bytes, kVersion, found))
        return false;
    return Report(found, kKVR_FileTypeCMap, version, type);
}

bool ColorProfileVersioner::VersionFile(const std::string& path, KVR_FileVersion& version, KVR_FileType& type)
{
    static const boost::regex kExtension(
        R"(\.(([iI]{1}[cC]{1}[mM]{1})|([cC]{1}[sS]{1}[fF]{1})|([iI]{1}[cC]{2})|([pP]{1}[fF]{1}))\z)");
    if (!PathMatches(path, kExtension))
        return false;
    Bytes bytes;
    if (!ReadFileBytes(path, 1024, bytes) || bytes.size() < 36)
        return false;
    // The profile header's creation date: year, month, day, hours, minutes, seconds.
    const std::uint32_t hours = BigEndian16(bytes, 30);
    const std::uint32_t minutes = BigEndian16(bytes, 32);
    const std::uint32_t seconds = BigEndian16(bytes, 34);
    KVR_FileVersion found;
    found.majorVersion = BigEndian16(bytes, 24);
    found.minorVersion = BigEndian16(bytes, 26);
    found.thirdVersion = BigEndian16(bytes, 28);
    found.fourthVersion = hours * 60 + minutes + (seconds + 1) / 60;
    return Report(found, kKVR_FileTypeColorProfile, version, type);
}

bool OTFFontVersioner::VersionFile(const std::string& path, KVR_FileVersion& version, KVR_FileType& type)
{
    static const boost::regex kExtension(R"(\.[oO]{1}[tT]{1}[fF]{1}\z)");
    // The look-behind makes the search read a whole number ("12.3", never "2.3").
    static const boost::regex kVersion(R"((?<!\d)(\d+)\.(\d+)\.?(\d*)\.?(\d*);ORVX;)");
    Bytes bytes;
    KVR_FileVersion found;
    if (!ReadFileBytes(path, 8192, bytes) || !PathMatches(path, kExtension) || !VersionFromContent(bytes, kVersion, found))
        return false;
    return Report(found, kKVR_FileTypeOpenTypeFont, version, type);
}

bool PFBFontVersioner::VersionFile(const std::string& path, KVR_FileVersion& version, KVR_FileType& type)
{
    static const boost::regex kExtension(R"(\.[pP]{1}[fF]{1}[bB]{1}\z)");
    static const boost::regex kVersion(
        R"(/version[\s\t]+\((\d+)\.(\d+)\.?(\d*)\.?(\d*)\)[\s\t]+readonly[\s\t]+def)");
    Bytes bytes;
    KVR_FileVersion found;
    if (!ReadFileBytes(path, 4096, bytes) || !PathMatches(path, kExtension) || !VersionFromContent(bytes, kVersion, found))
        return false;
    return Report(found, kKVR_FileTypeType1Font, version, type);
}

bool UnicodeMapVersioner::VersionFile(const std::string& path, KVR_FileVersion& version, KVR_FileType& type)
{
    static const boost::regex kVersion(R"(##Orvex File Version: (\d+)\.(\d+)\.?(\d*)\.?(\d*))");
    Bytes bytes;
    KVR_FileVersion found;
    if (!ReadFileBytes(path, 4096, bytes) || !VersionFromContent(bytes, kVersion, found))
        return false;
    return Report(found, kKVR_FileTypeUnicodeMap, version, type);
}

bool ICUVersioner::VersionFile(const std::string& path, KVR_FileVersion& version, KVR_FileType& type)
{
    Bytes bytes;
    if (!ReadFileBytes(path, 1024, bytes) || bytes.size() <= 24)
        return false;
    // The data header: data format at 12, format version at 16, data version at 20.
    if (std::memcmp(&bytes[12], "cnvt", 4) != 0 && std::memcmp(&bytes[12], "CmnD", 4) != 0)
        return false;
    KVR_FileVersion found;
    found.majorVersion = DecimalQuad(bytes, 16);
    found.minorVersion = DecimalQuad(bytes, 20);
    found.thirdVersion = 0;
    found.fourthVersion = 0;
    return Report(found, kKVR_FileTypeICUData, version, type);
}

bool FontDatabaseVersioner::VersionFile(const std::string& path, KVR_FileVersion& version, KVR_FileType& type)
{
    static const boost::regex kMarker("Orvex.+Font.+Database");
    static const boost::regex kVersion(R"(version=(\d+)\.(\d+)\.?(\d*)\.?(\d*))");
    Bytes bytes;
    KVR_FileVersion found;
    if (!ReadFileBytes(path, 2048, bytes) || !ContentMatches(bytes, kMarker) || !VersionFromContent(bytes, kVersion, found))
        return false;
    return Report(found, kKVR_FileTypeFontDatabase, version, type);
}

bool JSXVersioner::VersionFile(const std::string& path, KVR_FileVersion& version, KVR_FileType& type)
{
    // The last four-part number after the marker; the look-behind keeps the greedy ".+" from
    // taking the leading digits of its first part.
    static const boost::regex kVersion(R"(@@@BUILDINFO@@@.+(?<!\d)(\d+)\.(\d+)\.(\d+)\.(\d+))");
    Bytes bytes;
    KVR_FileVersion found;
    if (!ReadFileBytes(path, 1024, bytes) || !VersionFromContent(bytes, kVersion, found))
        return false;
    return Report(found, kKVR_FileTypeScriptFile, version, type);
}

VersionFactory::VersionerFuncs StandardVersionerFuncs()
{
    VersionFactory::VersionerFuncs funcs;
    funcs.push_back(&CMapVersioner::CreateVersioner);
    funcs.push_back(&ColorProfileVersioner::CreateVersioner);
    funcs.push_back(&OTFFontVersioner::CreateVersioner);
    funcs.push_back(&PFBFontVersioner::CreateVersioner);
    funcs.push_back(&UnicodeMapVersioner::CreateVersioner);
    funcs.push_back(&ICUVersioner::CreateVersioner);
    funcs.push_back(&FontDatabaseVersioner::CreateVersioner);
    funcs.push_back(&JSXVersioner::CreateVersioner);
    return funcs;
}
