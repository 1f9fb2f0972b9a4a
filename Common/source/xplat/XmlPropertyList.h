// XmlPropertyList: the texts of the item elements of one list element of an XML-backed object.
#pragma once

#include "XmlBackedObject.h"

#include <string>
#include <vector>

class XmlPropertyList : public XmlBackedObject {
public:
    // The list element called name under the parent object's element; its items are its child
    // elements called itemName.
    XmlPropertyList(const std::string& name, XmlBackedObject* parent, XmlDocument* document,
                    const std::string& itemName);

    // Writes the text of every item, in child order, to the output iterator (a back-inserter of a
    // vector, an inserter of a set); nothing when the list element is missing. Always true.
    template <typename OutputIterator>
    bool Get(OutputIterator out) const
    {
        const std::vector<XmlNode> children = Node().ChildNodes();
        for (const XmlNode& child : children) {
            if (child.NodeName() == itemName_)
                *out++ = child.GetNodeValue();
        }
        return true;
    }

private:
    std::string itemName_;
};
