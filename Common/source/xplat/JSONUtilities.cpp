#include "JSONUtilities.h"

#include "platform/formats/UnicodeText.h"

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
        case '\0':
            // A reader of C strings would end the answer here.
            escaped += "\\u0000";
            break;
        default: {
            if (static_cast<unsigned char>(c) < 0x80) {
                escaped += c;
                break;
            }
            // Only whole, strict UTF-8 goes out as it is: a byte that is not part of one (an
            // overlong form of a quote or a backslash, say) could be read as that character by a
            // lenient reader, and becomes the replacement character instead.
            const platform::UnicodeText::UTF8Sequence sequence =
                platform::UnicodeText::DecodeUTF8(value.data() + i, value.size() - i);
            if (!sequence.valid)
                escaped += "\\ufffd";
            else if (sequence.codePoint == 0x2028 || sequence.codePoint == 0x2029)
                escaped += sequence.codePoint == 0x2028 ? "\\u2028" : "\\u2029";
            else
                escaped.append(value, i, sequence.length);
            if (sequence.valid)
                i += sequence.length - 1;
            break;
        }
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
