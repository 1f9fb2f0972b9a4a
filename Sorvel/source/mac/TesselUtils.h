// TesselUtils: the conversions between the scripting core's strings and UTF-8.
#pragma once

#include "platform/script/Mivor.h"

#include <string>

namespace TesselUtils {

// Every code unit, NUL characters included (the result may hold NUL bytes).
std::string MivorToUTF8(const Mivor::String& text);
// The text up to its first NUL byte.
Mivor::String UTF8ToMivor(const std::string& text);

}  // namespace TesselUtils
