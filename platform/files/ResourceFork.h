// Resource forks: typed, numbered resources with optional names, kept in the extended attribute
// kResourceForkAttribute in a format of our own. A fork is read whole into a ResourceMap,
// changed in memory and written back whole, so a failed write leaves the old fork as it was.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct Resource {
    std::uint32_t type = 0;  // four characters, big-endian
    std::int16_t id = 0;
    std::string name;        // at most 255 bytes
    std::string data;
};

// The stored form, all numbers big-endian:
//   "RMAP", version byte 1, resource count (4 bytes), then per resource:
//   type (4), id (2, two's complement), name length (1), name, data length (4), data.
class ResourceMap {
public:
    // False for anything but one whole, well-formed map (the map is then left as it was).
    static bool Parse(const std::string& bytes, ResourceMap& map);
    std::string Serialize() const;

    // The resource of that type and id in this map only, or null.
    const Resource* Find(std::uint32_t type, std::int16_t id) const;
    // False when the map holds that type and id already or the name is too long.
    bool Add(const Resource& resource);
    // False when there is no such resource.
    bool Remove(std::uint32_t type, std::int16_t id);

    const std::vector<Resource>& Resources() const { return resources_; }

private:
    std::vector<Resource> resources_;
};

// 0 with the map; ENODATA when the file has no resource fork, ENOTSUP when its file system keeps
// no attributes, EILSEQ when the fork is damaged, else the errno of the read.
int ReadResourceFork(const std::string& path, ResourceMap& map);
int ReadResourceFork(int fd, ResourceMap& map);
// Replaces the file's resource fork (see SetExtendedAttribute for the errors).
int WriteResourceFork(const std::string& path, const ResourceMap& map);
int WriteResourceFork(int fd, const ResourceMap& map);

}  // namespace platform
