// ConfigurationData: the setup description "Setup.xml" in the medium's "payloads" folder, which
// names the driver payload's folder and lists the volumes of a multi-volume medium with the
// payload folders on each. Nothing in the program writes it.
//
// Records are copyable values over one element; copies share the element. Views point at the
// record or store they were made from and must not outlive it.
#pragma once

#include "Common/source/xplat/XmlAttributeValue.h"
#include "Common/source/xplat/XmlBackedObject.h"
#include "Common/source/xplat/XmlComplexTypeChild.h"
#include "Common/source/xplat/XmlComplexTypeList.h"
#include "Common/source/xplat/XmlObjectDataStore.h"
#include "Common/source/xplat/XmlProperty.h"

#include <string>

namespace ConfigurationData {

// Setup/Driver: the folder of the driver payload.
class DriverPayloadData : public XmlComplexTypeChild {
public:
    DriverPayloadData(XmlBackedObject* parent, XmlDocument* document);
    XmlAttributeValue Folder();
};

// Setup/Media/Volume/Payloads/Payload: a payload folder stored on a volume.
class PayloadLocation : public XmlBackedObject {
public:
    explicit PayloadLocation(const XmlNode& node);
    // The payload's sub-folder name.
    XmlAttributeValue Folder();
    // The element's own text: the path, from the volume's root, of the folder that holds
    // "payloads" (may be empty). Always true.
    bool Path(std::string& path) const;
};

// Setup/Media/Volume: one volume of the medium, numbered from 1 by its position.
class VolumeInfo : public XmlBackedObject {
public:
    explicit VolumeInfo(const XmlNode& node);
    // The volume's name as the mounted medium shows it.
    XmlProperty Name();
    XmlComplexTypeList<PayloadLocation> PayloadLocations();
};

class ConfigurationDataStore : public XmlObjectDataStore {
public:
    // An empty store whose new documents get the root element "Setup". Load fills it.
    ConfigurationDataStore();

    DriverPayloadData DriverPayload() const;
    // The Volume elements of Setup/Media, in document order.
    XmlComplexTypeList<VolumeInfo> VolumeInfoList() const;
};

}  // namespace ConfigurationData
