#include "XmlComplexTypeChild.h"

XmlComplexTypeChild::XmlComplexTypeChild(const std::string& name, XmlBackedObject* parent, XmlDocument* document)
    : XmlBackedObject(name, parent, document)
{
}
