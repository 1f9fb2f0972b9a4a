#include "platform/PlatformSettings.h"

#include "platform/Files.h"
#include "platform/PropertyList.h"
#include "platform/SystemRoot.h"

#include <climits>
#include <cstdlib>

namespace platform {

namespace {

int OptionalBoolean(const PropertyValue& entry, const char* key)
{
    ConstPropertyValuePtr value = entry.Get(key);
    if (!value || value->GetType() != PropertyValue::kBoolean)
        return -1;
    return value->BooleanValue() ? 1 : 0;
}

bool OptionalInteger(const PropertyValue& entry, const char* key, std::uint64_t& result)
{
    ConstPropertyValuePtr value = entry.Get(key);
    if (!value || value->GetType() != PropertyValue::kInteger || value->IntegerValue() < 0)
        return false;
    result = static_cast<std::uint64_t>(value->IntegerValue());
    return true;
}

}  // namespace

std::vector<DeclaredVolume> DeclaredVolumes()
{
    std::vector<DeclaredVolume> volumes;
    std::string bytes;
    PropertyValuePtr settings;
    if (!ReadWholeFile(SystemRoot::SettingsFilePath(), bytes) || !ParsePropertyList(bytes, settings))
        return volumes;
    ConstPropertyValuePtr list = settings->Get("volumes");
    if (!list || list->GetType() != PropertyValue::kArray)
        return volumes;
    for (const PropertyValuePtr& entry : list->ArrayItems()) {
        std::string mountPoint;
        if (!entry || !entry->GetString("mount-point", mountPoint) || mountPoint.empty() || mountPoint[0] != '/')
            continue;
        char resolved[PATH_MAX];
        if (realpath(SystemRoot::Resolve(mountPoint).c_str(), resolved) == nullptr)
            continue;
        DeclaredVolume volume;
        volume.mountPoint = resolved;
        if (entry->GetString("mounted-from", volume.mountedFrom) && !volume.mountedFrom.empty() &&
            volume.mountedFrom[0] == '/')
            volume.mountedFrom = SystemRoot::Resolve(volume.mountedFrom);
        entry->GetString("type", volume.typeName);
        entry->GetString("name", volume.name);
        volume.writable = OptionalBoolean(*entry, "writable");
        volume.caseSensitive = OptionalBoolean(*entry, "case-sensitive");
        volume.removable = OptionalBoolean(*entry, "removable");
        volume.hasCapacity = OptionalInteger(*entry, "capacity", volume.capacity);
        volume.hasFree = OptionalInteger(*entry, "free", volume.freeBytes);
        volumes.push_back(volume);
    }
    return volumes;
}

}  // namespace platform
