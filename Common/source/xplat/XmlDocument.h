// XmlDocument: an XML document that owns a tree of elements (XmlNode) and loads it from, or
// saves it to, a file. Only elements, their attributes and their text survive a load.
#pragma once

#include "XmlNode.h"

#include <boost/noncopyable.hpp>
#include <boost/shared_ptr.hpp>

#include <string>

class XmlDocument : private boost::noncopyable {
public:
    struct XmlDocumentImpl;

    virtual ~XmlDocument();

    // Parses the file at the path into a new document. False, with the out-parameter as it was,
    // when the file cannot be read or is not well-formed XML.
    static bool Load(const std::string& path, boost::shared_ptr<XmlDocument>& document);

    // A new document whose root element has the name and nothing else; always true. Throws
    // XmlException "Invalid root element name" for an empty name.
    static bool CreateDocument(const std::string& rootName, boost::shared_ptr<XmlDocument>& document);

    // A new detached element of this document; the name is not validated.
    XmlNode CreateNode(const std::string& name);

    XmlNode DocumentElement();

    // Writes the document as UTF-8 with the version 1.0 declaration, no indentation, attributes in
    // ascending name order. Without the overwrite flag an existing file (or a path that is not
    // absolute) is refused. The file is replaced whole or not at all. False on any failure,
    // including element or attribute names that XML cannot carry.
    bool Save(const std::string& path, bool overwrite);

private:
    XmlDocument();

    boost::shared_ptr<XmlDocumentImpl> impl_;
};
