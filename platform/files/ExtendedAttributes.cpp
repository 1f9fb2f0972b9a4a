#include "platform/files/ExtendedAttributes.h"

#include "platform/FaultInjection.h"
#include "platform/files/TrustedPath.h"

#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace platform {

const char* const kFinderInfoAttribute = "user.com.apple.FinderInfo";
const char* const kResourceForkAttribute = "user.com.apple.ResourceFork";

namespace {

// ENOTSUP and EOPNOTSUPP are one value on Linux, but not everywhere.
int Normalise(int error)
{
    return error == EOPNOTSUPP ? ENOTSUP : error;
}

// Reads an attribute whose size may change between asking and reading.
template <typename SizeCall, typename ReadCall>
int ReadAttribute(SizeCall size, ReadCall read, std::string& value)
{
    for (int attempt = 0; attempt < 4; ++attempt) {
        const ssize_t length = size();
        if (length < 0)
            return Normalise(errno);
        std::vector<char> buffer(static_cast<std::size_t>(length) + 1);
        const ssize_t got = read(buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == ERANGE)
                continue;
            return Normalise(errno);
        }
        if (static_cast<std::size_t>(got) == buffer.size())
            continue;
        value.assign(buffer.data(), static_cast<std::size_t>(got));
        return 0;
    }
    return ERANGE;
}

}  // namespace

int GetExtendedAttribute(const std::string& path, const std::string& name, std::string& value)
{
    return ReadAttribute([&]() { return getxattr(path.c_str(), name.c_str(), nullptr, 0); },
                         [&](char* buffer, std::size_t size) { return getxattr(path.c_str(), name.c_str(), buffer, size); },
                         value);
}

int GetExtendedAttribute(int fd, const std::string& name, std::string& value)
{
    return ReadAttribute([&]() { return fgetxattr(fd, name.c_str(), nullptr, 0); },
                         [&](char* buffer, std::size_t size) { return fgetxattr(fd, name.c_str(), buffer, size); },
                         value);
}

bool HasNoExtendedAttributes(int fd)
{
    const ssize_t length = flistxattr(fd, nullptr, 0);
    return length == 0 || (length < 0 && Normalise(errno) == ENOTSUP);
}

int SetExtendedAttribute(const std::string& path, const std::string& name, const std::string& value)
{
    if (const int injected = InjectedFault("setxattr", path))
        return injected;
    // Set on the object judged, not on what is put at its name meanwhile.
    const int object = OpenForChange(path, true);
    if (object < 0)
        return Normalise(errno);
    const int error = setxattr(DescriptorPath(object).c_str(), name.c_str(), value.data(), value.size(), 0) == 0
                          ? 0
                          : Normalise(errno);
    close(object);
    return error;
}

int SetExtendedAttribute(int fd, const std::string& name, const std::string& value)
{
    if (const int injected = InjectedFault("setxattr", std::string()))
        return injected;
    return fsetxattr(fd, name.c_str(), value.data(), value.size(), 0) == 0 ? 0 : Normalise(errno);
}

int RemoveExtendedAttribute(const std::string& path, const std::string& name)
{
    const int object = OpenForChange(path, true);
    if (object < 0)
        return Normalise(errno);
    const int error = removexattr(DescriptorPath(object).c_str(), name.c_str()) == 0 ? 0 : Normalise(errno);
    close(object);
    return error;
}

std::string ExtendedAttributeErrorText(int error)
{
    switch (error) {
    case ENOTSUP:
        return "the file system does not keep extended attributes";
    case ENOSPC:
    case E2BIG:
        return "the attribute is too large for the file system";
    case EPERM:
        return "the file system refuses user attributes on this kind of object";
    default:
        return std::strerror(error);
    }
}

bool FolderSupportsExtendedAttributes(const std::string& folder)
{
    std::string pattern = folder + "/.xattr-probeXXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = mkstemp(name.data());
    if (fd < 0)
        return false;
    const bool supported = fsetxattr(fd, "user.probe", "1", 1, 0) == 0;
    close(fd);
    unlink(name.data());
    return supported;
}

