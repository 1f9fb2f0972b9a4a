// UnicodeText: text held as UTF-16 code units, the platform's own string form that the
// conversions, file-manager names and path comparisons work with.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

class UnicodeText {
public:
    UnicodeText() = default;

    // Decodes strict UTF-8 (no overlong forms, surrogates or values above U+10FFFF). Embedded
    // NUL bytes are refused: a platform string ends at the first NUL, and cutting the text there
    // would silently change it.
    static bool FromUTF8(const std::string& utf8, UnicodeText& text);

    // The forms of UTF-8 that DecodeUTF8 reads, as flags. Strict UTF-8 has no overlong forms, no
    // surrogates and nothing above U+10FFFF; every reader of UTF-8 in the system holds to it, with
    // one of these where its text differs.
    enum UTF8Option : unsigned {
        kStrictUTF8 = 0,
        // Each half of a surrogate pair may stand in a three-byte sequence of its own, as CESU-8
        // writes a character beyond U+FFFF, paired or not: the value read is the half. The script
        // engine's strings hold text so.
        kSurrogateHalves = 1u << 0,
        // U+2028 and U+2029 are refused too: they end a line of a script, so no string literal
        // may hold them.
        kNoLineSeparators = 1u << 1,
    };

    // One sequence that DecodeUTF8 read.
    struct UTF8Sequence {
        bool valid;
        std::uint32_t codePoint;  // when valid
        // The bytes read: the whole sequence when valid; else the lead byte with the continuation
        // bytes after it, up to as many as it announces (1 for a byte that leads no sequence).
        // A reader that replaces bad text puts one replacement character for them.
        std::size_t length;
    };

    // The sequence at the start of the size bytes (size > 0), by the rules that the options name.
    // A NUL byte is a sequence of length 1. Nothing past size is read, so a sequence cut short
    // there is no sequence.
    static UTF8Sequence DecodeUTF8(const char* bytes, std::size_t size, unsigned options = kStrictUTF8);

    // The bytes as text that shows what they hold, on one line: strict UTF-8 characters as they
    // are, and every byte that is no part of one, and every control character (NUL, a line break,
    // an escape, C1 controls, the line separators and the marks that turn the text's direction),
    // as \xNN for each of its bytes; a backslash is doubled, so that no name shows as another does.
    static std::string ShowBytes(const std::string& bytes);

    // Encodes as UTF-8; false when a code unit is an unpaired surrogate.
    bool ToUTF8(std::string& utf8) const;

    // Appends the UTF-8 form of one code point (below U+110000).
    static void AppendUTF8(std::uint32_t codePoint, std::string& utf8);
    // Appends the UTF-16 form of one code point (a pair of surrogates beyond U+FFFF) to a string
    // or vector of 16-bit units.
    template <typename Units>
    static void AppendUTF16(std::uint32_t codePoint, Units& units)
    {
        using Unit = typename Units::value_type;
        if (codePoint >= 0x10000) {
            codePoint -= 0x10000;
            units.push_back(static_cast<Unit>(0xD800 + (codePoint >> 10)));
            units.push_back(static_cast<Unit>(0xDC00 + (codePoint & 0x3FF)));
        } else {
            units.push_back(static_cast<Unit>(codePoint));
        }
    }

    std::size_t Length() const { return units_.size(); }
    const std::vector<std::uint16_t>& Units() const { return units_; }

    // -1, 0 or 1; the case-insensitive form folds each character to lower case first.
    static int Compare(const UnicodeText& a, const UnicodeText& b, bool caseInsensitive);

    // A key under which texts that Compare finds equal ignoring case are equal: each character
    // folded to lower case, as UTF-8. Bytes that are no strict UTF-8 give a key that matches
    // only those same bytes.
    static std::string CaseFoldedKey(const std::string& utf8);

private:
    std::vector<std::uint16_t> units_;
};

}  // namespace platform
