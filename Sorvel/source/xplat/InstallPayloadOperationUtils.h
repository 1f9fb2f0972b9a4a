// InstallPayloadOperationUtils: what the repair and uninstall of an installed payload read back
// from the installation database.
#pragma once

#include "Common/source/xplat/LogAppender.h"
#include "caps/capsTypes.h"

#include <map>
#include <string>

namespace InstallPayloadOperationUtils {

typedef std::map<std::string, std::string> PropertyMap;

// The properties a repair or uninstall runs with: the payload's stored install properties (else
// the collection's), the session key as "sessionID", the most recent session of the payload and
// the collection properties that may still change, limited to the names that may be stored with
// a payload. False for an empty code or key, or when nothing can be read; out is then untouched.
bool LoadPayloadRepairOrUninstallProperties(const std::string& payloadCode, const std::string& sessionKey,
                                            PropertyMap& out);

// Adds the payload's install properties (domain 5) in stored order, stopping at the first pair
// with a missing key or value; keys already in the map keep their values. False when they
// cannot be read.
bool AddStoredPayloadProperties(capsiSession* session, const std::string& payloadCode, PropertyMap& properties);

// Whether the properties name a setup program ("setupVersion") of at least 0.0.76.0: older ones
// installed payloads that cannot be repaired here.
bool SupportsPhysicalRepair(const PropertyMap& properties);

// Logs at the error level why the installation database did not open with the status. Only
// root may make and change it: a run without administrator rights is told so, and how to get
// them, instead of a bare status.
void LogDatabaseOpenFailure(LogAppender& log, capsStatus status);

}  // namespace InstallPayloadOperationUtils
