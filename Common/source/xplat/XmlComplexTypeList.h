// XmlComplexTypeList: the item elements of one list element of an XML-backed object, each
// wrapped in a record of the model (a class constructible from the item's XmlNode).
#pragma once

#include "XmlBackedObject.h"

#include <string>
#include <vector>

template <typename Record>
class XmlComplexTypeList : public XmlBackedObject {
public:
    // The list element called name under the parent object's element; its items are its child
    // elements called itemName.
    XmlComplexTypeList(const std::string& name, XmlBackedObject* parent, XmlDocument* document,
                       const std::string& itemName)
        : XmlBackedObject(name, parent, document)
        , itemName_(itemName)
    {
    }

    // Writes a record for every item, in child order, to the output iterator (a back-inserter of
    // a vector of records); nothing when the list element is missing. Always true.
    template <typename OutputIterator>
    bool Get(OutputIterator out) const
    {
        const std::vector<XmlNode> children = Node().ChildNodes();
        for (const XmlNode& child : children) {
            if (child.NodeName() == itemName_)
                *out++ = Record(child);
        }
        return true;
    }

    // Appends a new, empty item to the list element, adding the list element to the document if
    // it is missing, and answers the record over the item.
    Record CreateItem()
    {
        XmlNode list = NodeForWrite();
        XmlNode item = NewElement(list.GetDocument(), itemName_);
        list.AppendChild(item);
        FinishWrite();
        return Record(item);
    }

private:
    std::string itemName_;
};
