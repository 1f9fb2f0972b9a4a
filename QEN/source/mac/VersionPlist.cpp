#include "VersionPlist.h"

#include "platform/SystemLog.h"
#include "platform/files/Files.h"
#include "platform/formats/PropertyList.h"

#include <boost/format.hpp>

#include <cctype>
#include <climits>
#include <cstdint>

namespace {

const char* const kShortVersionKey = "CFBundleShortVersionString";
const char* const kSourceVersionKey = "SourceVersion";
const char* const kBuildVersionKey = "BuildVersion";
const std::size_t kNumberCount = 5;
const std::size_t kShortVersionParts = 3;

// A text's number read as the platform reads it: leading blanks skipped, an optional sign and
// the leading digits; 0 without digits, the nearest limit when it does not fit.
int TextIntValue(const std::string& text)
{
    std::string::size_type at = 0;
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at])))
        ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-'))
        negative = text[at++] == '-';
    std::int64_t value = 0;
    for (; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])); ++at) {
        value = value * 10 + (text[at] - '0');
        if (value > static_cast<std::int64_t>(INT_MAX) + 1)
            break;
    }
    if (negative)
        value = -value;
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

int Clamp(std::int64_t value)
{
    return value > INT_MAX ? INT_MAX : (value < INT_MIN ? INT_MIN : static_cast<int>(value));
}

// The number of a property list value: a text as above, a number as its integer part. Values
// that hold no number (arrays, dates, data...) count as 0.
int IntValue(const platform::ConstPropertyValuePtr& value)
{
    if (!value)
        return 0;
    switch (value->GetType()) {
    case platform::PropertyValue::kString:
        return TextIntValue(value->StringValue());
    case platform::PropertyValue::kInteger:
    case platform::PropertyValue::kBoolean:
        return Clamp(value->IntegerValue());
    case platform::PropertyValue::kReal: {
        const double real = value->RealValue();
        if (!(real == real))
            return 0;
        if (real >= static_cast<double>(INT_MAX))
            return INT_MAX;
        if (real <= static_cast<double>(INT_MIN))
            return INT_MIN;
        return static_cast<int>(real);
    }
    default:
        return 0;
    }
}

}  // namespace

bool VersionPlist::GetVersion(const std::string& path, std::vector<int>& numbers)
{
    std::string bytes;
    if (!platform::ReadWholeFile(path, bytes))
        return false;
    platform::PropertyValuePtr root;
    if (!platform::ParsePropertyList(bytes, root)) {
        platform::SystemLog((boost::format("Unable to read the property list \"%1%\": it is not a valid property list") %
                             path)
                                .str());
        return false;
    }
    if (!root || !root->IsDictionary())
        return false;

    numbers.resize(kNumberCount, 0);
    // A short version that is no text has no parts (the platform could not split it).
    std::string shortVersion;
    const bool hasShortVersion = root->GetString(kShortVersionKey, shortVersion);
    std::size_t part = 0;
    if (hasShortVersion) {
        std::string::size_type start = 0;
        for (; part < kShortVersionParts; ++part) {
            const std::string::size_type dot = shortVersion.find('.', start);
            numbers[part] = TextIntValue(shortVersion.substr(start, dot == std::string::npos ? dot : dot - start));
            if (dot == std::string::npos) {
                ++part;
                break;
            }
            start = dot + 1;
        }
    }
    for (; part < kShortVersionParts; ++part)
        numbers[part] = 0;
    numbers[3] = IntValue(root->Get(kSourceVersionKey));
    numbers[4] = IntValue(root->Get(kBuildVersionKey));
    return true;
}
