// XmlDocumentWriter: the text of an XML file for an element tree, as documents are saved: UTF-8,
// the version 1.0 declaration, no white space added, attributes in ascending name order.
#pragma once

#include "XmlNode.h"

#include <string>

namespace XmlDocumentWriter {

// The whole file for the tree under the root element. False, with the bytes untouched, when an
// element or attribute name is not an XML name: the file could not be read back.
bool WriteDocument(const XmlNode& root, std::string& bytes);

// The text as XML (and HTML) character data, or with attribute as an attribute value: "&", "<"
// and ">" (and in an attribute value the quotation mark, tab and line breaks) as references, and
// what XML cannot carry (most control characters, bytes that are not UTF-8) left out.
std::string EscapedText(const std::string& text, bool attribute = false);

}  // namespace XmlDocumentWriter
