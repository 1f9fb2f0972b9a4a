// The records of a payload proxy file: one small view per repeated element (streams, install
// folders, conflicting processes, product relations, destinations, success ranges) and the
// add/remove-programs texts.
//
// A record is a copyable value over one element; copies share the element. Views that a record
// hands out point at the record, so they must not outlive it, and no record may outlive the
// store whose document it reads.
#pragma once

#include "Common/source/xplat/XmlAttributeValue.h"
#include "Common/source/xplat/XmlBackedObject.h"
#include "Common/source/xplat/XmlComplexTypeChild.h"
#include "Common/source/xplat/XmlProperty.h"

#include <string>

namespace PayloadProxy {

// Streams/Stream: a named block of data carried inside the proxy file.
class Stream : public XmlBackedObject {
public:
    explicit Stream(const XmlNode& node);
    XmlAttributeValue StreamName();
    XmlAttributeValue FileName();
    XmlAttributeValue StreamMeta();
    // The stream's content, the element's own text; always true.
    bool GetValue(std::string& value) const;
};

// InstallDir/Platform: the default install folder for one platform.
class InstallDirInfo : public XmlBackedObject {
public:
    explicit InstallDirInfo(const XmlNode& node);
    XmlAttributeValue platformName();
    XmlAttributeValue folderName();
    XmlAttributeValue fixedDestination();
    // The default folder, the element's own text; always true.
    bool GetValue(std::string& value) const;
};

// ConflictingProcesses/<platform>/Process: a process that must not run during the operation.
class ConflictingProcessInfo : public XmlBackedObject {
public:
    explicit ConflictingProcessInfo(const XmlNode& node);
    XmlAttributeValue Blocking();
    // The process pattern, the element's own text; always true.
    bool GetValue(std::string& value) const;
};

// Satisfies/ProductInfo: a product this payload provides.
class SatisfiesProductInfoData : public XmlBackedObject {
public:
    explicit SatisfiesProductInfoData(const XmlNode& node);
    XmlProperty Family();
    XmlProperty ProductName();
    XmlProperty Version();
};

// Requires/ProductInfo: a product this payload needs.
class RequiresProductInfoData : public XmlBackedObject {
public:
    explicit RequiresProductInfoData(const XmlNode& node);
    XmlProperty Family();
    XmlProperty ProductName();
    XmlAttributeValue MinVersion();
    XmlAttributeValue Visible();
};

// InstallDestinationMetadata/Destination: the space a payload takes below one install root.
class InstallDestinationMetadata : public XmlBackedObject {
public:
    explicit InstallDestinationMetadata(const XmlNode& node);
    XmlProperty Root();
    XmlProperty TotalSize();
    XmlProperty MaxPathComponent();
};

// SuccessCodes/<operation>/Range: an inclusive range of exit codes that count as success.
class ThirdPartyInstallSuccessRanges : public XmlBackedObject {
public:
    explicit ThirdPartyInstallSuccessRanges(const XmlNode& node);
    XmlAttributeValue LowerBound();
    XmlAttributeValue UpperBound();
};

// AddRemoveInfo: the add/remove-programs texts, one child per value name, each holding Value
// elements keyed by their lang attribute.
class AddRemoveInfo : public XmlComplexTypeChild {
public:
    AddRemoveInfo(XmlBackedObject* parent, XmlDocument* document);

    // The text of the value called name in exactly that language (no fallback to another one).
    // False, leaving value as it was, when name or language is empty or there is no such text.
    bool GetAddRemoveInfoValue(const std::string& name, const std::string& language, std::string& value);
};

}  // namespace PayloadProxy
