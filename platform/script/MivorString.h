// Mivor strings: the scripting core's text type (UTF-16 code units, NUL allowed) and the
// encoder through which it is made from, and turned back into, UTF-8.
#pragma once

#include <cstddef>
#include <string>

namespace Mivor {

// A character encoding of the scripting core. UTF-8 is the only one that the system uses.
class Encoder {
public:
    static const Encoder& getUtf8();

    // Decodes bytes into code units. Malformed sequences become U+FFFD, so any byte string
    // can be taken in; NUL bytes are kept.
    void decode(const char* bytes, std::size_t length, std::u16string& units) const;
    // Encodes code units. An unpaired surrogate becomes U+FFFD.
    void encode(const std::u16string& units, std::string& bytes) const;

private:
    Encoder() = default;
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;
};

class String {
public:
    String() = default;
    // The text up to its first NUL byte.
    String(const char* text, const Encoder& encoder);
    // Exactly length bytes, NUL bytes included.
    String(const char* bytes, std::size_t length, const Encoder& encoder);
    explicit String(const std::u16string& units) : units_(units) {}

    // The encoded bytes, all of them: a string holding NUL characters keeps them.
    std::string encode(const Encoder& encoder) const;
    std::size_t getEncodedLength(const Encoder& encoder) const;

    std::size_t length() const { return units_.size(); }
    bool empty() const { return units_.empty(); }
    const std::u16string& units() const { return units_; }

    bool operator==(const String& other) const { return units_ == other.units_; }
    bool operator!=(const String& other) const { return units_ != other.units_; }

private:
    std::u16string units_;
};

}  // namespace Mivor
