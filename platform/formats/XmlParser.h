// XmlParser: the event-driven XML parser that documents are loaded with. It reads one file and
// hands its nodes to a delegate in document order; it never reads anything but that file.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace platform {

// One node as the parser reports it.
struct XmlParserNode {
    enum Kind {
        kElement,                // name (with its prefix, "p:e"), attributes
        kText,                   // text: one run of character data between other markup, with
                                 // character references and the five predefined entities decoded
        kCDATASection,           // text
        kEntityReference,        // name: a reference to a declared entity other than the predefined ones
        kEntityDeclaration,      // name; text: the replacement text of an internal entity, else empty
        kProcessingInstruction,  // name: the target; text: the data
        kComment,                // text
        kDocumentType,           // name
        kOther                   // declarations of elements, attributes and notations
    };

    Kind kind = kOther;
    std::string name;
    std::string text;
    // Every attribute as written, namespace declarations ("xmlns", "xmlns:p") included, names with
    // their prefixes. References to entities other than the predefined ones are left out of the
    // values: they are never expanded.
    std::vector<std::pair<std::string, std::string>> attributes;
};

// Receives the nodes of one parse.
class XmlParserDelegate {
public:
    virtual ~XmlParserDelegate() {}

    // Called for each node in document order, nodes outside the root element included. Answering
    // false skips everything inside the node, and no EndNode follows for it.
    virtual bool BeginNode(const XmlParserNode& node) = 0;

    // Called after everything inside a node whose BeginNode answered true.
    virtual void EndNode() = 0;
};

enum XmlParseOption {
    kXmlParseSkipWhitespace = 1  // text that is only blanks, tabs and line breaks gives no node
};

// Parses the XML file at the path (UTF-8, UTF-16 or any encoding its declaration names that the
// parser knows) and, when the whole file is well-formed, delivers its nodes to the delegate.
// False, with no node delivered, when the path is empty, the file cannot be read or is not
// well-formed XML. No DTD or external entity is loaded and no entity is expanded, so a document
// cannot make the parse read other files, reach the network or grow without bound.
bool ParseXmlFile(const std::string& path, unsigned options, XmlParserDelegate& delegate);

}  // namespace platform
