#include "MemoryPropertiesLO.h"

#include "platform/HostInfo.h"

int MemoryPropertiesLO::ImplGetTotalSystemRAM(Mivor::Variant& result)
{
    result.clear();
    std::uint64_t bytes = 0;
    if (platform::PhysicalMemoryBytes(bytes))
        result.setUInt(static_cast<std::uint32_t>(bytes >> 20));
    return 0;
}
