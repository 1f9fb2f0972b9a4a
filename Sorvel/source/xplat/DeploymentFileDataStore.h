// DeploymentFile: a deployment file of preset property values and per-payload actions for an
// unattended installation. The script interface writes them ("<product>.install.xml",
// "<product>.remove.xml") and reads the one named by the "deploymentFile" argument.
//
// Writing one: CreateDocument, Properties().Set(map), then per payload Payloads().CreateItem()
// with its OrvexCode and Action set, then Save.
#pragma once

#include "Common/source/xplat/XmlAttributeValue.h"
#include "Common/source/xplat/XmlBackedObject.h"
#include "Common/source/xplat/XmlComplexTypeList.h"
#include "Common/source/xplat/XmlObjectDataStore.h"
#include "Common/source/xplat/XmlProperty.h"
#include "Common/source/xplat/XmlPropertyMap.h"

namespace DeploymentFile {

// Deployment/Payloads/Payload: what to do with one payload. A copyable value over the element;
// the views it hands out point at it and must not outlive it.
class PayloadData : public XmlBackedObject {
public:
    explicit PayloadData(const XmlNode& node);
    // The orvexCode attribute: the payload's code.
    XmlAttributeValue OrvexCode();
    // The text of the Action child, as the writer of the file put it.
    XmlProperty Action();
};

class DeploymentFileDataStore : public XmlObjectDataStore {
public:
    // An empty store whose new documents get the root element "Deployment".
    DeploymentFileDataStore();

    // Deployment/Properties: Property elements keyed by their name attribute.
    XmlPropertyMap Properties() const;
    // The Payload elements of Deployment/Payloads in document order; CreateItem appends one.
    XmlComplexTypeList<PayloadData> Payloads() const;
};

}  // namespace DeploymentFile
