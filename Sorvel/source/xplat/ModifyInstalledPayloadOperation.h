// ModifyInstalledPayloadOperation: repairs or uninstalls an installed command payload on the
// install thread, or only records an install of a payload that another collection installed
// already. A payload that other collections still hold is uninstalled from the records only.
#pragma once

#include "Shared/PayloadOperationConstants.h"
#include "ThreadOperation.h"

#include <string>

class ModifyInstalledPayloadOperation : public ThreadOperation {
public:
    // sourcePath: the session's local copy of the payload image, used for a repair when it
    // exists (it may be empty).
    ModifyInstalledPayloadOperation(const std::string& payloadCode, const std::string& sessionKey,
                                    PayloadOperationConstants::InstallAction action, const std::string& sourcePath);

    int operator()(UIThreadOperationManager& manager, std::vector<UserInterfaceMessagePrompt>& prompts) override;
    // "PayloadUninstaller", for every action.
    std::string GetOperationType() override;
    bool GetMessageIfNotCalled(boost::shared_ptr<UserInterfaceMessagePrompt>& prompt) override;
    // Applies the action to the payload's records in the session. False when the session is closed.
    bool DoCAPSPackageManagementOperations(CAPSSessionPtr& session,
                                           CAPSQueryUtilities::PackageManagementOperationResult& result) override;

private:
    typedef std::map<std::string, std::string> PropertyMap;

    // Records this session as the last to change the payload and commits that; false, said in
    // the log, when it could not.
    bool NoteManipulatingSession(CAPSSessionPtr& session, const std::string& effectiveCode);
    // Opens a session, runs the package-management step and commits; result 0 or 1, each
    // failure logged with its own text.
    int ChangeRecordsOnly(const char* openFailed, const char* stepFailed, const char* commitFailed);
    // The physical repair; sets the status code (6 with "mediaPath" when the media is gone).
    int Repair(UIThreadOperationManager& manager, const std::string& effectiveCode, PropertyMap& properties,
               int& status, ContainerMessage::NamedArguments& statusArguments);

    std::string payloadCode_;
    std::string sessionKey_;
    PayloadOperationConstants::InstallAction action_;
    std::string sourcePath_;  // UTF-8; not necessarily a full path
};
