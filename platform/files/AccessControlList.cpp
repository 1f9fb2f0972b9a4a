#include "platform/files/AccessControlList.h"

#include "platform/files/TrustedPath.h"

#include <endian.h>
#include <linux/posix_acl.h>
#include <linux/posix_acl_xattr.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <vector>

namespace platform {

namespace {

const char* const kAccessListAttribute = "system.posix_acl_access";

// A list this long is read in the first look; a longer one needs a second.
const std::size_t kUsualListSize = sizeof(posix_acl_xattr_header) + 64 * sizeof(posix_acl_xattr_entry);

// Whether the list in the attribute's bytes gives writing to a named user or group other than
// those trusted with the object anyway (owner, the super-user, this process's user, the
// administrators' groups 0 and 80) through its mask. A list in another form counts as one that
// does.
bool NamesOthersWhoWrite(const char* bytes, std::size_t size, uid_t owner)
{
    posix_acl_xattr_header header;
    if (size < sizeof(header) || (size - sizeof(header)) % sizeof(posix_acl_xattr_entry) != 0)
        return true;
    std::memcpy(&header, bytes, sizeof(header));
    if (le32toh(header.a_version) != POSIX_ACL_XATTR_VERSION)
        return true;
    std::vector<posix_acl_xattr_entry> entries((size - sizeof(header)) / sizeof(posix_acl_xattr_entry));
    if (!entries.empty())
        std::memcpy(entries.data(), bytes + sizeof(header), entries.size() * sizeof(posix_acl_xattr_entry));
    unsigned mask = ACL_READ | ACL_WRITE | ACL_EXECUTE;
    for (const posix_acl_xattr_entry& entry : entries) {
        if (le16toh(entry.e_tag) == ACL_MASK)
            mask = le16toh(entry.e_perm);
    }
    for (const posix_acl_xattr_entry& entry : entries) {
        if ((le16toh(entry.e_perm) & mask & ACL_WRITE) == 0)
            continue;
        const std::uint32_t id = le32toh(entry.e_id);
        const unsigned tag = le16toh(entry.e_tag);
        if (tag == ACL_USER && id != 0 && id != owner && id != geteuid())
            return true;
        if (tag == ACL_GROUP && id != 0 && id != 80)
            return true;
    }
    return false;
}

// The judgement of the list read by read (getxattr or lgetxattr of a path, bytes and their size).
template <typename Read>
std::string OthersByList(const struct stat& status, Read read)
{
    std::string who = OthersByMode(status);
    if (!who.empty() || (status.st_mode & S_IWGRP) == 0 || S_ISLNK(status.st_mode))
        return who;
    char usual[kUsualListSize];
    ssize_t size = read(usual, sizeof(usual));
    std::vector<char> longer;
    if (size < 0 && errno == ERANGE) {
        size = read(nullptr, 0);
        if (size >= 0) {
            longer.resize(static_cast<std::size_t>(size));
            size = read(longer.data(), longer.size());
        }
    }
    if (size < 0 && (errno == ENODATA || errno == ENOTSUP || errno == EOPNOTSUPP))
        return who;
    if (size < 0)
        return std::string("the users and groups its access control list may name (it cannot be read: ") +
               std::strerror(errno) + ")";
    const char* const bytes = longer.empty() ? usual : longer.data();
    if (NamesOthersWhoWrite(bytes, static_cast<std::size_t>(size), status.st_uid))
        return "the users and groups its access control list names";
    return who;
}

}  // namespace

std::string OthersByAccess(int fd, const struct stat& status)
{
    // Through the descriptor's own path, which reaches the object that it holds (an O_PATH
    // descriptor has no attributes to read directly).
    const std::string path = DescriptorPath(fd);
    return OthersByList(status, [&path](char* buffer, std::size_t size) {
        return getxattr(path.c_str(), kAccessListAttribute, buffer, size);
    });
}

std::string OthersByAccessAt(int folder, const std::string& name, const struct stat& status)
{
    const std::string path = DescriptorPath(folder) + "/" + name;
    return OthersByList(status, [&path](char* buffer, std::size_t size) {
        return lgetxattr(path.c_str(), kAccessListAttribute, buffer, size);
    });
}

}  // namespace platform
