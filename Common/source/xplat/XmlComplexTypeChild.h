// XmlComplexTypeChild: the base of XML model records that stand for a child element of a fixed
// name under their parent object.
#pragma once

#include "XmlBackedObject.h"

#include <string>

class XmlComplexTypeChild : public XmlBackedObject {
public:
    XmlComplexTypeChild(const std::string& name, XmlBackedObject* parent, XmlDocument* document);
};
