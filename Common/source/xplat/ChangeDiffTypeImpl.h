// ZEB::ChangeDiffTypeImpl: checked conversions between text and numbers by the lexical-stream
// rules: a number must take up the whole text (no blanks around it, nothing after it), and
// the target is written only when the conversion succeeds.
#pragma once

#include <cstdint>
#include <sstream>
#include <string>

namespace ZEB {

// From any streamable type to text, and from text to any type the stream can read. The
// installation database's status codes are ints and go through the int form.
template <class Source, class Target>
struct ChangeDiffTypeImpl {
    static bool ChangeType(const Source& source, Target& target)
    {
        std::stringstream stream;
        stream.unsetf(std::ios::skipws);
        stream << source;
        if (stream.fail())
            return false;
        Target value;
        stream >> value;
        if (stream.fail() || stream.peek() != std::char_traits<char>::eof())
            return false;
        target = value;
        return true;
    }
};

template <class Source>
struct ChangeDiffTypeImpl<Source, std::string> {
    static bool ChangeType(const Source& source, std::string& target)
    {
        std::ostringstream stream;
        stream << source;
        if (stream.fail())
            return false;
        target = stream.str();
        return true;
    }
};

// The platform these values come from had a 32-bit unsigned long: larger values do not convert.
template <>
struct ChangeDiffTypeImpl<std::string, unsigned long> {
    static bool ChangeType(const std::string& source, unsigned long& target)
    {
        std::uint32_t value = 0;
        if (!ChangeDiffTypeImpl<std::string, std::uint32_t>::ChangeType(source, value))
            return false;
        target = value;
        return true;
    }
};

}  // namespace ZEB
