// QENScUtils: text between the scripting core's strings and the UTF-8 strings of the engine.
#pragma once

#include "platform/script/Mivor.h"

#include <string>

namespace QENScUtils {

// The string encoded as UTF-8, all of it (NUL characters included).
std::string MivorStringToUTF8StdString(const Mivor::String& text);
// A scripting-core string of the UTF-8 text up to its first NUL byte.
Mivor::String UTF8StdStringToMivorString(const std::string& text);

}  // namespace QENScUtils
