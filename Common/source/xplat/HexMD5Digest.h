// ZEB::HexMD5Digest: the MD5 digest of a text as 31 lower-case hexadecimal digits. Session keys
// and the ids of the install thread's questions are stored and echoed in this form, so the last
// digit stays dropped.
#pragma once

#include <iterator>
#include <string>
#include <type_traits>

namespace ZEB {

namespace detail {

std::string HexMD5DigestOfText(const std::string& text);

}  // namespace detail

// Over a range of characters, or over a range of strings taken one after another without
// separators. Empty input gives the empty string.
template <class InputIterator>
std::string HexMD5Digest(InputIterator first, InputIterator last)
{
    typedef typename std::decay<typename std::iterator_traits<InputIterator>::value_type>::type Element;
    std::string text;
    for (; first != last; ++first) {
        if constexpr (std::is_same<Element, std::string>::value)
            text += *first;
        else
            text.push_back(static_cast<char>(*first));
    }
    return detail::HexMD5DigestOfText(text);
}

}  // namespace ZEB
