#include "XmlPropertyList.h"

XmlPropertyList::XmlPropertyList(const std::string& name, XmlBackedObject* parent, XmlDocument* document,
                                 const std::string& itemName)
    : XmlBackedObject(name, parent, document)
    , itemName_(itemName)
{
}
