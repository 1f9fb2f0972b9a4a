// InstallPayloadOperation: installs one command payload (or the session's bootstrapper) on the
// install thread. A payload that an installed payload already supersedes is only recorded in the
// installation database; otherwise the command engine installs it and its scripts write the
// records.
#pragma once

#include "Common/source/xplat/FileSystemPath.h"
#include "ThreadOperation.h"
#include "caps/CAPSQueryUtilities.h"

#include <boost/shared_ptr.hpp>

#include <map>
#include <string>

class PayloadAccessor;

template <class SourceProvider>
class InstallPayloadOperation : public ThreadOperation {
public:
    typedef std::map<std::string, std::string> PropertyMap;

    // The whole collection: how the engine installs the bootstrapper.
    InstallPayloadOperation(const std::string& collectionCode, const FileSystemPath& payloadPath,
                            const SourceProvider& sourceProvider, const PropertyMap& properties);
    // One payload of the session, described by its proxy file; adds "ORVEX_SETUP" = "1" to the
    // properties unless they hold it. A proxy without code, product name, version or build
    // leaves the operation without a record, and its call then fails.
    InstallPayloadOperation(const boost::shared_ptr<PayloadAccessor>& accessor, const std::string& sessionKey,
                            const FileSystemPath& payloadPath, const SourceProvider& sourceProvider,
                            const PropertyMap& properties);

    int operator()(UIThreadOperationManager& manager, std::vector<UserInterfaceMessagePrompt>& prompts) override;
    // "PayloadInstaller".
    std::string GetOperationType() override;
    bool GetMessageIfNotCalled(boost::shared_ptr<UserInterfaceMessagePrompt>& prompt) override;
    // Records the install in the session; true without a record. False when the session is closed.
    bool DoCAPSPackageManagementOperations(CAPSSessionPtr& session,
                                           CAPSQueryUtilities::PackageManagementOperationResult& result) override;

    const boost::shared_ptr<CAPSQueryUtilities::PackageManagementData>& GetRecord() const { return record_; }
    const PropertyMap& GetProperties() const { return properties_; }

private:
    boost::shared_ptr<CAPSQueryUtilities::PackageManagementData> record_;
    FileSystemPath payloadPath_;
    SourceProvider sourceProvider_;
    PropertyMap properties_;
};
