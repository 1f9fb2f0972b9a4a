// XmlAttributeValue: one attribute of an XML-backed object's element, read and written as a
// typed value.
#pragma once

#include <string>

class XmlBackedObject;

class XmlAttributeValue {
public:
    // The owner is not owned and must outlive the view.
    XmlAttributeValue(const std::string& name, XmlBackedObject* owner);

    // The attribute's value, "" when it or its element is missing, converted to the type
    // (std::string, bool, int) by ZEB::ChangeDiffTypeImpl. The text always converts; a failed
    // conversion answers false and leaves the value as it was.
    template <typename T>
    bool Get(T& value) const;

    // Sets the attribute (an empty value is kept as an empty attribute) and adds the owner's
    // element to the document if it is not there yet; false when that fails.
    bool Set(const std::string& value);

private:
    std::string name_;
    XmlBackedObject* owner_;
};
