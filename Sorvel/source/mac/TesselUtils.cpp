#include "TesselUtils.h"

namespace TesselUtils {

std::string MivorToUTF8(const Mivor::String& text)
{
    const Mivor::Encoder& utf8 = Mivor::Encoder::getUtf8();
    std::string encoded = text.encode(utf8);
    encoded.resize(text.getEncodedLength(utf8));
    return encoded;
}

Mivor::String UTF8ToMivor(const std::string& text)
{
    // Whole, NUL bytes included: an answer is cut nowhere.
    return Mivor::String(text.data(), text.size(), Mivor::Encoder::getUtf8());
}

}  // namespace TesselUtils
