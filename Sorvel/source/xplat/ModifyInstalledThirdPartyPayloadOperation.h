// ModifyInstalledThirdPartyPayloadOperation: repairs or uninstalls an installed payload of
// another maker on the install thread. Only "tolk1" payloads can be changed physically; for an
// action the component says it does not support, only the records change.
#pragma once

#include "Shared/PayloadOperationConstants.h"
#include "ThirdPartyPayloadSupportUtilites.h"
#include "ThreadOperation.h"
#include "caps/CAPSQueryUtilities.h"

#include <boost/shared_ptr.hpp>

#include <map>
#include <string>

class InstallerEngine;

class ModifyInstalledThirdPartyPayloadOperation : public ThreadOperation {
public:
    typedef std::map<std::string, std::string> PropertyMap;

    // sourcePath: the session's copy of the payload, used for a repair when it exists (it may be
    // empty). Throws std::runtime_error "Unable to get package name or type from third party
    // proxy file".
    ModifyInstalledThirdPartyPayloadOperation(const std::string& payloadCode, const std::string& sessionKey,
                                              PayloadOperationConstants::InstallAction action,
                                              const std::string& sourcePath,
                                              PayloadProxy::ThirdPartyComponent& component, InstallerEngine* engine);

    int operator()(UIThreadOperationManager& manager, std::vector<UserInterfaceMessagePrompt>& prompts) override;
    // "ModifyThirdPartyPayloadOperation".
    std::string GetOperationType() override;
    bool GetMessageIfNotCalled(boost::shared_ptr<UserInterfaceMessagePrompt>& prompt) override;
    // Applies the action to the payload's records in the session.
    bool DoCAPSPackageManagementOperations(CAPSSessionPtr& session,
                                           CAPSQueryUtilities::PackageManagementOperationResult& result) override;

private:
    // Posts percent 100 with the code and the status arguments and answers result.
    int Finish(int code, int result);

    std::string payloadCode_;
    std::string sessionKey_;
    PayloadOperationConstants::InstallAction action_;
    std::string packageType_;
    std::string packageName_;
    std::string argumentPrefix_;
    std::string argumentDelimiter_;
    PropertyMap arguments_;
    ThirdPartyPayloadSupportUtilites::SuccessRanges successRanges_;
    boost::shared_ptr<CAPSQueryUtilities::PackageManagementData> record_;
    bool physicalActionSupported_;
    PropertyMap message_;
    std::string sourcePath_;  // UTF-8; not necessarily a full path
    ContainerMessage::NamedArguments statusArguments_;
};
