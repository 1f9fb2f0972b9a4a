// Extended attributes: where this platform keeps what a Mac file carries besides its data, the
// 32 bytes of Finder information and the resource fork. Every call answers 0 or an errno value;
// a path is followed through symbolic links, as a file reference follows them.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace platform {

extern const char* const kFinderInfoAttribute;    // "user.com.apple.FinderInfo"
extern const char* const kResourceForkAttribute;  // "user.com.apple.ResourceFork"

// ENODATA when the object has no such attribute; ENOTSUP when its file system keeps none.
int GetExtendedAttribute(const std::string& path, const std::string& name, std::string& value);
int GetExtendedAttribute(int fd, const std::string& name, std::string& value);
// Whether the file carries no attributes at all (or its file system keeps none): one look that
// spares asking for each attribute by name. False also when it cannot be told.
bool HasNoExtendedAttributes(int fd);
// ENOTSUP when the file system keeps no attributes, ENOSPC or E2BIG when the value is too large
// for it.
int SetExtendedAttribute(const std::string& path, const std::string& name, const std::string& value);
int SetExtendedAttribute(int fd, const std::string& name, const std::string& value);
// ENODATA when there was none.
int RemoveExtendedAttribute(const std::string& path, const std::string& name);

// Why an attribute could not be kept, in words for a log line.
std::string ExtendedAttributeErrorText(int error);

// Whether the file system of an existing folder accepts user attributes (writes and removes a
// probe file).
bool FolderSupportsExtendedAttributes(const std::string& folder);

// Finder information as the Finder lays it out, big-endian: for a file the type (bytes 0-3), the
// creator (4-7), the Finder flags (8-9), the icon location (10-13, vertical then horizontal) and
// a reserved field (14-15); a folder keeps its window rectangle in bytes 0-7 and the flags and
// location at the same places. Bytes 16-31 are the extended information.
struct FinderInfo {
    std::array<std::uint8_t, 32> bytes{};

    std::uint32_t FileType() const { return Read32(0); }
    void SetFileType(std::uint32_t type) { Write32(0, type); }
    std::uint32_t Creator() const { return Read32(4); }
    void SetCreator(std::uint32_t creator) { Write32(4, creator); }
    std::uint16_t Flags() const { return static_cast<std::uint16_t>((bytes[8] << 8) | bytes[9]); }
    void SetFlags(std::uint16_t flags);
    void SetLocation(std::int16_t vertical, std::int16_t horizontal);
    void SetReservedField(std::uint16_t value);
    bool IsZero() const;

private:
    std::uint32_t Read32(std::size_t offset) const;
    void Write32(std::size_t offset, std::uint32_t value);
};

// The Finder information of an object: all zero when it has none or its file system keeps no
// attributes. EILSEQ when the attribute is not 32 bytes long.
int ReadFinderInfo(const std::string& path, FinderInfo& info);
int ReadFinderInfo(int fd, FinderInfo& info);
// Stores it; all-zero information removes the attribute, which also succeeds where the file
// system keeps no attributes, since there is nothing to keep.
int WriteFinderInfo(const std::string& path, const FinderInfo& info);
int WriteFinderInfo(int fd, const FinderInfo& info);

}  // namespace platform
