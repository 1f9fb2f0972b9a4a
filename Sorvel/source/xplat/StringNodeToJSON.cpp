#include "StringNodeToJSON.h"

#include "Common/source/xplat/JSONUtilities.h"
#include "Common/source/xplat/XmlNode.h"

#include <vector>

StringNodeToJSON::StringNodeToJSON(JSONUtilities::JSONObject& target, const std::string& language,
                                   unsigned long& counter)
    : target_(target), language_(language), counter_(counter)
{
}

StringNodeToJSON::StringNodeToJSON(const StringNodeToJSON& other)
    : target_(other.target_), language_(other.language_), counter_(other.counter_)
{
}

void StringNodeToJSON::operator()(const XmlNode& node) const
{
    if (node.NodeName() != "String")
        return;
    const std::string stringID = node.GetAttribute("stringID");
    if (stringID.empty())
        return;
    JSONUtilities::JSONObject* entry = target_.AddObject(stringID);
    const std::vector<XmlNode> texts = node.ChildNodes();
    for (const XmlNode& text : texts) {
        if (language_.empty()) {
            entry->AddProperty(text.NodeName(), text.GetNodeValue());
        } else if (text.NodeName() == language_) {
            entry->AddProperty(text.NodeName(), text.GetNodeValue());
            break;
        }
    }
    // Counted even when no text matched the language, so that the entry still shows.
    ++counter_;
}
