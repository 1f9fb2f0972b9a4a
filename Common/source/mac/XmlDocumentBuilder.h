// XmlDocumentBuilder: builds an XmlDocument from the nodes the platform's XML parser reports.
// Elements become elements, text, CDATA and the predefined entities become element text, and
// everything else is dropped together with what it contains.
#pragma once

#include "Common/source/xplat/XmlDocument.h"
#include "Common/source/xplat/XmlNode.h"

#include "platform/formats/XmlParser.h"

#include <boost/optional.hpp>
#include <boost/shared_ptr.hpp>

#include <string>
#include <vector>

class XmlDocumentBuilder : public platform::XmlParserDelegate {
public:
    XmlDocumentBuilder();

    bool BeginNode(const platform::XmlParserNode& node) override;
    void EndNode() override;

    // The document, made at the first element; null until then.
    boost::shared_ptr<XmlDocument> Document() const { return document_; }

private:
    // What one parser node turns into: an element, or a piece of its parent's text.
    struct Structure {
        boost::optional<XmlNode> element;
        std::string value;
    };

    bool CreateStructure(const platform::XmlParserNode& node, Structure& structure);
    static void AddChild(Structure& parent, const Structure& child);

    boost::shared_ptr<XmlDocument> document_;
    std::vector<Structure> open_;  // the structures of the nodes being delivered, innermost last
};
