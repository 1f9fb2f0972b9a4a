#include "platform/script/MivorString.h"

#include "platform/formats/UnicodeText.h"

#include <cstdint>

namespace Mivor {

namespace {

const char16_t kReplacement = 0xFFFD;

}  // namespace

const Encoder& Encoder::getUtf8()
{
    static const Encoder utf8;
    return utf8;
}

void Encoder::decode(const char* bytes, std::size_t length, std::u16string& units) const
{
    units.clear();
    units.reserve(length);
    for (std::size_t i = 0; i < length;) {
        const platform::UnicodeText::UTF8Sequence sequence = platform::UnicodeText::DecodeUTF8(bytes + i, length - i);
        // One replacement for the bytes that looked like one character.
        platform::UnicodeText::AppendUTF16(sequence.valid ? sequence.codePoint : kReplacement, units);
        i += sequence.length;
    }
}

void Encoder::encode(const std::u16string& units, std::string& bytes) const
{
    bytes.clear();
    bytes.reserve(units.size());
    for (std::size_t i = 0; i < units.size(); ++i) {
        const std::uint32_t unit = units[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF) {
            platform::UnicodeText::AppendUTF8(0x10000 + ((unit - 0xD800) << 10) + (units[i + 1] - 0xDC00), bytes);
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            platform::UnicodeText::AppendUTF8(kReplacement, bytes);
        } else {
            platform::UnicodeText::AppendUTF8(unit, bytes);
        }
    }
}

String::String(const char* text, const Encoder& encoder)
{
    if (text != nullptr)
        encoder.decode(text, std::char_traits<char>::length(text), units_);
}

String::String(const char* bytes, std::size_t length, const Encoder& encoder)
{
    if (bytes != nullptr)
        encoder.decode(bytes, length, units_);
}

std::string String::encode(const Encoder& encoder) const
{
    std::string bytes;
    encoder.encode(units_, bytes);
    return bytes;
}

std::size_t String::getEncodedLength(const Encoder& encoder) const
{
    return encode(encoder).size();
}

}  // namespace Mivor
