#include "ConfigurationDataStore.h"

namespace ConfigurationData {

DriverPayloadData::DriverPayloadData(XmlBackedObject* parent, XmlDocument* document)
    : XmlComplexTypeChild("Driver", parent, document)
{
}

XmlAttributeValue DriverPayloadData::Folder()
{
    return XmlAttributeValue("folder", this);
}

PayloadLocation::PayloadLocation(const XmlNode& node)
    : XmlBackedObject(node)
{
}

XmlAttributeValue PayloadLocation::Folder()
{
    return XmlAttributeValue("folder", this);
}

bool PayloadLocation::Path(std::string& path) const
{
    path = Node().GetNodeValue();
    return true;
}

VolumeInfo::VolumeInfo(const XmlNode& node)
    : XmlBackedObject(node)
{
}

XmlProperty VolumeInfo::Name()
{
    return XmlProperty("Name", this, GetDocument());
}

XmlComplexTypeList<PayloadLocation> VolumeInfo::PayloadLocations()
{
    return XmlComplexTypeList<PayloadLocation>("Payloads", this, GetDocument(), "Payload");
}

ConfigurationDataStore::ConfigurationDataStore()
    : XmlObjectDataStore("Setup")
{
}

DriverPayloadData ConfigurationDataStore::DriverPayload() const
{
    return DriverPayloadData(GetRootBackingObject(), GetDocument());
}

XmlComplexTypeList<VolumeInfo> ConfigurationDataStore::VolumeInfoList() const
{
    return XmlComplexTypeList<VolumeInfo>("Media", GetRootBackingObject(), GetDocument(), "Volume");
}

}  // namespace ConfigurationData
