#include "platform/HostInfo.h"

#include "platform/Files.h"
#include "platform/PropertyList.h"
#include "platform/SystemRoot.h"

#include <unistd.h>

namespace platform {

bool PhysicalMemoryBytes(std::uint64_t& bytes)
{
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || pageSize <= 0)
        return false;
    bytes = static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
    return true;
}

bool MainDisplaySize(std::uint32_t& width, std::uint32_t& height)
{
    std::string text;
    PropertyValuePtr settings;
    if (!ReadWholeFile(SystemRoot::SettingsFilePath(), text) || !ParsePropertyList(text, settings))
        return false;
    ConstPropertyValuePtr display = settings->Get("display");
    if (!display)
        return false;
    ConstPropertyValuePtr w = display->Get("width");
    ConstPropertyValuePtr h = display->Get("height");
    if (!w || !h || w->GetType() != PropertyValue::kInteger || h->GetType() != PropertyValue::kInteger ||
        w->IntegerValue() < 0 || h->IntegerValue() < 0 || w->IntegerValue() > 0xFFFFFFFFLL ||
        h->IntegerValue() > 0xFFFFFFFFLL)
        return false;
    width = static_cast<std::uint32_t>(w->IntegerValue());
    height = static_cast<std::uint32_t>(h->IntegerValue());
    return true;
}

}  // namespace platform
