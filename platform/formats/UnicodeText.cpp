#include "platform/formats/UnicodeText.h"

#include <locale.h>
#include <wctype.h>

namespace platform {

namespace {

// The C.UTF-8 locale, made once: it carries the full Unicode case mapping of the C library
// without touching the process's global locale.
locale_t CaseMappingLocale()
{
    static locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    return locale;
}

std::uint32_t FoldCase(std::uint32_t codePoint)
{
    locale_t locale = CaseMappingLocale();
    if (locale == static_cast<locale_t>(nullptr)) {
        if (codePoint >= 'A' && codePoint <= 'Z')
            return codePoint + ('a' - 'A');
        return codePoint;
    }
    return static_cast<std::uint32_t>(towlower_l(static_cast<wint_t>(codePoint), locale));
}

// Reads the code point at index i (a pair of surrogates counts as one) and advances i.
std::uint32_t NextCodePoint(const std::vector<std::uint16_t>& units, std::size_t& i)
{
    std::uint32_t unit = units[i++];
    if (unit >= 0xD800 && unit <= 0xDBFF && i < units.size() && units[i] >= 0xDC00 && units[i] <= 0xDFFF) {
        std::uint32_t low = units[i++];
        return 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
    }
    return unit;
}

}  // namespace

UnicodeText::UTF8Sequence UnicodeText::DecodeUTF8(const char* bytes, std::size_t size, unsigned options)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes);
    if (size == 0)
        return {false, 0, 0};
    const unsigned char lead = p[0];
    if (lead < 0x80)
        return {true, lead, 1};
    // C0 and C1 could lead only overlong forms, F5 to FF only values above U+10FFFF.
    std::size_t extra;
    std::uint32_t value;
    std::uint32_t least;
    if (lead >= 0xC2 && lead <= 0xDF) {
        extra = 1, value = lead & 0x1F, least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        extra = 2, value = lead & 0x0F, least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        extra = 3, value = lead & 0x07, least = 0x10000;
    } else {
        return {false, 0, 1};
    }
    std::size_t taken = 1;
    while (taken <= extra && taken < size && (p[taken] & 0xC0) == 0x80) {
        value = (value << 6) | (p[taken] & 0x3F);
        ++taken;
    }
    const bool surrogate = value >= 0xD800 && value <= 0xDFFF;
    const bool separator = value == 0x2028 || value == 0x2029;
    if (taken != extra + 1 || value < least || value > 0x10FFFF || (surrogate && !(options & kSurrogateHalves)) ||
        (separator && (options & kNoLineSeparators)))
        return {false, 0, taken};
    return {true, value, taken};
}

bool UnicodeText::FromUTF8(const std::string& utf8, UnicodeText& text)
{
    std::vector<std::uint16_t> units;
    units.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const UTF8Sequence sequence = DecodeUTF8(utf8.data() + i, utf8.size() - i);
        if (!sequence.valid || sequence.codePoint == 0)
            return false;
        i += sequence.length;
        AppendUTF16(sequence.codePoint, units);
    }
    text.units_.swap(units);
    return true;
}

bool UnicodeText::ToUTF8(std::string& utf8) const
{
    std::string out;
    out.reserve(units_.size());
    std::size_t i = 0;
    while (i < units_.size()) {
        const std::uint32_t codePoint = NextCodePoint(units_, i);
        if (codePoint >= 0xD800 && codePoint <= 0xDFFF)
            return false;  // an unpaired surrogate has no UTF-8 form
        AppendUTF8(codePoint, out);
    }
    utf8.swap(out);
    return true;
}

int UnicodeText::Compare(const UnicodeText& a, const UnicodeText& b, bool caseInsensitive)
{
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.units_.size() && j < b.units_.size()) {
        std::uint32_t left = NextCodePoint(a.units_, i);
        std::uint32_t right = NextCodePoint(b.units_, j);
        if (caseInsensitive) {
            left = FoldCase(left);
            right = FoldCase(right);
        }
        if (left != right)
            return left < right ? -1 : 1;
    }
    if (i < a.units_.size())
        return 1;
    if (j < b.units_.size())
        return -1;
    return 0;
}

void UnicodeText::AppendUTF8(std::uint32_t codePoint, std::string& utf8)
{
    if (codePoint < 0x80) {
        utf8 += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        utf8 += static_cast<char>(0xC0 | (codePoint >> 6));
        utf8 += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        utf8 += static_cast<char>(0xE0 | (codePoint >> 12));
        utf8 += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        utf8 += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        utf8 += static_cast<char>(0xF0 | (codePoint >> 18));
        utf8 += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        utf8 += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        utf8 += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

std::string UnicodeText::CaseFoldedKey(const std::string& utf8)
{
    std::string key;
    key.reserve(utf8.size());
    for (std::size_t at = 0; at < utf8.size();) {
        const unsigned char byte = static_cast<unsigned char>(utf8[at]);
        if (byte < 0x80) {
            key += static_cast<char>(byte >= 'A' && byte <= 'Z' ? byte + ('a' - 'A') : byte);
            ++at;
            continue;
        }
        const UTF8Sequence sequence = DecodeUTF8(utf8.data() + at, utf8.size() - at);
        if (!sequence.valid)
            return "\xFF" + utf8;  // never the start of a strict UTF-8 key
        at += sequence.length;
        AppendUTF8(FoldCase(sequence.codePoint), key);
    }
    return key;
}

namespace {

// The characters that would not show as themselves on one line of a terminal: the controls (C0
// and C1), the line and paragraph separators, and the marks that turn the direction of the text.
bool ShownEscaped(std::uint32_t codePoint)
{
    return codePoint < 0x20 || (codePoint >= 0x7F && codePoint <= 0x9F) || codePoint == 0x2028 || codePoint == 0x2029 ||
           (codePoint >= 0x200E && codePoint <= 0x200F) || (codePoint >= 0x202A && codePoint <= 0x202E) ||
           (codePoint >= 0x2066 && codePoint <= 0x2069);
}

}  // namespace

std::string UnicodeText::ShowBytes(const std::string& bytes)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string shown;
    for (std::size_t at = 0; at < bytes.size();) {
        const UTF8Sequence sequence = DecodeUTF8(bytes.data() + at, bytes.size() - at);
        if (!sequence.valid || ShownEscaped(sequence.codePoint)) {
            const unsigned char byte = static_cast<unsigned char>(bytes[at]);
            shown += std::string("\\x") + kHex[byte >> 4] + kHex[byte & 0xF];
            ++at;
        } else if (bytes[at] == '\\') {
            shown += "\\\\";
            ++at;
        } else {
            shown.append(bytes, at, sequence.length);
            at += sequence.length;
        }
    }
    return shown;
}

}  // namespace platform
