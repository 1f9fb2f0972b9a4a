// ZEB::Base64Encode and ZEB::Base64Decode: Base64 with the standard alphabet and "=" padding,
// no line breaks. Written out here rather than with Boost.Archive's iterators, which neither
// pad nor skip foreign characters the way stored alias data and payload texts need.
#pragma once

#include <string>

namespace ZEB {

namespace detail {

extern const char kBase64Alphabet[];

// Whether the decoder takes the character into a group: "0" to "z", "+", "/" and "=".
inline bool IsBase64GroupCharacter(unsigned char c)
{
    return (c >= '0' && c <= 'z') || c == '+' || c == '/' || c == '=';
}

// A group character's 6-bit value; characters outside the alphabet count as 0.
inline unsigned int Base64Value(unsigned char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return 0;
}

}  // namespace detail

// Appends the Base64 text of the bytes to output and answers output.
template <class InputIterator>
std::string& Base64Encode(InputIterator first, InputIterator last, std::string& output)
{
    unsigned char group[3];
    std::size_t count = 0;
    for (; first != last; ++first) {
        group[count++] = static_cast<unsigned char>(*first);
        if (count < 3)
            continue;
        output.push_back(detail::kBase64Alphabet[group[0] >> 2]);
        output.push_back(detail::kBase64Alphabet[((group[0] & 0x03) << 4) | (group[1] >> 4)]);
        output.push_back(detail::kBase64Alphabet[((group[1] & 0x0F) << 2) | (group[2] >> 6)]);
        output.push_back(detail::kBase64Alphabet[group[2] & 0x3F]);
        count = 0;
    }
    if (count == 1) {
        output.push_back(detail::kBase64Alphabet[group[0] >> 2]);
        output.push_back(detail::kBase64Alphabet[(group[0] & 0x03) << 4]);
        output.append("==");
    } else if (count == 2) {
        output.push_back(detail::kBase64Alphabet[group[0] >> 2]);
        output.push_back(detail::kBase64Alphabet[((group[0] & 0x03) << 4) | (group[1] >> 4)]);
        output.push_back(detail::kBase64Alphabet[(group[1] & 0x0F) << 2]);
        output.push_back('=');
    }
    return output;
}

// Appends the decoded bytes through output (a back-inserter into a string or a byte vector)
// and answers it. Characters outside the alphabet are skipped. ok is false for a truncated
// group or misplaced padding; bytes decoded before that stay appended.
template <class InputIterator, class OutputIterator>
OutputIterator Base64Decode(InputIterator first, InputIterator last, OutputIterator output, bool& ok)
{
    ok = true;
    unsigned char group[4];
    std::size_t count = 0;
    for (; first != last; ++first) {
        const unsigned char c = static_cast<unsigned char>(*first);
        if (!detail::IsBase64GroupCharacter(c))
            continue;
        group[count++] = c;
        if (count < 4)
            continue;
        count = 0;
        if (group[0] == '=' || group[1] == '=' || (group[2] == '=' && group[3] != '=')) {
            ok = false;
            return output;
        }
        const unsigned long bits = (detail::Base64Value(group[0]) << 18) | (detail::Base64Value(group[1]) << 12)
                                   | (detail::Base64Value(group[2]) << 6) | detail::Base64Value(group[3]);
        *output++ = static_cast<unsigned char>(bits >> 16);
        if (group[2] == '=')
            continue;
        *output++ = static_cast<unsigned char>(bits >> 8);
        if (group[3] == '=')
            continue;
        *output++ = static_cast<unsigned char>(bits);
    }
    if (count != 0)
        ok = false;
    return output;
}

}  // namespace ZEB
