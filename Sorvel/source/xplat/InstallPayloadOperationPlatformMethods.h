// InstallPayloadOperationPlatformMethods: the physical work of the payload operations, handed to
// the command engine (command payloads and "tolk1" payloads) or to the system's launcher for
// applications of other makers. Each answers 0 for success and 1 for failure, and 1 at once for
// a null operation.
#pragma once

#include "Common/source/xplat/FileSystemPath.h"

#include <map>
#include <string>

class ThreadOperation;
class UIThreadOperationManager;
struct capsiSession;

namespace InstallPayloadOperationPlatformMethods {

typedef std::map<std::string, std::string> PropertyMap;

// ---- Command payloads ----

// Installs the command payload image at sourcePath with the properties. payloadPath and out are
// not used on this platform.
unsigned long InstallPayload(const FileSystemPath& payloadPath, const FileSystemPath& sourcePath,
                             const PropertyMap& properties, ThreadOperation* operation,
                             UIThreadOperationManager& manager, PropertyMap& out);
// Plays back the payload's stored uninstall script with the properties stored for it.
unsigned long UninstallPayload(const std::string& payloadCode, const std::string& sessionKey,
                               ThreadOperation* operation, UIThreadOperationManager& manager, PropertyMap& out);
// Repairs the payload from the image recorded for it ("payloadPath"), or from sessionPayloadPath
// (UTF-8, may be empty) when the recorded one is gone and that one exists. A payload installed by a setup program older than 0.0.76.0 is
// not repaired and counts as success.
unsigned long RepairPayload(const std::string& payloadCode, const std::string& sessionKey, ThreadOperation* operation,
                            const std::string& sessionPayloadPath, UIThreadOperationManager& manager, PropertyMap& out);
// Plays back the uninstall script stored under the session key.
unsigned long UninstallBootstrapper(const std::string& sessionKey, ThreadOperation* operation,
                                    UIThreadOperationManager& manager);

// ---- Payloads of other makers ----
//
// The exit code of the installer goes to exitCode (the result code of the command engine for a
// "tolk1" payload); the caller judges it. The prefix, delimiter and arguments are taken for the
// package types of other platforms: no type supported here uses them.

// "cfmApplication": the application at workPath started through the system's CFM launcher;
// "tolk1": the command payload image at workPath installed with "THIRD_PARTY_TOLK" = "1".
unsigned long InstallThirdPartyPayload(const FileSystemPath& payloadPath, const FileSystemPath& workPath,
                                       const std::string& packageType, const PropertyMap& properties,
                                       const std::string& prefix, const std::string& delimiter,
                                       const PropertyMap& arguments, ThreadOperation* operation,
                                       UIThreadOperationManager& manager, unsigned long& exitCode, PropertyMap& out);
// Only "tolk1" payloads can be repaired or uninstalled.
unsigned long RepairThirdPartyPayload(const FileSystemPath& sourcePath, const std::string& payloadCode,
                                      const std::string& sessionKey, const std::string& packageType,
                                      const std::string& prefix, const std::string& delimiter,
                                      const PropertyMap& arguments, ThreadOperation* operation,
                                      UIThreadOperationManager& manager, unsigned long& exitCode, PropertyMap& out);
unsigned long UninstallThirdPartyPayload(const std::string& payloadCode, const std::string& sessionKey,
                                         const std::string& packageType, const std::string& prefix,
                                         const std::string& delimiter, const PropertyMap& arguments,
                                         ThreadOperation* operation, UIThreadOperationManager& manager,
                                         unsigned long& exitCode, PropertyMap& out);
// Nothing more to record on this platform: true.
bool WriteThirdPartyPayloadCAPSData(capsiSession* session, const std::string& payloadCode, const FileSystemPath& path);

}  // namespace InstallPayloadOperationPlatformMethods
