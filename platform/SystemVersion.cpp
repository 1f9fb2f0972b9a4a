#include "platform/SystemVersion.h"

#include "platform/Files.h"
#include "platform/PropertyList.h"
#include "platform/SystemRoot.h"

#include <sstream>
#include <vector>

namespace platform {

namespace {

std::int32_t ToBCD(int value, int digits)
{
    std::int32_t result = 0;
    for (int shift = 0; shift < digits * 4; shift += 4) {
        result |= (value % 10) << shift;
        value /= 10;
    }
    return result;
}

}  // namespace

bool GetSystemVersionBCD(std::int32_t& version)
{
    std::string bytes;
    PropertyValuePtr plist;
    std::string text;
    if (!ReadWholeFile(SystemRoot::Resolve("/System/Library/CoreServices/SystemVersion.plist"), bytes) ||
        !ParsePropertyList(bytes, plist) || !plist->GetString("ProductVersion", text))
        return false;
    std::vector<int> parts;
    std::istringstream stream(text);
    std::string part;
    while (std::getline(stream, part, '.')) {
        if (part.empty() || part.size() > 4 || part.find_first_not_of("0123456789") != std::string::npos)
            return false;
        parts.push_back(std::stoi(part));
    }
    if (parts.empty() || parts.size() > 3 || parts[0] > 99)
        return false;
    parts.resize(3, 0);
    const int minor = parts[1] > 9 ? 9 : parts[1];
    const int bugFix = parts[2] > 9 ? 9 : parts[2];
    version = (ToBCD(parts[0], 2) << 8) | (minor << 4) | bugFix;
    return true;
}

}  // namespace platform
