// MacUtils: text conversions to and from the platform's string form, property-list files,
// package information, the folder lookup and the Finder's update and alias events.
#pragma once

#include "Common/source/xplat/FileSystemPath.h"

#include "platform/files/FileRef.h"
#include "platform/formats/PropertyList.h"
#include "platform/formats/UnicodeText.h"

#include <cstdint>
#include <string>
#include <vector>

namespace MacUtils {

// The text as a platform string; throws std::runtime_error "Unable to convert std::string to
// CFString." when it is not UTF-8 or holds a NUL byte.
platform::UnicodeText UTF8StdStringCreateCFStringRef(const std::string& text);
// The platform string as UTF-8; throws std::runtime_error when a character has no UTF-8 form.
std::string CFStringRefToUTF8StdString(const platform::UnicodeText& text);

// A file-manager name differs from a POSIX name in one character: ":" becomes "/".
bool ConvertPOSIXNameToHFSName(const std::string& posixName, std::string& hfsName);
std::vector<std::uint16_t> UTF8StringToVectorUniChar(const std::string& text);

// Reads a property-list file (XML or binary). The root's type is not examined. The first form
// hands out a value the caller may change, the second a shared read-only one.
bool ReadPropertyListFile(const FileSystemPath& path, platform::PropertyValuePtr& dictionary);
bool ReadPropertyListFile(const FileSystemPath& path, platform::ConstPropertyValuePtr& dictionary);
// Writes the dictionary as an XML property list, replacing the file (through a symbolic link, which
// stays, and keeping the owner and mode of the file replaced).
bool WritePropertyListFile(const FileSystemPath& path, const platform::ConstPropertyValuePtr& dictionary);

bool GetPackageInfo(const FileSystemPath& folder, std::uint32_t& packageType, std::uint32_t& creator);

// The path of a folder of a domain and type, created when missing and asked to.
bool StdStringFindFolder(short domain, std::uint32_t folderType, bool create, std::string& path);
// The same for a folder that each volume has of its own (its temporary items), given the
// volume's root in place of a domain.
bool StdStringFindFolder(const FileSystemPath& volumeRoot, std::uint32_t folderType, bool create, std::string& path);

// Asks the Finder to redraw one item, without waiting for its answer.
bool RefreshInFinder(const platform::FileRef& item);
// Asks the Finder to make an alias of target in folder; its status (0 on success).
int CreateAliasWithFinder(const platform::FileRef& target, const platform::FileRef& folder, const std::string& aliasName);

}  // namespace MacUtils
