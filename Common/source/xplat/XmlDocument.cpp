#include "XmlDocument.h"

#include "XmlException.h"

#include <boost/make_shared.hpp>

// Holds the root element. Parents own their children, so dropping the root would free the tree
// by itself; the explicit clearing is what makes handles that outlive the document see empty,
// childless elements instead of a tree nobody owns.
struct XmlDocument::XmlDocumentImpl {
    boost::shared_ptr<XmlNode::XmlNodeImpl> root;

    ~XmlDocumentImpl()
    {
        if (root)
            root->ClearTree();
    }
};

XmlDocument::XmlDocument()
    : impl_(boost::make_shared<XmlDocumentImpl>())
{
}

XmlDocument::~XmlDocument()
{
}

bool XmlDocument::CreateDocument(const std::string& rootName, boost::shared_ptr<XmlDocument>& document)
{
    if (rootName.empty())
        throw XmlException("Invalid root element name");
    boost::shared_ptr<XmlDocument> created(new XmlDocument());
    created->impl_->root = boost::make_shared<XmlNode::XmlNodeImpl>();
    created->impl_->root->name = rootName;
    document = created;
    return true;
}

XmlNode XmlDocument::CreateNode(const std::string& name)
{
    return XmlNode(this, name);
}

XmlNode XmlDocument::DocumentElement()
{
    return XmlNode(this, impl_->root);
}
