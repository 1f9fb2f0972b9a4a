// UninstallBootstrapperOperation: removes the session's bootstrapper (the shared copy of the
// setup program) on the install thread by playing back the uninstall script stored under the
// session key.
#pragma once

#include "ThreadOperation.h"

#include <string>

class UninstallBootstrapperOperation : public ThreadOperation {
public:
    explicit UninstallBootstrapperOperation(const std::string& sessionKey);

    // Leaves the working directory first (for the root of its volume): the folder being removed
    // may be where the program runs from. Posts no status of its own.
    int operator()(UIThreadOperationManager& manager, std::vector<UserInterfaceMessagePrompt>& prompts) override;
    // "UninstallBootstrapperOperation".
    std::string GetOperationType() override;
    // Leaves the prompt unset; true.
    bool GetMessageIfNotCalled(boost::shared_ptr<UserInterfaceMessagePrompt>& prompt) override;
    // Removes the collection from the records in the session. False when the session is closed.
    bool DoCAPSPackageManagementOperations(CAPSSessionPtr& session,
                                           CAPSQueryUtilities::PackageManagementOperationResult& result) override;

private:
    std::string sessionKey_;
};
