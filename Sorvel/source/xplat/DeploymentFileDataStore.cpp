#include "DeploymentFileDataStore.h"

namespace DeploymentFile {

PayloadData::PayloadData(const XmlNode& node)
    : XmlBackedObject(node)
{
}

XmlAttributeValue PayloadData::OrvexCode()
{
    return XmlAttributeValue("orvexCode", this);
}

XmlProperty PayloadData::Action()
{
    return XmlProperty("Action", this, GetDocument());
}

DeploymentFileDataStore::DeploymentFileDataStore()
    : XmlObjectDataStore("Deployment")
{
}

XmlPropertyMap DeploymentFileDataStore::Properties() const
{
    return XmlPropertyMap("Properties", GetRootBackingObject(), GetDocument(), "Property", "name");
}

XmlComplexTypeList<PayloadData> DeploymentFileDataStore::Payloads() const
{
    return XmlComplexTypeList<PayloadData>("Payloads", GetRootBackingObject(), GetDocument(), "Payload");
}

}  // namespace DeploymentFile
