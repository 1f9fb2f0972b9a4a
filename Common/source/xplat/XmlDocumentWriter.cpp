#include "XmlDocumentWriter.h"

#include "platform/formats/UnicodeText.h"

#include <cstdint>
#include <map>
#include <vector>

namespace {

using platform::UnicodeText;

// The Char production of XML 1.0.
bool IsXmlChar(std::uint32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD)
        || (c >= 0x10000 && c <= 0x10FFFF);
}

// NameStartChar and NameChar of XML 1.0 (fifth edition), which the loading parser applies.
bool IsNameStartChar(std::uint32_t c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':'
        || (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF)
        || (c >= 0x370 && c <= 0x37D) || (c >= 0x37F && c <= 0x1FFF) || (c >= 0x200C && c <= 0x200D)
        || (c >= 0x2070 && c <= 0x218F) || (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF)
        || (c >= 0xF900 && c <= 0xFDCF) || (c >= 0xFDF0 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0xEFFFF);
}

bool IsNameChar(std::uint32_t c)
{
    return IsNameStartChar(c) || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == 0xB7
        || (c >= 0x300 && c <= 0x36F) || (c >= 0x203F && c <= 0x2040);
}

bool IsXmlName(const std::string& name)
{
    if (name.empty())
        return false;
    for (std::size_t i = 0; i < name.size();) {
        const UnicodeText::UTF8Sequence c = UnicodeText::DecodeUTF8(name.data() + i, name.size() - i);
        if (!c.valid || (i == 0 ? !IsNameStartChar(c.codePoint) : !IsNameChar(c.codePoint)))
            return false;
        i += c.length;
    }
    return true;
}

// Characters that XML 1.0 cannot carry at all (most control characters, U+FFFE, U+FFFF) and
// bytes that are not UTF-8 are left out: written as they are, or even as character references,
// they would make the whole file unreadable, losing every other value in it.
// Carriage returns become references because a parser turns a written one into a line feed;
// in attribute values tabs and line feeds too, because a parser turns those into blanks.
std::string Escape(const std::string& text, bool attribute)
{
    std::string escaped;
    escaped.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t start = i;
        const UnicodeText::UTF8Sequence c = UnicodeText::DecodeUTF8(text.data() + i, text.size() - i);
        i += c.length;
        if (!c.valid || !IsXmlChar(c.codePoint))
            continue;
        switch (c.codePoint) {
        case '&': escaped += "&amp;"; break;
        case '<': escaped += "&lt;"; break;
        case '>': escaped += "&gt;"; break;  // keeps "]]>" out of text
        case '\r': escaped += "&#13;"; break;
        case '"': escaped += attribute ? "&quot;" : "\""; break;
        case '\t': escaped += attribute ? "&#9;" : "\t"; break;
        case '\n': escaped += attribute ? "&#10;" : "\n"; break;
        default: escaped.append(text, start, i - start); break;
        }
    }
    return escaped;
}

bool WriteElement(const XmlNode& element, std::string& out)
{
    const std::string name = element.NodeName();
    if (!IsXmlName(name))
        return false;
    out += '<';
    out += name;
    std::map<std::string, std::string> attributes;
    element.GetAllAttributes(attributes);
    for (const std::pair<const std::string, std::string>& attribute : attributes) {
        if (!IsXmlName(attribute.first))
            return false;
        out += ' ';
        out += attribute.first;
        out += "=\"";
        out += Escape(attribute.second, true);
        out += '"';
    }
    const std::string value = element.GetNodeValue();
    const std::vector<XmlNode> children = element.ChildNodes();
    if (value.empty() && children.empty()) {
        out += "/>";
        return true;
    }
    out += '>';
    out += Escape(value, false);
    for (const XmlNode& child : children) {
        if (!WriteElement(child, out))
            return false;
    }
    out += "</";
    out += name;
    out += '>';
    return true;
}

}  // namespace

namespace XmlDocumentWriter {

bool WriteDocument(const XmlNode& root, std::string& bytes)
{
    std::string out = "<?xml version=\"1.0\" encoding=\"utf-8\"?>";
    if (!WriteElement(root, out))
        return false;
    bytes.swap(out);
    return true;
}

std::string EscapedText(const std::string& text, bool attribute)
{
    return Escape(text, attribute);
}

}  // namespace XmlDocumentWriter
