// XmlNode: a handle to one element of an XML tree, with its name, text, attributes and child
// elements. Copying a handle gives a second handle to the same element.
#pragma once

#include <boost/shared_ptr.hpp>
#include <boost/weak_ptr.hpp>

#include <map>
#include <string>
#include <vector>

class XmlDocument;

class XmlNode {
public:
    struct XmlNodeImpl;

    // A handle to a new, empty, unnamed element of the document, without parent.
    explicit XmlNode(XmlDocument* document);
    // A new detached element with the name (not validated); the document may be null.
    XmlNode(XmlDocument* document, const std::string& name);
    virtual ~XmlNode();

    XmlNode(const XmlNode&) = default;
    XmlNode& operator=(const XmlNode&) = default;

    // The document this handle is bound to (not owned).
    XmlDocument* GetDocument() const { return document_; }

    std::string NodeName() const;

    // The element's text; empty when it has none.
    std::string GetNodeValue() const;
    void SetNodeValue(const std::string& value);

    // A missing attribute and an empty one read alike, as "".
    std::string GetAttribute(const std::string& name) const;
    // An empty name does nothing.
    void SetAttribute(const std::string& name, const std::string& value);
    std::size_t RemoveAttribute(const std::string& name);
    // Replaces the map's contents with the attributes, ordered by name.
    void GetAllAttributes(std::map<std::string, std::string>& attributes) const;

    // Handles to the child elements in order, bound to this handle's document.
    std::vector<XmlNode> ChildNodes() const;

    // Appends a detached element at the end of the children and answers its handle. Throws
    // XmlException when the child already has a parent, or when it is this element or one of its
    // ancestors (the tree would become a cycle).
    XmlNode AppendChild(const XmlNode& child);
    // Detaches a child and answers its handle. Throws XmlException when the node has no parent
    // or another parent.
    XmlNode RemoveChild(const XmlNode& child);
    // Throws XmlException for a node without parent.
    XmlNode ParentNode() const;

    // Whether both handles name the same element.
    bool IsSameNode(const XmlNode& other) const { return impl_ == other.impl_; }

private:
    friend class XmlDocument;
    XmlNode(XmlDocument* document, const boost::shared_ptr<XmlNodeImpl>& impl);

    XmlDocument* document_;
    boost::shared_ptr<XmlNodeImpl> impl_;
};

// One element. A parent owns its children; the link back to the parent is weak so that a
// detached subtree frees itself when its last handle goes.
struct XmlNode::XmlNodeImpl {
    std::string name;
    std::vector<char> value;  // UTF-8, not NUL-terminated
    std::map<std::string, std::string> attributes;
    std::vector<boost::shared_ptr<XmlNodeImpl>> children;
    boost::weak_ptr<XmlNodeImpl> parent;

    // Empties this element and everything below it, so that handles kept past the document's
    // end see empty, childless elements.
    void ClearTree();
};
