#include "platform/script/MivorString.h"

#include "platform/formats/UnicodeText.h"

#include <cstdint>

namespace Mivor {

namespace {

const char16_t kReplacement = 0xFFFD;

void AppendCodePoint(std::u16string& units, std::uint32_t codePoint)
{
    if (codePoint >= 0x10000) {
        codePoint -= 0x10000;
        units.push_back(static_cast<char16_t>(0xD800 + (codePoint >> 10)));
        units.push_back(static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF)));
    } else {
        units.push_back(static_cast<char16_t>(codePoint));
    }
}

void AppendUTF8(std::string& bytes, std::uint32_t codePoint)
{
    if (codePoint < 0x80) {
        bytes.push_back(static_cast<char>(codePoint));
    } else if (codePoint < 0x800) {
        bytes.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
        bytes.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else if (codePoint < 0x10000) {
        bytes.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
        bytes.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        bytes.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else {
        bytes.push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
        bytes.push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
        bytes.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        bytes.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    }
}

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
        AppendCodePoint(units, sequence.valid ? sequence.codePoint : kReplacement);
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
            AppendUTF8(bytes, 0x10000 + ((unit - 0xD800) << 10) + (units[i + 1] - 0xDC00));
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            AppendUTF8(bytes, kReplacement);
        } else {
            AppendUTF8(bytes, unit);
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
