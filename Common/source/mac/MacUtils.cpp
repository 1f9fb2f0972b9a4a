#include "MacUtils.h"

#include "platform/Bundle.h"
#include "platform/Folders.h"
#include "platform/desktop/Finder.h"
#include "platform/files/Files.h"

#include <stdexcept>

namespace MacUtils {

platform::UnicodeText UTF8StdStringCreateCFStringRef(const std::string& text)
{
    platform::UnicodeText result;
    if (!platform::UnicodeText::FromUTF8(text, result))
        throw std::runtime_error("Unable to convert std::string to CFString.");
    return result;
}

std::string CFStringRefToUTF8StdString(const platform::UnicodeText& text)
{
    if (text.Length() == 0)
        return std::string();
    std::string result;
    if (!text.ToUTF8(result))
        throw std::runtime_error("Unable to get length of CFStringRef in conversion to std::string");
    return result;
}

bool ConvertPOSIXNameToHFSName(const std::string& posixName, std::string& hfsName)
{
    hfsName = posixName;
    for (char& c : hfsName) {
        if (c == ':')
            c = '/';
    }
    return true;
}

std::vector<std::uint16_t> UTF8StringToVectorUniChar(const std::string& text)
{
    return UTF8StdStringCreateCFStringRef(text).Units();
}

namespace {

bool ReadPropertyList(const FileSystemPath& path, platform::PropertyValuePtr& value)
{
    UTF8StdStringCreateCFStringRef(path.AsUTF8String());
    std::string bytes;
    if (!platform::ReadWholeFile(path.AsUTF8String(), bytes))
        return false;
    return platform::ParsePropertyList(bytes, value);
}

}  // namespace

bool ReadPropertyListFile(const FileSystemPath& path, platform::PropertyValuePtr& dictionary)
{
    platform::PropertyValuePtr value;
    if (!ReadPropertyList(path, value))
        return false;
    dictionary = value;
    return true;
}

bool ReadPropertyListFile(const FileSystemPath& path, platform::ConstPropertyValuePtr& dictionary)
{
    platform::PropertyValuePtr value;
    if (!ReadPropertyList(path, value))
        return false;
    dictionary = value;
    return true;
}

bool WritePropertyListFile(const FileSystemPath& path, const platform::ConstPropertyValuePtr& dictionary)
{
    UTF8StdStringCreateCFStringRef(path.AsUTF8String());
    std::string bytes;
    if (!dictionary || !platform::SerializePropertyListXML(*dictionary, bytes))
        return false;
    return platform::WriteFileAtomically(path.AsUTF8String(), bytes, platform::LinkHandling::kWriteThrough);
}

bool GetPackageInfo(const FileSystemPath& folder, std::uint32_t& packageType, std::uint32_t& creator)
{
    std::uint32_t type = 0;
    std::uint32_t signature = 0;
    if (!platform::Bundle::ReadPackageInfo(folder.AsUTF8String(), type, signature))
        return false;
    packageType = type;
    creator = signature;
    return true;
}

bool StdStringFindFolder(short domain, std::uint32_t folderType, bool create, std::string& path)
{
    std::string found;
    if (platform::FindFolder(domain, folderType, create, found) != platform::kNoErr)
        return false;
    path = found;
    return true;
}

bool StdStringFindFolder(const FileSystemPath& volumeRoot, std::uint32_t folderType, bool create, std::string& path)
{
    std::string found;
    if (platform::FindVolumeFolder(volumeRoot.AsUTF8String(), folderType, create, found) != platform::kNoErr)
        return false;
    path = found;
    return true;
}

bool RefreshInFinder(const platform::FileRef& item)
{
    return platform::Finder()->SendUpdateEvent(item, false) == platform::kNoErr;
}

int CreateAliasWithFinder(const platform::FileRef& target, const platform::FileRef& folder, const std::string& aliasName)
{
    return platform::Finder()->SendCreateAliasEvent(target, folder, aliasName);
}

}  // namespace MacUtils
