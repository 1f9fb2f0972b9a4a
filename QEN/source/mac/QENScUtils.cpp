#include "QENScUtils.h"

namespace QENScUtils {

std::string MivorStringToUTF8StdString(const Mivor::String& text)
{
    return text.encode(Mivor::Encoder::getUtf8());
}

Mivor::String UTF8StdStringToMivorString(const std::string& text)
{
    return Mivor::String(text.c_str(), Mivor::Encoder::getUtf8());
}

}  // namespace QENScUtils
