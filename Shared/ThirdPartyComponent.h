// The ThirdPartyComponent element of a proxy file, which says how to run, judge and describe the
// installer of a payload of another maker, and its child records.
//
// Each record is a copyable value over one fixed-name child of its parent record. A child record
// points at the record it was made from, so keep the parent alive while the child is in use:
//   PayloadProxy::ThirdPartyComponent component = store.ThirdPartyComponentData();
//   PayloadProxy::ThirdPartyMetadata metadata = component.ThirdPartyMetadataData();
#pragma once

#include "Common/source/xplat/XmlAttributeValue.h"
#include "Common/source/xplat/XmlComplexTypeChild.h"
#include "Common/source/xplat/XmlComplexTypeList.h"
#include "Common/source/xplat/XmlProperty.h"
#include "Common/source/xplat/XmlPropertyMap.h"
#include "Shared/ProxyFileRecords.h"

namespace PayloadProxy {

// ThirdPartyComponent/Metadata: the kind and name of the package and the scripts that name it
// and tell whether it is installed.
class ThirdPartyMetadata : public XmlComplexTypeChild {
public:
    ThirdPartyMetadata(XmlBackedObject* parent, XmlDocument* document);
    XmlProperty Type();
    XmlProperty Name();
    XmlProperty NameScript();
    XmlProperty IsInstalledScript();
};

// ThirdPartyComponent/Arguments/Install: argument name to value.
class ThirdPartyInstallArguments : public XmlComplexTypeChild {
public:
    ThirdPartyInstallArguments(XmlBackedObject* parent, XmlDocument* document);
    XmlPropertyMap ThirdPartyArgumentsMap();
};

// ThirdPartyComponent/Arguments/Uninstall: argument name to value.
class ThirdPartyUninstallArguments : public XmlComplexTypeChild {
public:
    ThirdPartyUninstallArguments(XmlBackedObject* parent, XmlDocument* document);
    XmlPropertyMap ThirdPartyArgumentsMap();
};

// ThirdPartyComponent/Arguments/Repair: argument name to value.
class ThirdPartyRepairArguments : public XmlComplexTypeChild {
public:
    ThirdPartyRepairArguments(XmlBackedObject* parent, XmlDocument* document);
    XmlPropertyMap ThirdPartyArgumentsMap();
};

// ThirdPartyComponent/Arguments: the prefix and delimiter of the installer's command line and
// the arguments of each operation.
class ThirdPartyArguments : public XmlComplexTypeChild {
public:
    ThirdPartyArguments(XmlBackedObject* parent, XmlDocument* document);
    XmlAttributeValue Prefix();
    XmlAttributeValue Delimiter();
    ThirdPartyInstallArguments ThirdPartyInstallArgumentsData();
    ThirdPartyUninstallArguments ThirdPartyUninstallArgumentsData();
    ThirdPartyRepairArguments ThirdPartyRepairArgumentsData();
};

// ThirdPartyComponent/SuccessCodes: per operation, the exit-code ranges that count as success.
class ThirdPartySuccessCodes : public XmlComplexTypeChild {
public:
    typedef XmlComplexTypeList<ThirdPartyInstallSuccessRanges> RangeList;

    ThirdPartySuccessCodes(XmlBackedObject* parent, XmlDocument* document);
    RangeList GetInstallSuccessRanges();
    RangeList GetRepairSuccessRanges();
    RangeList GetUninstallSuccessRanges();
};

// ThirdPartyComponent/Capabilities/Install: the install message in each language.
class ThirdPartyCapabilitiesInstall : public XmlComplexTypeChild {
public:
    ThirdPartyCapabilitiesInstall(XmlBackedObject* parent, XmlDocument* document);
    XmlPropertyMap InstallMessage();
};

// ThirdPartyComponent/Capabilities/Repair: whether the package can be repaired, and the repair
// message in each language.
class ThirdPartyCapabilitiesRepair : public XmlComplexTypeChild {
public:
    ThirdPartyCapabilitiesRepair(XmlBackedObject* parent, XmlDocument* document);
    XmlPropertyMap RepairMessage();
    // The isRepairable attribute as a boolean; false when it is absent or not "1" or "0".
    bool SupportsRepair();
};

// ThirdPartyComponent/Capabilities/Uninstall: whether the package can be uninstalled, and the
// uninstall message in each language.
class ThirdPartyCapabilitiesUninstall : public XmlComplexTypeChild {
public:
    ThirdPartyCapabilitiesUninstall(XmlBackedObject* parent, XmlDocument* document);
    XmlPropertyMap UninstallMessage();
    // The isUninstallable attribute as a boolean; false when it is absent or not "1" or "0".
    bool SupportsUninstall();
};

// ThirdPartyComponent/Capabilities.
class ThirdPartyCapabilities : public XmlComplexTypeChild {
public:
    ThirdPartyCapabilities(XmlBackedObject* parent, XmlDocument* document);
    ThirdPartyCapabilitiesInstall ThirdPartyCapabilitiesInstallData();
    ThirdPartyCapabilitiesRepair ThirdPartyCapabilitiesRepairData();
    ThirdPartyCapabilitiesUninstall ThirdPartyCapabilitiesUninstallData();
};

// ThirdPartyComponent: present only in the proxy files of payloads of other makers.
class ThirdPartyComponent : public XmlComplexTypeChild {
public:
    ThirdPartyComponent(XmlBackedObject* parent, XmlDocument* document);
    ThirdPartyMetadata ThirdPartyMetadataData();
    ThirdPartyArguments ThirdPartyArgumentsData();
    ThirdPartySuccessCodes ThirdPartySuccessCodesData();
    ThirdPartyCapabilities ThirdPartyCapabilitiesData();
};

}  // namespace PayloadProxy
