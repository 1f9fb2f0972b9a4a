#include "platform/files/ResourceFork.h"

#include "platform/files/ExtendedAttributes.h"

#include <cerrno>

namespace platform {

namespace {

const char kMagic[] = {'R', 'M', 'A', 'P'};
const unsigned char kVersion = 1;
const std::size_t kMaxNameLength = 255;

void Put(std::string& out, std::uint64_t value, int bytes)
{
    for (int shift = (bytes - 1) * 8; shift >= 0; shift -= 8)
        out += static_cast<char>((value >> shift) & 0xFF);
}

// Reads big-endian numbers and byte runs, refusing to run past the end.
class Reader {
public:
    explicit Reader(const std::string& bytes) : bytes_(bytes) {}

    bool Number(int width, std::uint64_t& value)
    {
        if (bytes_.size() - position_ < static_cast<std::size_t>(width))
            return false;
        value = 0;
        for (int i = 0; i < width; ++i)
            value = (value << 8) | static_cast<unsigned char>(bytes_[position_++]);
        return true;
    }
    bool Bytes(std::size_t count, std::string& value)
    {
        if (bytes_.size() - position_ < count)
            return false;
        value.assign(bytes_, position_, count);
        position_ += count;
        return true;
    }
    bool AtEnd() const { return position_ == bytes_.size(); }

private:
    const std::string& bytes_;
    std::size_t position_ = 0;
};

int MapFromAttribute(int error, const std::string& bytes, ResourceMap& map)
{
    if (error != 0)
        return error;
    return ResourceMap::Parse(bytes, map) ? 0 : EILSEQ;
}

}  // namespace

bool ResourceMap::Parse(const std::string& bytes, ResourceMap& map)
{
    Reader reader(bytes);
    std::string magic;
    std::uint64_t version = 0;
    std::uint64_t count = 0;
    if (!reader.Bytes(sizeof(kMagic), magic) || magic != std::string(kMagic, sizeof(kMagic)) ||
        !reader.Number(1, version) || version != kVersion || !reader.Number(4, count))
        return false;
    ResourceMap parsed;
    for (std::uint64_t i = 0; i < count; ++i) {
        Resource resource;
        std::uint64_t type = 0, id = 0, nameLength = 0, dataLength = 0;
        if (!reader.Number(4, type) || !reader.Number(2, id) || !reader.Number(1, nameLength) ||
            !reader.Bytes(nameLength, resource.name) || !reader.Number(4, dataLength) ||
            !reader.Bytes(dataLength, resource.data))
            return false;
        resource.type = static_cast<std::uint32_t>(type);
        resource.id = static_cast<std::int16_t>(static_cast<std::uint16_t>(id));
        if (!parsed.Add(resource))
            return false;
    }
    if (!reader.AtEnd())
        return false;
    map = parsed;
    return true;
}

std::string ResourceMap::Serialize() const
{
    std::string out(kMagic, sizeof(kMagic));
    out += static_cast<char>(kVersion);
    Put(out, resources_.size(), 4);
    for (const Resource& resource : resources_) {
        Put(out, resource.type, 4);
        Put(out, static_cast<std::uint16_t>(resource.id), 2);
        Put(out, resource.name.size(), 1);
        out += resource.name;
        Put(out, resource.data.size(), 4);
        out += resource.data;
    }
    return out;
}

const Resource* ResourceMap::Find(std::uint32_t type, std::int16_t id) const
{
    for (const Resource& resource : resources_) {
        if (resource.type == type && resource.id == id)
            return &resource;
    }
    return nullptr;
}

bool ResourceMap::Add(const Resource& resource)
{
    if (resource.name.size() > kMaxNameLength || resource.data.size() > 0xFFFFFFFFu ||
        Find(resource.type, resource.id) != nullptr)
        return false;
    resources_.push_back(resource);
    return true;
}

bool ResourceMap::Remove(std::uint32_t type, std::int16_t id)
{
    for (auto it = resources_.begin(); it != resources_.end(); ++it) {
        if (it->type == type && it->id == id) {
            resources_.erase(it);
            return true;
        }
    }
    return false;
}

int ReadResourceFork(const std::string& path, ResourceMap& map)
{
    std::string bytes;
    const int error = GetExtendedAttribute(path, kResourceForkAttribute, bytes);
    return MapFromAttribute(error, bytes, map);
}

int ReadResourceFork(int fd, ResourceMap& map)
{
    std::string bytes;
    const int error = GetExtendedAttribute(fd, kResourceForkAttribute, bytes);
    return MapFromAttribute(error, bytes, map);
}

int WriteResourceFork(const std::string& path, const ResourceMap& map)
{
    return SetExtendedAttribute(path, kResourceForkAttribute, map.Serialize());
}

int WriteResourceFork(int fd, const ResourceMap& map)
{
    return SetExtendedAttribute(fd, kResourceForkAttribute, map.Serialize());
}

}  // namespace platform
