#include "Shared/ProxyFileRecords.h"

#include "Common/source/xplat/XmlPropertyMap.h"

#include <map>

namespace PayloadProxy {

Stream::Stream(const XmlNode& node)
    : XmlBackedObject(node)
{
}

XmlAttributeValue Stream::StreamName()
{
    return XmlAttributeValue("name", this);
}

XmlAttributeValue Stream::FileName()
{
    return XmlAttributeValue("fileName", this);
}

XmlAttributeValue Stream::StreamMeta()
{
    return XmlAttributeValue("streamMeta", this);
}

bool Stream::GetValue(std::string& value) const
{
    value = Node().GetNodeValue();
    return true;
}

InstallDirInfo::InstallDirInfo(const XmlNode& node)
    : XmlBackedObject(node)
{
}

XmlAttributeValue InstallDirInfo::platformName()
{
    return XmlAttributeValue("name", this);
}

XmlAttributeValue InstallDirInfo::folderName()
{
    return XmlAttributeValue("folderName", this);
}

XmlAttributeValue InstallDirInfo::fixedDestination()
{
    return XmlAttributeValue("isFixed", this);
}

bool InstallDirInfo::GetValue(std::string& value) const
{
    value = Node().GetNodeValue();
    return true;
}

ConflictingProcessInfo::ConflictingProcessInfo(const XmlNode& node)
    : XmlBackedObject(node)
{
}

XmlAttributeValue ConflictingProcessInfo::Blocking()
{
    return XmlAttributeValue("blocking", this);
}

bool ConflictingProcessInfo::GetValue(std::string& value) const
{
    value = Node().GetNodeValue();
    return true;
}

SatisfiesProductInfoData::SatisfiesProductInfoData(const XmlNode& node)
    : XmlBackedObject(node)
{
}

XmlProperty SatisfiesProductInfoData::Family()
{
    return XmlProperty("Family", this, GetDocument());
}

XmlProperty SatisfiesProductInfoData::ProductName()
{
    return XmlProperty("ProductName", this, GetDocument());
}

XmlProperty SatisfiesProductInfoData::Version()
{
    return XmlProperty("ProductVersion", this, GetDocument());
}

RequiresProductInfoData::RequiresProductInfoData(const XmlNode& node)
    : XmlBackedObject(node)
{
}

XmlProperty RequiresProductInfoData::Family()
{
    return XmlProperty("Family", this, GetDocument());
}

XmlProperty RequiresProductInfoData::ProductName()
{
    return XmlProperty("ProductName", this, GetDocument());
}

XmlAttributeValue RequiresProductInfoData::MinVersion()
{
    return XmlAttributeValue("minVersion", this);
}

XmlAttributeValue RequiresProductInfoData::Visible()
{
    return XmlAttributeValue("visible", this);
}

InstallDestinationMetadata::InstallDestinationMetadata(const XmlNode& node)
    : XmlBackedObject(node)
{
}

XmlProperty InstallDestinationMetadata::Root()
{
    return XmlProperty("Root", this, GetDocument());
}

XmlProperty InstallDestinationMetadata::TotalSize()
{
    return XmlProperty("TotalSize", this, GetDocument());
}

XmlProperty InstallDestinationMetadata::MaxPathComponent()
{
    return XmlProperty("MaxPathComponent", this, GetDocument());
}

ThirdPartyInstallSuccessRanges::ThirdPartyInstallSuccessRanges(const XmlNode& node)
    : XmlBackedObject(node)
{
}

XmlAttributeValue ThirdPartyInstallSuccessRanges::LowerBound()
{
    return XmlAttributeValue("lowerBound", this);
}

XmlAttributeValue ThirdPartyInstallSuccessRanges::UpperBound()
{
    return XmlAttributeValue("upperBound", this);
}

AddRemoveInfo::AddRemoveInfo(XmlBackedObject* parent, XmlDocument* document)
    : XmlComplexTypeChild("AddRemoveInfo", parent, document)
{
}

bool AddRemoveInfo::GetAddRemoveInfoValue(const std::string& name, const std::string& language, std::string& value)
{
    if (name.empty() || language.empty())
        return false;
    std::map<std::string, std::string> values;
    XmlPropertyMap(name, this, GetDocument(), "Value", "lang").Get(values);
    const std::map<std::string, std::string>::const_iterator found = values.find(language);
    if (found == values.end())
        return false;
    value = found->second;
    return true;
}

}  // namespace PayloadProxy
