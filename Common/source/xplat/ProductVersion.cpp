#include "ProductVersion.h"

#include <climits>
#include <cstdlib>

namespace {

// atoi's reading (leading blanks, a sign, then digits), without its undefined overflow: a
// number too large for 32 bits reads as the nearest value that fits.
std::int32_t LeadingNumber(const std::string& text)
{
    const long value = std::strtol(text.c_str(), nullptr, 10);
    if (value > INT32_MAX)
        return INT32_MAX;
    if (value < INT32_MIN)
        return INT32_MIN;
    return static_cast<std::int32_t>(value);
}

}  // namespace

ProductVersion::ProductVersion()
{
    Clear();
}

ProductVersion::ProductVersion(std::int32_t first, std::int32_t second, std::int32_t third, std::int32_t fourth)
{
    parts_[0] = first;
    parts_[1] = second;
    parts_[2] = third;
    parts_[3] = fourth;
}

void ProductVersion::Clear()
{
    for (int i = 0; i < 4; ++i)
        parts_[i] = 0;
}

bool ProductVersion::InitializeFromVersionString(const std::string& text, ProductVersion& version)
{
    version.Clear();
    if (text.empty())
        return false;
    // The next delimiter is looked for one character after the component's start, so a
    // delimiter right after another belongs to the next component (1..2 reads as 1, 0).
    std::string::size_type start = 0;
    std::string::size_type delimiter = text.find_first_of(".,");
    int index = 0;
    for (;;) {
        const std::string component =
            text.substr(start, delimiter == std::string::npos ? std::string::npos : delimiter - start);
        if (index < 4)
            version.parts_[index++] = LeadingNumber(component);
        if (delimiter == std::string::npos)
            break;
        start = delimiter + 1;
        delimiter = text.find_first_of(".,", delimiter + 2);
    }
    return true;
}

int ProductVersion::compare(const ProductVersion& other) const
{
    for (int i = 0; i < 4; ++i) {
        if (parts_[i] < other.parts_[i])
            return -1;
        if (parts_[i] > other.parts_[i])
            return 1;
    }
    return 0;
}
