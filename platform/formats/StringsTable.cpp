#include "platform/formats/StringsTable.h"

#include "platform/files/Files.h"
#include "platform/formats/UnicodeText.h"

#include <cstdint>

namespace platform {

namespace {

const char32_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

char32_t CombineSurrogates(char32_t high, char32_t low)
{
    return 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00);
}

bool DecodeUTF16(const std::string& bytes, std::size_t start, bool bigEndian, std::u32string& text)
{
    if ((bytes.size() - start) % 2 != 0)
        return false;
    std::u32string result;
    for (std::size_t i = start; i < bytes.size(); i += 2) {
        const unsigned char first = static_cast<unsigned char>(bytes[i]);
        const unsigned char second = static_cast<unsigned char>(bytes[i + 1]);
        char32_t unit = bigEndian ? (first << 8 | second) : (second << 8 | first);
        if (IsHighSurrogate(unit)) {
            if (i + 3 >= bytes.size())
                return false;
            const unsigned char third = static_cast<unsigned char>(bytes[i + 2]);
            const unsigned char fourth = static_cast<unsigned char>(bytes[i + 3]);
            const char32_t low = bigEndian ? (third << 8 | fourth) : (fourth << 8 | third);
            if (!IsLowSurrogate(low))
                return false;
            unit = CombineSurrogates(unit, low);
            i += 2;
        } else if (IsLowSurrogate(unit)) {
            return false;
        }
        result += unit;
    }
    text.swap(result);
    return true;
}

bool DecodeUTF8(const std::string& bytes, std::size_t start, std::u32string& text)
{
    std::u32string result;
    for (std::size_t i = start; i < bytes.size();) {
        const UnicodeText::UTF8Sequence sequence = UnicodeText::DecodeUTF8(bytes.data() + i, bytes.size() - i);
        if (!sequence.valid)
            return false;
        result += static_cast<char32_t>(sequence.codePoint);
        i += sequence.length;
    }
    text.swap(result);
    return true;
}

void AppendUTF8(char32_t c, std::string& out)
{
    UnicodeText::AppendUTF8(static_cast<std::uint32_t>(c), out);
}

bool IsHexDigit(char32_t c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

unsigned HexValue(char32_t c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return c - 'A' + 10;
}

// Characters of an unquoted word, as the property-list text format allows them.
bool IsWordCharacter(char32_t c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$' ||
           c == '+' || c == '/' || c == ':' || c == '.' || c == '-';
}

class Parser {
public:
    explicit Parser(const std::u32string& text) : text_(text), pos_(0), line_(1) {}

    bool Run(StringsTable::Entries& entries, std::string& error)
    {
        StringsTable::Entries result;
        for (;;) {
            if (!SkipBlanks())
                return Fail("unterminated comment", error);
            if (AtEnd())
                break;
            std::string key;
            std::string value;
            if (!ReadString(key))
                return Fail(failure_.empty() ? "expected a quoted key" : failure_, error);
            if (!SkipBlanks())
                return Fail("unterminated comment", error);
            if (Peek() == ';') {
                value = key;  // "key"; stands for "key" = "key";
            } else {
                if (Peek() != '=')
                    return Fail("expected \"=\" after a key", error);
                ++pos_;
                if (!SkipBlanks())
                    return Fail("unterminated comment", error);
                if (!ReadString(value))
                    return Fail(failure_.empty() ? "expected a quoted value" : failure_, error);
                if (!SkipBlanks())
                    return Fail("unterminated comment", error);
                if (Peek() != ';')
                    return Fail("expected \";\" after a value", error);
            }
            ++pos_;
            result[key] = value;
        }
        entries.swap(result);
        return true;
    }

private:
    bool AtEnd() const { return pos_ >= text_.size(); }
    char32_t Peek(std::size_t ahead = 0) const
    {
        return pos_ + ahead < text_.size() ? text_[pos_ + ahead] : char32_t(0);
    }

    bool Fail(const std::string& what, std::string& error) const
    {
        error = what + " (line " + std::to_string(line_) + ")";
        return false;
    }

    // Skips white space and comments; false for a comment that never ends.
    bool SkipBlanks()
    {
        while (!AtEnd()) {
            const char32_t c = Peek();
            if (c == '\n') {
                ++line_;
                ++pos_;
            } else if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v' || c == 0xFEFF) {
                ++pos_;
            } else if (c == '/' && Peek(1) == '*') {
                pos_ += 2;
                while (!AtEnd() && !(Peek() == '*' && Peek(1) == '/')) {
                    if (Peek() == '\n')
                        ++line_;
                    ++pos_;
                }
                if (AtEnd())
                    return false;
                pos_ += 2;
            } else if (c == '/' && Peek(1) == '/') {
                while (!AtEnd() && Peek() != '\n')
                    ++pos_;
            } else {
                break;
            }
        }
        return true;
    }

    bool ReadString(std::string& out)
    {
        failure_.clear();
        if (AtEnd())
            return false;
        if (Peek() == '"')
            return ReadQuoted(out);
        if (!IsWordCharacter(Peek()))
            return false;
        while (!AtEnd() && IsWordCharacter(Peek()))
            AppendUTF8(text_[pos_++], out);
        return true;
    }

    bool ReadQuoted(std::string& out)
    {
        ++pos_;  // the opening quote
        std::u32string value;
        while (!AtEnd() && Peek() != '"') {
            char32_t c = text_[pos_++];
            if (c == '\n')
                ++line_;
            if (c == '\\') {
                if (AtEnd())
                    break;
                c = ReadEscape();
            }
            value += c;
        }
        if (AtEnd()) {
            failure_ = "unterminated string";
            return false;
        }
        ++pos_;  // the closing quote
        // Surrogate halves written as separate \U escapes make one character; a lone half
        // has no UTF-8 form.
        for (std::size_t i = 0; i < value.size(); ++i) {
            char32_t c = value[i];
            if (IsHighSurrogate(c) && i + 1 < value.size() && IsLowSurrogate(value[i + 1]))
                c = CombineSurrogates(c, value[++i]);
            else if (IsHighSurrogate(c) || IsLowSurrogate(c))
                c = kReplacement;
            AppendUTF8(c, out);
        }
        return true;
    }

    // The character after a backslash has been consumed up to the backslash.
    char32_t ReadEscape()
    {
        const char32_t c = text_[pos_++];
        switch (c) {
        case 'a': return '\a';
        case 'b': return '\b';
        case 'f': return '\f';
        case 'n': return '\n';
        case 'r': return '\r';
        case 't': return '\t';
        case 'v': return '\v';
        case 'U':
        case 'u': {
            char32_t value = 0;
            int digits = 0;
            while (digits < 4 && !AtEnd() && IsHexDigit(Peek())) {
                value = (value << 4) | HexValue(text_[pos_++]);
                ++digits;
            }
            return digits > 0 ? value : c;
        }
        default:
            break;
        }
        if (c >= '0' && c <= '7') {
            char32_t value = c - '0';
            for (int digits = 1; digits < 3 && !AtEnd() && Peek() >= '0' && Peek() <= '7'; ++digits)
                value = (value << 3) | (text_[pos_++] - '0');
            return value;
        }
        if (c == '\n')
            ++line_;
        return c;  // \" \\ \' and any other character stand for themselves
    }

    const std::u32string& text_;
    std::size_t pos_;
    unsigned line_;
    std::string failure_;
};

}  // namespace

bool StringsTable::Parse(const std::string& bytes, Entries& entries, std::string& error)
{
    std::u32string text;
    bool decoded;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE)
        decoded = DecodeUTF16(bytes, 2, false, text);
    else if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFE &&
             static_cast<unsigned char>(bytes[1]) == 0xFF)
        decoded = DecodeUTF16(bytes, 2, true, text);
    else if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
        decoded = DecodeUTF8(bytes, 3, text);
    else
        decoded = DecodeUTF8(bytes, 0, text);
    if (!decoded) {
        error = "text is neither UTF-8 nor UTF-16 with a byte-order mark";
        return false;
    }
    return Parser(text).Run(entries, error);
}

bool StringsTable::Load(const std::string& path, Entries& entries)
{
    std::string bytes;
    std::string error;
    return ReadWholeFile(path, bytes) && Parse(bytes, entries, error);
}

}  // namespace platform
