#include "XmlObjectDataStore.h"

#include <boost/make_shared.hpp>

XmlObjectDataStore::XmlObjectDataStore(const std::string& rootElementName)
    : rootElementName_(rootElementName)
{
}

XmlObjectDataStore::~XmlObjectDataStore()
{
}

bool XmlObjectDataStore::Load(const std::string& path)
{
    Release();
    boost::shared_ptr<XmlDocument> document;
    if (!XmlDocument::Load(path, document))
        return false;
    TakeDocument(document);
    return true;
}

bool XmlObjectDataStore::CreateDocument()
{
    Release();
    boost::shared_ptr<XmlDocument> document;
    XmlDocument::CreateDocument(rootElementName_, document);
    TakeDocument(document);
    return true;
}

bool XmlObjectDataStore::Save(const std::string& path, bool overwrite) const
{
    if (!document_)
        return false;
    return document_->Save(path, overwrite);
}

void XmlObjectDataStore::Release()
{
    rootObject_.reset();
    document_.reset();
}

void XmlObjectDataStore::TakeDocument(const boost::shared_ptr<XmlDocument>& document)
{
    document_ = document;
    rootObject_ = boost::make_shared<XmlBackedObject>(document_->DocumentElement());
}
