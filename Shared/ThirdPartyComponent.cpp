#include "Shared/ThirdPartyComponent.h"

namespace PayloadProxy {

namespace {

// The Argument and Value items of these records are the record element's own children.
XmlPropertyMap ItemsOf(XmlBackedObject* record, const std::string& itemName, const std::string& keyAttribute)
{
    return XmlPropertyMap(record, record->GetDocument(), itemName, keyAttribute);
}

bool ReadFlag(XmlBackedObject* record, const std::string& attribute)
{
    bool flag = false;
    XmlAttributeValue(attribute, record).Get(flag);
    return flag;
}

}  // namespace

ThirdPartyMetadata::ThirdPartyMetadata(XmlBackedObject* parent, XmlDocument* document)
    : XmlComplexTypeChild("Metadata", parent, document)
{
}

XmlProperty ThirdPartyMetadata::Type()
{
    return XmlProperty("Type", this, GetDocument());
}

XmlProperty ThirdPartyMetadata::Name()
{
    return XmlProperty("Name", this, GetDocument());
}

XmlProperty ThirdPartyMetadata::NameScript()
{
    return XmlProperty("NameScript", this, GetDocument());
}

XmlProperty ThirdPartyMetadata::IsInstalledScript()
{
    return XmlProperty("IsInstalledScript", this, GetDocument());
}

ThirdPartyInstallArguments::ThirdPartyInstallArguments(XmlBackedObject* parent, XmlDocument* document)
    : XmlComplexTypeChild("Install", parent, document)
{
}

XmlPropertyMap ThirdPartyInstallArguments::ThirdPartyArgumentsMap()
{
    return ItemsOf(this, "Argument", "name");
}

ThirdPartyUninstallArguments::ThirdPartyUninstallArguments(XmlBackedObject* parent, XmlDocument* document)
    : XmlComplexTypeChild("Uninstall", parent, document)
{
}

XmlPropertyMap ThirdPartyUninstallArguments::ThirdPartyArgumentsMap()
{
    return ItemsOf(this, "Argument", "name");
}

ThirdPartyRepairArguments::ThirdPartyRepairArguments(XmlBackedObject* parent, XmlDocument* document)
    : XmlComplexTypeChild("Repair", parent, document)
{
}

XmlPropertyMap ThirdPartyRepairArguments::ThirdPartyArgumentsMap()
{
    return ItemsOf(this, "Argument", "name");
}

ThirdPartyArguments::ThirdPartyArguments(XmlBackedObject* parent, XmlDocument* document)
    : XmlComplexTypeChild("Arguments", parent, document)
{
}

XmlAttributeValue ThirdPartyArguments::Prefix()
{
    return XmlAttributeValue("prefix", this);
}

XmlAttributeValue ThirdPartyArguments::Delimiter()
{
    return XmlAttributeValue("delimiter", this);
}

ThirdPartyInstallArguments ThirdPartyArguments::ThirdPartyInstallArgumentsData()
{
    return ThirdPartyInstallArguments(this, GetDocument());
}

ThirdPartyUninstallArguments ThirdPartyArguments::ThirdPartyUninstallArgumentsData()
{
    return ThirdPartyUninstallArguments(this, GetDocument());
}

ThirdPartyRepairArguments ThirdPartyArguments::ThirdPartyRepairArgumentsData()
{
    return ThirdPartyRepairArguments(this, GetDocument());
}

ThirdPartySuccessCodes::ThirdPartySuccessCodes(XmlBackedObject* parent, XmlDocument* document)
    : XmlComplexTypeChild("SuccessCodes", parent, document)
{
}

ThirdPartySuccessCodes::RangeList ThirdPartySuccessCodes::GetInstallSuccessRanges()
{
    return RangeList("Install", this, GetDocument(), "Range");
}

ThirdPartySuccessCodes::RangeList ThirdPartySuccessCodes::GetRepairSuccessRanges()
{
    return RangeList("Repair", this, GetDocument(), "Range");
}

ThirdPartySuccessCodes::RangeList ThirdPartySuccessCodes::GetUninstallSuccessRanges()
{
    return RangeList("Uninstall", this, GetDocument(), "Range");
}

ThirdPartyCapabilitiesInstall::ThirdPartyCapabilitiesInstall(XmlBackedObject* parent, XmlDocument* document)
    : XmlComplexTypeChild("Install", parent, document)
{
}

XmlPropertyMap ThirdPartyCapabilitiesInstall::InstallMessage()
{
    return ItemsOf(this, "Value", "lang");
}

ThirdPartyCapabilitiesRepair::ThirdPartyCapabilitiesRepair(XmlBackedObject* parent, XmlDocument* document)
    : XmlComplexTypeChild("Repair", parent, document)
{
}

XmlPropertyMap ThirdPartyCapabilitiesRepair::RepairMessage()
{
    return ItemsOf(this, "Value", "lang");
}

bool ThirdPartyCapabilitiesRepair::SupportsRepair()
{
    return ReadFlag(this, "isRepairable");
}

ThirdPartyCapabilitiesUninstall::ThirdPartyCapabilitiesUninstall(XmlBackedObject* parent, XmlDocument* document)
    : XmlComplexTypeChild("Uninstall", parent, document)
{
}

XmlPropertyMap ThirdPartyCapabilitiesUninstall::UninstallMessage()
{
    return ItemsOf(this, "Value", "lang");
}

bool ThirdPartyCapabilitiesUninstall::SupportsUninstall()
{
    return ReadFlag(this, "isUninstallable");
}

ThirdPartyCapabilities::ThirdPartyCapabilities(XmlBackedObject* parent, XmlDocument* document)
    : XmlComplexTypeChild("Capabilities", parent, document)
{
}

ThirdPartyCapabilitiesInstall ThirdPartyCapabilities::ThirdPartyCapabilitiesInstallData()
{
    return ThirdPartyCapabilitiesInstall(this, GetDocument());
}

ThirdPartyCapabilitiesRepair ThirdPartyCapabilities::ThirdPartyCapabilitiesRepairData()
{
    return ThirdPartyCapabilitiesRepair(this, GetDocument());
}

ThirdPartyCapabilitiesUninstall ThirdPartyCapabilities::ThirdPartyCapabilitiesUninstallData()
{
    return ThirdPartyCapabilitiesUninstall(this, GetDocument());
}

ThirdPartyComponent::ThirdPartyComponent(XmlBackedObject* parent, XmlDocument* document)
    : XmlComplexTypeChild("ThirdPartyComponent", parent, document)
{
}

ThirdPartyMetadata ThirdPartyComponent::ThirdPartyMetadataData()
{
    return ThirdPartyMetadata(this, GetDocument());
}

ThirdPartyArguments ThirdPartyComponent::ThirdPartyArgumentsData()
{
    return ThirdPartyArguments(this, GetDocument());
}

ThirdPartySuccessCodes ThirdPartyComponent::ThirdPartySuccessCodesData()
{
    return ThirdPartySuccessCodes(this, GetDocument());
}

ThirdPartyCapabilities ThirdPartyComponent::ThirdPartyCapabilitiesData()
{
    return ThirdPartyCapabilities(this, GetDocument());
}

}  // namespace PayloadProxy
