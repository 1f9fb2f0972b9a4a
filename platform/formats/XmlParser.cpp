#include "platform/formats/XmlParser.h"

#include "platform/files/Files.h"

#include <libxml/entities.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <climits>
#include <mutex>

namespace platform {

namespace {

std::string Text(const xmlChar* text)
{
    return text != nullptr ? std::string(reinterpret_cast<const char*>(text)) : std::string();
}

bool IsXmlBlank(const std::string& text)
{
    return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

// The parser is not namespace-aware toward its delegate: names keep their prefixes, as written.
std::string QualifiedName(const xmlNs* ns, const xmlChar* name)
{
    if (ns != nullptr && ns->prefix != nullptr)
        return Text(ns->prefix) + ":" + Text(name);
    return Text(name);
}

// An attribute's value from its children: text pieces (character references and predefined
// entities already decoded by libxml2) joined; references to declared entities are dropped, as
// they are in element content.
std::string AttributeValue(const xmlAttr* attribute)
{
    std::string value;
    for (const xmlNode* child = attribute->children; child != nullptr; child = child->next) {
        if (child->type == XML_TEXT_NODE)
            value += Text(child->content);
    }
    return value;
}

void FillElement(const xmlNode* element, XmlParserNode& node)
{
    node.kind = XmlParserNode::kElement;
    node.name = QualifiedName(element->ns, element->name);
    for (const xmlNs* ns = element->nsDef; ns != nullptr; ns = ns->next) {
        const std::string name = ns->prefix != nullptr ? "xmlns:" + Text(ns->prefix) : "xmlns";
        node.attributes.emplace_back(name, Text(ns->href));
    }
    for (const xmlAttr* attribute = element->properties; attribute != nullptr; attribute = attribute->next)
        node.attributes.emplace_back(QualifiedName(attribute->ns, attribute->name), AttributeValue(attribute));
}

void DeliverSiblings(const xmlNode* first, unsigned options, XmlParserDelegate& delegate);

void DeliverNode(const xmlNode* current, unsigned options, XmlParserDelegate& delegate)
{
    XmlParserNode node;
    bool hasChildren = false;
    switch (current->type) {
    case XML_ELEMENT_NODE:
        FillElement(current, node);
        hasChildren = true;
        break;
    case XML_TEXT_NODE:
        node.kind = XmlParserNode::kText;
        node.text = Text(current->content);
        if ((options & kXmlParseSkipWhitespace) != 0 && IsXmlBlank(node.text))
            return;
        break;
    case XML_CDATA_SECTION_NODE:
        node.kind = XmlParserNode::kCDATASection;
        node.text = Text(current->content);
        break;
    case XML_ENTITY_REF_NODE:
        // Its children are the entity's own shared subtree; walking them would be the expansion
        // that is never done here.
        node.kind = XmlParserNode::kEntityReference;
        node.name = Text(current->name);
        break;
    case XML_ENTITY_DECL: {
        const xmlEntity* entity = reinterpret_cast<const xmlEntity*>(current);
        node.kind = XmlParserNode::kEntityDeclaration;
        node.name = Text(entity->name);
        if (entity->etype == XML_INTERNAL_GENERAL_ENTITY || entity->etype == XML_INTERNAL_PARAMETER_ENTITY)
            node.text = Text(entity->content);
        break;
    }
    case XML_PI_NODE:
        node.kind = XmlParserNode::kProcessingInstruction;
        node.name = Text(current->name);
        node.text = Text(current->content);
        break;
    case XML_COMMENT_NODE:
        node.kind = XmlParserNode::kComment;
        node.text = Text(current->content);
        break;
    case XML_DTD_NODE:
        node.kind = XmlParserNode::kDocumentType;
        node.name = Text(current->name);
        hasChildren = true;
        break;
    default:
        node.kind = XmlParserNode::kOther;
        break;
    }
    if (!delegate.BeginNode(node))
        return;
    if (hasChildren)
        DeliverSiblings(current->children, options, delegate);
    delegate.EndNode();
}

// Recursion depth is bounded by libxml2's own nesting limit (256 without XML_PARSE_HUGE).
void DeliverSiblings(const xmlNode* first, unsigned options, XmlParserDelegate& delegate)
{
    for (const xmlNode* current = first; current != nullptr; current = current->next)
        DeliverNode(current, options, delegate);
}

// Entity lookups that can never load an external entity, whatever the parser's settings.
xmlEntityPtr GetEntityWithoutLoading(void* context, const xmlChar* name)
{
    const xmlParserCtxt* parser = static_cast<const xmlParserCtxt*>(context);
    if (parser->inSubset == 0) {
        xmlEntityPtr predefined = xmlGetPredefinedEntity(name);
        if (predefined != nullptr)
            return predefined;
    }
    return parser->myDoc != nullptr ? xmlGetDocEntity(parser->myDoc, name) : nullptr;
}

xmlParserInputPtr RefuseExternalEntity(void*, const xmlChar*, const xmlChar*)
{
    return nullptr;
}

void IgnoreExternalSubset(void*, const xmlChar*, const xmlChar*, const xmlChar*)
{
}

struct ParserHolder {
    xmlParserCtxtPtr context = nullptr;
    xmlDocPtr document = nullptr;
    ~ParserHolder()
    {
        if (document != nullptr)
            xmlFreeDoc(document);
        if (context != nullptr)
            xmlFreeParserCtxt(context);
    }
};

std::once_flag parserInitialized;

}  // namespace

bool ParseXmlFile(const std::string& path, unsigned options, XmlParserDelegate& delegate)
{
    if (path.empty())
        return false;
    std::string bytes;
    if (!ReadWholeFile(path, bytes) || bytes.size() > static_cast<std::size_t>(INT_MAX))
        return false;

    std::call_once(parserInitialized, [] { xmlInitParser(); });
    ParserHolder parser;
    parser.context = xmlNewParserCtxt();
    if (parser.context == nullptr)
        return false;
    // Never XML_PARSE_NOENT, XML_PARSE_DTDLOAD, XML_PARSE_DTDATTR or XML_PARSE_DTDVALID: each
    // would let the document expand entities or pull in files. The handlers below close the
    // remaining doors in case a later libxml2 loads by default.
    parser.context->sax->getEntity = GetEntityWithoutLoading;
    parser.context->sax->resolveEntity = RefuseExternalEntity;
    parser.context->sax->externalSubset = IgnoreExternalSubset;
    const int parseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
    parser.document = xmlCtxtReadMemory(parser.context, bytes.data(), static_cast<int>(bytes.size()),
                                        nullptr, nullptr, parseOptions);
    if (parser.document == nullptr || parser.context->wellFormed == 0)
        return false;

    DeliverSiblings(parser.document->children, options, delegate);
    return true;
}

}  // namespace platform
