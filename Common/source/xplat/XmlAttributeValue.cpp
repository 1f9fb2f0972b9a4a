#include "XmlAttributeValue.h"

#include "XmlBackedObject.h"
#include "ChangeDiffTypeImpl.h"

XmlAttributeValue::XmlAttributeValue(const std::string& name, XmlBackedObject* owner)
    : name_(name)
    , owner_(owner)
{
}

template <typename T>
bool XmlAttributeValue::Get(T& value) const
{
    const std::string text = owner_ != nullptr ? owner_->Node().GetAttribute(name_) : std::string();
    return ZEB::ChangeDiffTypeImpl<std::string, T>::ChangeType(text, value);
}

template bool XmlAttributeValue::Get<std::string>(std::string&) const;
template bool XmlAttributeValue::Get<bool>(bool&) const;
template bool XmlAttributeValue::Get<int>(int&) const;

bool XmlAttributeValue::Set(const std::string& value)
{
    if (owner_ == nullptr)
        return false;
    owner_->NodeForWrite().SetAttribute(name_, value);
    return owner_->FinishWrite();
}
