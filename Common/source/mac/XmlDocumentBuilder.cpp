#include "XmlDocumentBuilder.h"

#include "Common/source/xplat/XmlException.h"

namespace {

// The replacement text of the five entities every XML parser knows; false for any other name.
bool PredefinedEntityText(const std::string& name, std::string& text)
{
    if (name == "lt")
        text = "<";
    else if (name == "gt")
        text = ">";
    else if (name == "quot")
        text = "\"";
    else if (name == "amp")
        text = "&";
    else if (name == "apos")
        text = "'";
    else
        return false;
    return true;
}

}  // namespace

XmlDocumentBuilder::XmlDocumentBuilder()
{
}

bool XmlDocumentBuilder::BeginNode(const platform::XmlParserNode& node)
{
    // A failed make drops the node with its contents and a failed attach drops the structure;
    // either way the rest of the file still loads.
    Structure structure;
    bool made = false;
    try {
        made = CreateStructure(node, structure);
    } catch (const XmlException&) {
        made = false;
    }
    if (!made)
        return false;
    if (!open_.empty()) {
        try {
            AddChild(open_.back(), structure);
        } catch (const XmlException&) {
        }
    }
    open_.push_back(structure);
    return true;
}

void XmlDocumentBuilder::EndNode()
{
    if (!open_.empty())
        open_.pop_back();
}

bool XmlDocumentBuilder::CreateStructure(const platform::XmlParserNode& node, Structure& structure)
{
    switch (node.kind) {
    case platform::XmlParserNode::kElement: {
        // Attribute values arrive as UTF-8 already, so none fails to convert.
        if (!document_) {
            boost::shared_ptr<XmlDocument> document;
            XmlDocument::CreateDocument(node.name, document);
            document_ = document;
            structure.element = document_->DocumentElement();
        } else {
            structure.element = document_->CreateNode(node.name);
        }
        for (const std::pair<std::string, std::string>& attribute : node.attributes)
            structure.element->SetAttribute(attribute.first, attribute.second);
        return true;
    }
    case platform::XmlParserNode::kText:
    case platform::XmlParserNode::kCDATASection:
    case platform::XmlParserNode::kEntityDeclaration:
        structure.value = node.text;
        return true;
    case platform::XmlParserNode::kEntityReference:
        return PredefinedEntityText(node.name, structure.value);
    default:
        return false;
    }
}

void XmlDocumentBuilder::AddChild(Structure& parent, const Structure& child)
{
    if (!parent.element)
        return;
    if (child.element)
        parent.element->AppendChild(*child.element);
    else
        parent.element->SetNodeValue(parent.element->GetNodeValue() + child.value);
}
