#include "DisplayPropertiesLO.h"

#include "platform/HostInfo.h"

int DisplayPropertiesLO::ImplGetWidth(Mivor::Variant& result)
{
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    platform::MainDisplaySize(width, height);
    result.setInt(static_cast<std::int32_t>(width));
    return 0;
}

int DisplayPropertiesLO::ImplGetHeight(Mivor::Variant& result)
{
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    platform::MainDisplaySize(width, height);
    result.setInt(static_cast<std::int32_t>(height));
    return 0;
}
