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

    // The strict UTF-8 sequence that starts at byte `at`: its length (1 to 4) with its code point,
    // or 0 when the bytes there are no such sequence (a stray or truncated byte, an overlong form,
    // a surrogate, a value above U+10FFFF). A NUL byte is a sequence of length 1.
    static std::size_t DecodeUTF8Sequence(const std::string& utf8, std::size_t at, std::uint32_t& codePoint);

    // Encodes as UTF-8; false when a code unit is an unpaired surrogate.
    bool ToUTF8(std::string& utf8) const;

    // Appends the UTF-8 form of one code point (below U+110000).
    static void AppendUTF8(std::uint32_t codePoint, std::string& utf8);

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
