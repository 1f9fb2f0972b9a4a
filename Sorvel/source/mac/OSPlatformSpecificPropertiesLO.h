// OSPlatformSpecificPropertiesLO: the script object "OSX" with the system's version parts, its
// version text and whether it is a server or 64-bit system.
#pragma once

#include "SystemInfoBaseLO.h"

#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <string>

class OSPlatformSpecificPropertiesLO : public SystemInfoBaseLO {
public:
    OSPlatformSpecificPropertiesLO();

    int clone(Mivor::LiveObject*& out, bool deep) override;
    int get(std::uint32_t id, Mivor::Variant& result, Mivor::Error* error) override;

    // Read once, when the object is made.
    struct OSPlatData {
        OSPlatData();
        std::string version;
        bool is64Bit;
        bool isServer;
        std::uint16_t major;
        std::uint16_t minor;
        std::uint16_t dot;
    };

private:
    boost::shared_ptr<OSPlatData> data_;
};
