#include "JSONUtilities.h"

namespace JSONUtilities {

std::string JSONBase::EscapeValue(const std::string& value)
{
    std::string escaped;
    escaped.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        switch (c) {
        case '\n':
            escaped += "\\n";
            break;
        case '\r':
            escaped += "\\r";
            break;
        case '"':
        case '\'':
        case '\\':
            escaped += '\\';
            escaped += c;
            break;
        default:
            // U+2028 and U+2029 are E2 80 A8 and E2 80 A9 in UTF-8.
            if (static_cast<unsigned char>(c) == 0xE2 && i + 2 < value.size() &&
                static_cast<unsigned char>(value[i + 1]) == 0x80 &&
                (static_cast<unsigned char>(value[i + 2]) == 0xA8 ||
                 static_cast<unsigned char>(value[i + 2]) == 0xA9)) {
                escaped += static_cast<unsigned char>(value[i + 2]) == 0xA8 ? "\\u2028" : "\\u2029";
                i += 2;
            } else {
                escaped += c;
            }
            break;
        }
    }
    return escaped;
}

void JSONBase::WriteName(std::ostream& out, const std::string& name)
{
    out << '"' << EscapeValue(name) << "\":";
}

JSONObject* JSONObject::AddObject(const std::string& name)
{
    return Append(new JSONObject(name));
}

JSONObjectArray* JSONObject::AddObjectArray(const std::string& name)
{
    return Append(new JSONObjectArray(name));
}

std::size_t JSONObject::AddPropertyMap(const std::map<std::string, std::string>& properties)
{
    for (const auto& entry : properties)
        AddProperty(entry.first, entry.second);
    return properties.size();
}

void JSONObject::Serialize(std::ostream& out) const
{
    if (!name_.empty())
        WriteName(out, name_);
    out << '{';
    for (std::size_t i = 0; i < members_.size(); ++i) {
        if (i > 0)
            out << ',';
        members_[i]->Serialize(out);
    }
    out << '}';
}

JSONObject* JSONObjectArray::AddObject()
{
    elements_.emplace_back(new JSONObject());
    return elements_.back().get();
}

void JSONObjectArray::Serialize(std::ostream& out) const
{
    if (!name_.empty())
        WriteName(out, name_);
    out << '[';
    for (std::size_t i = 0; i < elements_.size(); ++i) {
        if (i > 0)
            out << ',';
        elements_[i]->Serialize(out);
    }
    out << ']';
}

}  // namespace JSONUtilities
