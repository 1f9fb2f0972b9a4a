// InstallThirdPartyPayloadOperation: installs a payload of another maker on the install thread:
// runs its installer (an application through the system's CFM launcher, or a "tolk1" payload
// through the command engine), judges the exit code by the proxy's success ranges and then
// records the payload in the installation database.
#pragma once

#include "Common/source/xplat/FileSystemPath.h"
#include "PayloadMediaSource.h"
#include "ThirdPartyPayloadSupportUtilites.h"
#include "ThreadOperation.h"
#include "caps/CAPSQueryUtilities.h"

#include <boost/shared_ptr.hpp>

#include <map>
#include <string>

class InstallerEngine;
class PayloadAccessor;

template <class SourceProvider>
class InstallThirdPartyPayloadOperation : public ThreadOperation {
public:
    typedef std::map<std::string, std::string> PropertyMap;

    // Reads the component of the accessor's proxy file and runs its scripts (name, "is
    // installed") on this thread. Throws std::runtime_error "Unable to get package name or type
    // from third party proxy file" or "Unable to get metadata from proxy file for third party
    // install".
    InstallThirdPartyPayloadOperation(const boost::shared_ptr<PayloadAccessor>& accessor, const std::string& sessionKey,
                                      const FileSystemPath& payloadPath, const SourceProvider& sourceProvider,
                                      const PropertyMap& properties, InstallerEngine* engine);

    int operator()(UIThreadOperationManager& manager, std::vector<UserInterfaceMessagePrompt>& prompts) override;
    // "InstallThirdPartyPayloadOperation".
    std::string GetOperationType() override;
    bool GetMessageIfNotCalled(boost::shared_ptr<UserInterfaceMessagePrompt>& prompt) override;
    // Records the install and the payload's storable install properties; rolls the session back
    // on failure.
    bool DoCAPSPackageManagementOperations(CAPSSessionPtr& session,
                                           CAPSQueryUtilities::PackageManagementOperationResult& result) override;

    bool IsAlreadyInstalled() const { return alreadyInstalled_; }

private:
    boost::shared_ptr<CAPSQueryUtilities::PackageManagementData> record_;
    std::string payloadCode_;
    FileSystemPath payloadPath_;
    SourceProvider sourceProvider_;
    std::string packageType_;
    std::string packageName_;
    ThirdPartyPayloadSupportUtilites::SuccessRanges successRanges_;
    std::string argumentPrefix_;
    std::string argumentDelimiter_;
    PropertyMap arguments_;
    std::string sessionKey_;
    PayloadMediaSource mediaSource_;
    PropertyMap installMessage_;
    FileSystemPath workPath_;
    PropertyMap properties_;
    bool alreadyInstalled_;
};
