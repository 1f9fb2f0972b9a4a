#include "XmlPropertyMap.h"

#include "ChangeDiffTypeImpl.h"

#include <vector>

namespace {

XmlBackedObject CopyOfParent(XmlBackedObject* parent, XmlDocument* document)
{
    return parent != nullptr ? *parent : XmlBackedObject(std::string(), nullptr, document);
}

}  // namespace

XmlPropertyMap::XmlPropertyMap(const std::string& containerName, XmlBackedObject* parent, XmlDocument* document,
                               const std::string& itemName, const std::string& keyAttribute)
    : XmlBackedObject(containerName, parent, document)
    , itemName_(itemName)
    , keyAttribute_(keyAttribute)
{
}

XmlPropertyMap::XmlPropertyMap(XmlBackedObject* parent, XmlDocument* document, const std::string& itemName,
                               const std::string& keyAttribute)
    : XmlBackedObject(CopyOfParent(parent, document))
    , itemName_(itemName)
    , keyAttribute_(keyAttribute)
{
}

template <typename T>
bool XmlPropertyMap::Get(std::map<std::string, T>& values) const
{
    values.clear();
    const std::vector<XmlNode> children = Node().ChildNodes();
    for (const XmlNode& child : children) {
        const std::string key = child.GetAttribute(keyAttribute_);
        if (key.empty() || child.NodeName() != itemName_)
            continue;
        T value = T();
        if (!ZEB::ChangeDiffTypeImpl<std::string, T>::ChangeType(child.GetNodeValue(), value))
            return false;
        values.insert(std::make_pair(key, value));
    }
    return true;
}

template bool XmlPropertyMap::Get<std::string>(std::map<std::string, std::string>&) const;
template bool XmlPropertyMap::Get<bool>(std::map<std::string, bool>&) const;

std::size_t XmlPropertyMap::Set(const std::map<std::string, std::string>& values)
{
    XmlNode container = NodeForWrite();
    const std::vector<XmlNode> children = container.ChildNodes();
    for (const XmlNode& child : children)
        container.RemoveChild(child);
    std::size_t count = 0;
    for (const std::pair<const std::string, std::string>& entry : values) {
        XmlNode item = NewElement(container.GetDocument(), itemName_);
        item.SetNodeValue(entry.second);
        item.SetAttribute(keyAttribute_, entry.first);
        container.AppendChild(item);
        ++count;
    }
    FinishWrite();
    return count;
}
