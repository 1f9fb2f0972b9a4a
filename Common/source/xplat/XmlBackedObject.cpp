#include "XmlBackedObject.h"

#include <boost/make_shared.hpp>

XmlBackedObject::XmlBackedObject(const std::string& name, XmlBackedObject* parent, XmlDocument* document)
    : name_(name)
    , parent_(parent)
    , document_(document)
    , attached_(false)
{
}

XmlBackedObject::XmlBackedObject(const XmlNode& node)
    : parent_(nullptr)
    , document_(node.GetDocument())
    , attached_(true)
    , node_(boost::make_shared<XmlNode>(node))
{
}

XmlBackedObject::~XmlBackedObject()
{
}

std::string XmlBackedObject::NodeName() const
{
    return node_ ? node_->NodeName() : name_;
}

XmlNode XmlBackedObject::NewElement(XmlDocument* document, const std::string& name)
{
    return document != nullptr ? document->CreateNode(name) : XmlNode(nullptr, name);
}

bool XmlBackedObject::FindInParent(XmlNode& found) const
{
    if (parent_ == nullptr)
        return false;
    for (const XmlNode& child : parent_->Node().ChildNodes()) {
        if (child.NodeName() == name_) {
            found = child;
            return true;
        }
    }
    return false;
}

XmlNode XmlBackedObject::Node() const
{
    if (node_)
        return *node_;
    XmlNode found(nullptr);
    if (FindInParent(found)) {
        node_ = boost::make_shared<XmlNode>(found);
        attached_ = true;
    } else {
        node_ = boost::make_shared<XmlNode>(NewElement(document_, name_));
        attached_ = false;
    }
    return *node_;
}

void XmlBackedObject::FindAgain()
{
    if (parent_ == nullptr || (node_ && attached_))
        return;
    parent_->FindAgain();
    if (!node_) {
        Node();
        return;
    }
    XmlNode found(nullptr);
    if (FindInParent(found)) {
        // Rebinding the shared handle lets copies of this object see the element too.
        *node_ = found;
        attached_ = true;
    }
}

XmlNode XmlBackedObject::NodeForWrite()
{
    FindAgain();
    return Node();
}

bool XmlBackedObject::AttachNodePath()
{
    if (attached_ || parent_ == nullptr)
        return false;
    parent_->AttachNodePath();
    const XmlNode node = Node();
    XmlNode found(nullptr);
    if (FindInParent(found)) {
        // A view that resolved before another one added the element: take that element up
        // instead of adding a second one of the same name. Writes look again before they change
        // anything, so the detached element left behind holds nothing of theirs.
        if (!found.IsSameNode(node))
            *node_ = found;
        attached_ = true;
        return true;
    }
    parent_->Node().AppendChild(node);
    attached_ = true;
    return true;
}

bool XmlBackedObject::FinishWrite()
{
    if (parent_ != nullptr && !attached_)
        return AttachNodePath();
    // Without a document a write has nowhere to land.
    return document_ != nullptr;
}
