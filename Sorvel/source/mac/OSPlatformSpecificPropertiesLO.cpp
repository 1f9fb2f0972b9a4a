#include "OSPlatformSpecificPropertiesLO.h"

#include "platform/Folders.h"
#include "platform/Gestalt.h"
#include "platform/SystemRoot.h"
#include "platform/files/FileRef.h"

#include <sstream>

namespace {

using platform::FourCharCode;

const std::uint32_t kVersionMajor = FourCharCode('v', 'm', 'a', 'j');
const std::uint32_t kVersionMinor = FourCharCode('v', 'm', 'i', 'n');
const std::uint32_t kVersionDot = FourCharCode('v', 'd', 'o', 't');
const std::uint32_t kVersion = FourCharCode('v', 'e', 'r', 's');
const std::uint32_t kIsServer = FourCharCode('i', 's', 's', 'v');
const std::uint32_t kIs64Bit = FourCharCode('i', 's', '6', '4');

const Mivor::LivePropertyInfo osxProps[] = {
    {"VersionMajor", kVersionMajor, 0x10001, 0}, {"VersionMinor", kVersionMinor, 0x10001, 0},
    {"VersionDot", kVersionDot, 0x10001, 0},     {"Version", kVersion, 0x10001, 0},
    {"IsServer", kIsServer, 0x10001, 0},         {"Is64Bit", kIs64Bit, 0x10001, 0},
    {nullptr, 0, 0, 0},
};

// Bit 6 of the PowerPC features: 64-bit support.
const std::int32_t kPPCFeature64Bit = 1 << 6;

}  // namespace

OSPlatformSpecificPropertiesLO::OSPlatData::OSPlatData()
    : version("1.0.0"), is64Bit(false), isServer(false), major(0), minor(0), dot(0)
{
    std::int32_t value = 0;
    const bool haveMajor = platform::Gestalt(FourCharCode('s', 'y', 's', '1'), value) == 0;
    if (haveMajor)
        major = static_cast<std::uint16_t>(value);
    const bool haveMinor = platform::Gestalt(FourCharCode('s', 'y', 's', '2'), value) == 0;
    if (haveMinor)
        minor = static_cast<std::uint16_t>(value);
    const bool haveDot = platform::Gestalt(FourCharCode('s', 'y', 's', '3'), value) == 0;
    if (haveDot)
        dot = static_cast<std::uint16_t>(value);
    if (haveMajor && haveMinor && haveDot) {
        std::ostringstream text;
        text << major << "." << minor << "." << dot;
        version = text.str();
    }
    is64Bit = platform::Gestalt(FourCharCode('p', 'p', 'c', 'f'), value) == 0 && (value & kPPCFeature64Bit) != 0;
    platform::FileRef ref;
    isServer = platform::MakeFileRef(
                   platform::SystemRoot::Resolve("/System/Library/CoreServices/ServerVersion.plist"), ref) == 0;
}

OSPlatformSpecificPropertiesLO::OSPlatformSpecificPropertiesLO()
    : SystemInfoBaseLO("OSX", osxProps), data_(new OSPlatData)
{
}

int OSPlatformSpecificPropertiesLO::clone(Mivor::LiveObject*& out, bool)
{
    out = new OSPlatformSpecificPropertiesLO;
    return 0;
}

int OSPlatformSpecificPropertiesLO::get(std::uint32_t id, Mivor::Variant& result, Mivor::Error* error)
{
    if (data_) {
        if (id == kVersionMajor)
            result.setInt(data_->major);
        else if (id == kVersionMinor)
            result.setInt(data_->minor);
        else if (id == kVersionDot)
            result.setInt(data_->dot);
        else if (id == kVersion)
            result.setString(Mivor::String(data_->version.c_str(), Mivor::Encoder::getUtf8()));
        else if (id == kIsServer)
            result.setBool(data_->isServer);
        else if (id == kIs64Bit)
            result.setBool(data_->is64Bit);
    }
    return setError(0, id, error, false);
}
