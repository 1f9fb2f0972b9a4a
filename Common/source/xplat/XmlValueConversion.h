// XmlValueConversion: the typed reads of the XML-backed object model, from element and attribute
// text, by the conversion rules of boost::lexical_cast (the whole text must convert: no blanks,
// no trailing characters, no empty text).
#pragma once

#include <string>

namespace XmlValueConversion {

// Text always converts.
bool ChangeType(const std::string& text, std::string& value);
// A signed 32-bit integer; on failure the value is left as it was.
bool ChangeType(const std::string& text, int& value);
// "0" is false and "1" is true; any other text fails and leaves the value as it was.
bool ChangeType(const std::string& text, bool& value);

}  // namespace XmlValueConversion
