// XmlProperty: the text of one child element of an XML-backed object, read and written as a
// typed value.
#pragma once

#include "XmlBackedObject.h"

#include <string>

class XmlProperty : public XmlBackedObject {
public:
    // The child element called name under the parent object's element.
    XmlProperty(const std::string& name, XmlBackedObject* parent, XmlDocument* document);

    // The element's text, "" when the element is missing, converted to the type (std::string,
    // int) by ZEB::ChangeDiffTypeImpl. The text always converts; a failed conversion answers
    // false and leaves the value as it was.
    template <typename T>
    bool Get(T& value) const;

    // Replaces the element's text and adds the element, with every missing one above it, to the
    // document; false when that fails.
    bool Set(const std::string& value);
};
