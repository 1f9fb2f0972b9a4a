#include "XmlProperty.h"

#include "ChangeDiffTypeImpl.h"

XmlProperty::XmlProperty(const std::string& name, XmlBackedObject* parent, XmlDocument* document)
    : XmlBackedObject(name, parent, document)
{
}

template <typename T>
bool XmlProperty::Get(T& value) const
{
    return ZEB::ChangeDiffTypeImpl<std::string, T>::ChangeType(Node().GetNodeValue(), value);
}

template bool XmlProperty::Get<std::string>(std::string&) const;
template bool XmlProperty::Get<int>(int&) const;

bool XmlProperty::Set(const std::string& value)
{
    NodeForWrite().SetNodeValue(value);
    return FinishWrite();
}