void FinderInfo::SetFlags(std::uint16_t flags)
{
    bytes[8] = static_cast<std::uint8_t>(flags >> 8);
    bytes[9] = static_cast<std::uint8_t>(flags);
}

void FinderInfo::SetLocation(std::int16_t vertical, std::int16_t horizontal)
{
    const std::uint16_t v = static_cast<std::uint16_t>(vertical);
    const std::uint16_t h = static_cast<std::uint16_t>(horizontal);
    bytes[10] = static_cast<std::uint8_t>(v >> 8);
    bytes[11] = static_cast<std::uint8_t>(v);
    bytes[12] = static_cast<std::uint8_t>(h >> 8);
    bytes[13] = static_cast<std::uint8_t>(h);
}

void FinderInfo::SetReservedField(std::uint16_t value)
{
    bytes[14] = static_cast<std::uint8_t>(value >> 8);
    bytes[15] = static_cast<std::uint8_t>(value);
}

bool FinderInfo::IsZero() const
{
    for (std::uint8_t byte : bytes) {
        if (byte != 0)
            return false;
    }
    return true;
}

std::uint32_t FinderInfo::Read32(std::size_t offset) const
{
    return (static_cast<std::uint32_t>(bytes[offset]) << 24) | (static_cast<std::uint32_t>(bytes[offset + 1]) << 16) |
           (static_cast<std::uint32_t>(bytes[offset + 2]) << 8) | bytes[offset + 3];
}

void FinderInfo::Write32(std::size_t offset, std::uint32_t value)
{
    bytes[offset] = static_cast<std::uint8_t>(value >> 24);
    bytes[offset + 1] = static_cast<std::uint8_t>(value >> 16);
    bytes[offset + 2] = static_cast<std::uint8_t>(value >> 8);
    bytes[offset + 3] = static_cast<std::uint8_t>(value);
}

namespace {

int FinderInfoFromAttribute(int error, const std::string& value, FinderInfo& info)
{
    if (error == ENODATA || error == ENOTSUP) {
        info = FinderInfo();
        return 0;
    }
    if (error != 0)
        return error;
    if (value.size() != info.bytes.size())
        return EILSEQ;
    std::memcpy(info.bytes.data(), value.data(), info.bytes.size());
    return 0;
}

std::string AttributeFromFinderInfo(const FinderInfo& info)
{
    return std::string(reinterpret_cast<const char*>(info.bytes.data()), info.bytes.size());
}

}  // namespace

int ReadFinderInfo(const std::string& path, FinderInfo& info)
{
    std::string value;
    const int error = GetExtendedAttribute(path, kFinderInfoAttribute, value);
    return FinderInfoFromAttribute(error, value, info);
}

int ReadFinderInfo(int fd, FinderInfo& info)
{
    std::string value;
    const int error = GetExtendedAttribute(fd, kFinderInfoAttribute, value);
    return FinderInfoFromAttribute(error, value, info);
}

int WriteFinderInfo(const std::string& path, const FinderInfo& info)
{
    if (info.IsZero()) {
        const int error = RemoveExtendedAttribute(path, kFinderInfoAttribute);
        return error == ENODATA || error == ENOTSUP ? 0 : error;
    }
    return SetExtendedAttribute(path, kFinderInfoAttribute, AttributeFromFinderInfo(info));
}

int WriteFinderInfo(int fd, const FinderInfo& info)
{
    if (info.IsZero()) {
        const int error = fremovexattr(fd, kFinderInfoAttribute) == 0 ? 0 : Normalise(errno);
        return error == ENODATA || error == ENOTSUP ? 0 : error;
    }
    return SetExtendedAttribute(fd, kFinderInfoAttribute, AttributeFromFinderInfo(info));
}

}  // namespace platform
