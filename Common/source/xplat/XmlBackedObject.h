// XmlBackedObject: names one element of an XML document by its element name and its parent
// object, and finds it lazily. Reading never changes the document; the first write adds the
// missing chain of elements. The base of the typed views and of the XML model records.
#pragma once

#include "XmlDocument.h"
#include "XmlNode.h"

#include <boost/shared_ptr.hpp>

#include <string>

class XmlBackedObject {
public:
    // The child element called name under the parent object's element. Parent and document are
    // not owned: the object must not outlive either.
    XmlBackedObject(const std::string& name, XmlBackedObject* parent, XmlDocument* document);
    // An existing element: no name, no parent, attached.
    explicit XmlBackedObject(const XmlNode& node);
    virtual ~XmlBackedObject();

    // Copies share the cached element.
    XmlBackedObject(const XmlBackedObject&) = default;
    XmlBackedObject& operator=(const XmlBackedObject&) = default;

    // The cached element's name when there is one, else the stored name.
    std::string NodeName() const;
    XmlDocument* GetDocument() const { return document_; }

    // The element: the cached one; else the first child of the parent's element with the name;
    // else a new detached element, which is cached. A detached element is in no tree, so reads
    // through it find nothing and change nothing.
    XmlNode Node() const;

    // Adds the cached element, and every detached one above it, to the tree top-down. False when
    // there is nothing to do (attached already, or no parent).
    bool AttachNodePath();

protected:
    // The element to change in a write. A detached object first looks for its element again:
    // another view may have added it since this one resolved, and the write must land there
    // rather than add a second element of the same name.
    XmlNode NodeForWrite();
    // Ends a write: attaches the path when the object is detached; the result of the write.
    bool FinishWrite();
    // A new detached element in the document (which may be null).
    static XmlNode NewElement(XmlDocument* document, const std::string& name);

private:
    friend class XmlAttributeValue;

    void FindAgain();
    bool FindInParent(XmlNode& found) const;

    std::string name_;
    XmlBackedObject* parent_;
    XmlDocument* document_;
    // The lookup cache: resolving is logically a read.
    mutable bool attached_;
    mutable boost::shared_ptr<XmlNode> node_;
};
