// StringNodeToJSON: turns one entry of a string table (a String element with a stringID and one
// child element per language) into a member of the answer of GetStringsForLanguage.
#pragma once

#include <string>

class XmlNode;

namespace JSONUtilities {
class JSONObject;
}

class StringNodeToJSON {
public:
    // An empty language takes every language. Copies share the target and the counter.
    StringNodeToJSON(JSONUtilities::JSONObject& target, const std::string& language, unsigned long& counter);
    StringNodeToJSON(const StringNodeToJSON& other);

    // Adds the entry as an object named by its stringID (language code -> text) and counts it;
    // anything but a String element with a non-empty stringID is skipped.
    void operator()(const XmlNode& node) const;

private:
    StringNodeToJSON& operator=(const StringNodeToJSON&) = delete;

    JSONUtilities::JSONObject& target_;
    std::string language_;
    unsigned long& counter_;
};
