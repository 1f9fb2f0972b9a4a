// CollectionUtils: string maps as bencoded dictionaries of byte strings, the form in which
// wizard pages pass property sets ("d", then length-prefixed key and value per entry, "e").
#pragma once

#include <map>
#include <string>

namespace CollectionUtils {

// Writes the map in key order; always true.
bool MapToBencodedDictionary(const std::map<std::string, std::string>& map, std::string& text);

// Reads a dictionary whose keys and values are all byte strings; the first of duplicate keys
// wins. False for any malformed text (an entry without a value included); the pairs read before
// the fault stay in the map.
bool BencodedDictionaryToMap(const std::string& text, std::map<std::string, std::string>& map);

}  // namespace CollectionUtils
