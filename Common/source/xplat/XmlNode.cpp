#include "XmlNode.h"

#include "XmlException.h"

#include <boost/make_shared.hpp>

#include <algorithm>

XmlNode::XmlNode(XmlDocument* document)
    : document_(document)
    , impl_(boost::make_shared<XmlNodeImpl>())
{
}

XmlNode::XmlNode(XmlDocument* document, const std::string& name)
    : document_(document)
    , impl_(boost::make_shared<XmlNodeImpl>())
{
    impl_->name = name;
}

XmlNode::XmlNode(XmlDocument* document, const boost::shared_ptr<XmlNodeImpl>& impl)
    : document_(document)
    , impl_(impl)
{
}

XmlNode::~XmlNode()
{
}

std::string XmlNode::NodeName() const
{
    return impl_->name;
}

std::string XmlNode::GetNodeValue() const
{
    return std::string(impl_->value.begin(), impl_->value.end());
}

void XmlNode::SetNodeValue(const std::string& value)
{
    impl_->value.assign(value.begin(), value.end());
}

std::string XmlNode::GetAttribute(const std::string& name) const
{
    std::map<std::string, std::string>::const_iterator found = impl_->attributes.find(name);
    return found != impl_->attributes.end() ? found->second : std::string();
}

void XmlNode::SetAttribute(const std::string& name, const std::string& value)
{
    if (!name.empty())
        impl_->attributes[name] = value;
}

std::size_t XmlNode::RemoveAttribute(const std::string& name)
{
    return impl_->attributes.erase(name);
}

void XmlNode::GetAllAttributes(std::map<std::string, std::string>& attributes) const
{
    attributes = impl_->attributes;
}

std::vector<XmlNode> XmlNode::ChildNodes() const
{
    std::vector<XmlNode> children;
    children.reserve(impl_->children.size());
    for (const boost::shared_ptr<XmlNodeImpl>& child : impl_->children)
        children.push_back(XmlNode(document_, child));
    return children;
}

XmlNode XmlNode::AppendChild(const XmlNode& child)
{
    if (!child.impl_->parent.expired())
        throw XmlException("Attempt to append child node already in DOM");
    // A detached node may still be the top of the tree this node hangs in (the root is one);
    // appending it here would make a cycle that every walk of the tree runs round for ever.
    for (boost::shared_ptr<XmlNodeImpl> ancestor = impl_; ancestor; ancestor = ancestor->parent.lock()) {
        if (ancestor == child.impl_)
            throw XmlException("Attempt to append node under itself or its own descendant");
    }
    impl_->children.push_back(child.impl_);
    child.impl_->parent = impl_;
    return child;
}

XmlNode XmlNode::RemoveChild(const XmlNode& child)
{
    const boost::shared_ptr<XmlNodeImpl> parent = child.impl_->parent.lock();
    if (!parent)
        throw XmlException("Attempt to remove child node not in DOM");
    if (parent != impl_)
        throw XmlException("Attempt to remove child node from non-parent");
    impl_->children.erase(std::find(impl_->children.begin(), impl_->children.end(), child.impl_));
    child.impl_->parent.reset();
    return child;
}

XmlNode XmlNode::ParentNode() const
{
    const boost::shared_ptr<XmlNodeImpl> parent = impl_->parent.lock();
    if (!parent)
        throw XmlException("Attempt to get parent of node without parent");
    return XmlNode(document_, parent);
}

void XmlNode::XmlNodeImpl::ClearTree()
{
    // Iterative, so that a deep tree cannot exhaust the stack on its way out.
    std::vector<boost::shared_ptr<XmlNodeImpl>> pending;
    pending.swap(children);
    name.clear();
    value.clear();
    attributes.clear();
    parent.reset();
    while (!pending.empty()) {
        boost::shared_ptr<XmlNodeImpl> node = pending.back();
        pending.pop_back();
        pending.insert(pending.end(), node->children.begin(), node->children.end());
        node->children.clear();
        node->name.clear();
        node->value.clear();
        node->attributes.clear();
        node->parent.reset();
    }
}
