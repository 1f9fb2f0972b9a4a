// XmlObjectDataStore: owns one XML document and the object over its root element, from which the
// views of an XML model file are made. The base of the proxy-file, setup-description and
// deployment-file stores.
#pragma once

#include "XmlBackedObject.h"
#include "XmlDocument.h"

#include <boost/shared_ptr.hpp>

#include <string>

class XmlObjectDataStore {
public:
    // No document yet; the root element name is used by CreateDocument.
    explicit XmlObjectDataStore(const std::string& rootElementName);
    virtual ~XmlObjectDataStore();

    // Drops what the store holds and loads the file; false, holding nothing, when it cannot be
    // loaded. The root element's name is not compared with the store's.
    bool Load(const std::string& path);
    // Drops what the store holds and starts a new document with the root element name; true.
    // Throws XmlException for an empty root element name.
    bool CreateDocument();
    // False when no document is held; otherwise XmlDocument::Save.
    bool Save(const std::string& path, bool overwrite) const;
    // Drops the document and the root object; views made earlier then read empty values.
    void Release();

    // The object over the root element, null when nothing is held.
    XmlBackedObject* GetRootBackingObject() const { return rootObject_.get(); }
    // The document the views are made in, null when nothing is held.
    XmlDocument* GetDocument() const { return document_.get(); }

private:
    void TakeDocument(const boost::shared_ptr<XmlDocument>& document);

    std::string rootElementName_;
    boost::shared_ptr<XmlDocument> document_;
    boost::shared_ptr<XmlBackedObject> rootObject_;
};
