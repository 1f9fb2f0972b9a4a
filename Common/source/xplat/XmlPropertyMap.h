// XmlPropertyMap: a keyed map of texts kept as item elements of an XML-backed object, each item
// carrying its key in an attribute and its value as text.
#pragma once

#include "XmlBackedObject.h"

#include <map>
#include <string>

class XmlPropertyMap : public XmlBackedObject {
public:
    // Items inside the container element called containerName under the parent object's element.
    XmlPropertyMap(const std::string& containerName, XmlBackedObject* parent, XmlDocument* document,
                   const std::string& itemName, const std::string& keyAttribute);
    // Items directly inside the parent object's own element: the view is a copy of the parent
    // object, so the document argument is not used.
    XmlPropertyMap(XmlBackedObject* parent, XmlDocument* document, const std::string& itemName,
                   const std::string& keyAttribute);

    // Clears the map, then inserts key and text (converted for the bool form by ZEB::ChangeDiffTypeImpl) of every
    // child called itemName whose key attribute is not empty; the first of equal keys wins. The
    // string form is always true; the bool form stops with false at the first text that does not
    // convert, keeping the entries read before it.
    template <typename T>
    bool Get(std::map<std::string, T>& values) const;

    // Removes every child of the container, whatever its name, then appends one item per entry in
    // key order, and adds the container to the document if needed. Answers the number of items.
    std::size_t Set(const std::map<std::string, std::string>& values);

private:
    std::string itemName_;
    std::string keyAttribute_;
};
