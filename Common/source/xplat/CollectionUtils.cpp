#include "CollectionUtils.h"

namespace CollectionUtils {

namespace {

// Reads "<digits>:<bytes>" at position, the bytes ending at or before end. Lengths are checked
// against the text left before they grow, so no length can overflow.
bool ReadByteString(const std::string& text, std::string::size_type& position, std::string::size_type end,
                    std::string& bytes)
{
    std::string::size_type i = position;
    std::string::size_type length = 0;
    while (i < end && text[i] >= '0' && text[i] <= '9') {
        length = length * 10 + static_cast<std::string::size_type>(text[i] - '0');
        if (length > end)
            return false;
        ++i;
    }
    if (i >= end || text[i] != ':')
        return false;
    ++i;
    if (length > end - i)
        return false;
    bytes.assign(text, i, length);
    position = i + length;
    return true;
}

}  // namespace

bool MapToBencodedDictionary(const std::map<std::string, std::string>& map, std::string& text)
{
    std::string out = "d";
    for (std::map<std::string, std::string>::const_iterator it = map.begin(); it != map.end(); ++it) {
        out += std::to_string(it->first.size());
        out += ':';
        out += it->first;
        out += std::to_string(it->second.size());
        out += ':';
        out += it->second;
    }
    out += 'e';
    text.swap(out);
    return true;
}

bool BencodedDictionaryToMap(const std::string& text, std::map<std::string, std::string>& map)
{
    map.clear();
    if (text.empty() || text[0] != 'd' || text[text.size() - 1] != 'e')
        return false;
    const std::string::size_type last = text.size() - 1;
    std::string::size_type i = 1;
    while (i < last) {
        std::string key;
        std::string value;
        if (!ReadByteString(text, i, last, key))
            return false;
        // A key that runs up to the final "e" has no value: the dictionary is cut short.
        if (!ReadByteString(text, i, last, value))
            return false;
        map.insert(std::make_pair(key, value));
    }
    return true;
}

}  // namespace CollectionUtils
