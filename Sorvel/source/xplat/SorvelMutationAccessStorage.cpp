// The mutation-access methods that keep something beyond the call: a collection's properties and
// simulated operations in the installation database, the two cross-process locks, and the
// deployment files of an unattended installation.
#include "SorvelMutationAccess.h"

#include "Common/source/xplat/ChangeDiffTypeImpl.h"
#include "Common/source/xplat/CollectionUtils.h"
#include "Common/source/xplat/FileSystemPath.h"
#include "Common/source/xplat/FileSystemUtils.h"
#include "Common/source/xplat/JSONUtilities.h"
#include "Common/source/xplat/LogAppender.h"
#include "Common/source/xplat/Logger.h"
#include "Common/source/xplat/NamedLock.h"
#include "Common/source/xplat/RunReport.h"
#include "DeploymentFileDataStore.h"
#include "InstallerEngine.h"
#include "Shared/TolkConstants.h"
#include "SorvelConstants.h"
#include "SorvelJSPublisherUtilities.h"
#include "ThreadOperation.h"
#include "caps/CAPSQueryUtilities.h"
#include "caps/caps.h"

#include "platform/files/TrustedPath.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <sstream>
#include <stdexcept>

using SorvelJSPublisherUtilities::MakeJSONErrorObj;
using SorvelJSPublisherUtilities::MakeJSONSuccessObj;

namespace {

typedef SorvelMutationAccess::PropertyMap PropertyMap;

std::string Serialized(const JSONUtilities::JSONBase& answer)
{
    std::ostringstream text;
    answer.Serialize(text);
    return text.str();
}

std::string Error(SorvelJSPublisherUtilities::JSResult code)
{
    return MakeJSONErrorObj(code);
}

// Copies the property when it is there with a value; an entry the output has already stays.
bool AddDeploymentProperty(const std::string& name, const PropertyMap& properties, PropertyMap& out)
{
    PropertyMap::const_iterator found = properties.find(name);
    if (found == properties.end() || found->second.empty())
        return false;
    out.insert(*found);
    return true;
}

// Appends one Payload entry with the action to the store, per (code, value) pair it is applied to.
class FuncCreatePayloadDeploymentEntry {
public:
    FuncCreatePayloadDeploymentEntry(DeploymentFile::DeploymentFileDataStore& store, const std::string& action)
        : store_(store), action_(action)
    {
    }
    void operator()(const PropertyMap::value_type& payload) const
    {
        DeploymentFile::PayloadData entry = store_.Payloads().CreateItem();
        entry.OrvexCode().Set(payload.first);
        entry.Action().Set(action_);
    }

private:
    DeploymentFile::DeploymentFileDataStore& store_;
    std::string action_;
};

// Writes a deployment file with the properties and one entry per payload; false when the document
// cannot be made or saved.
bool WriteDeploymentFile(const std::string& path, const PropertyMap& properties, const PropertyMap& payloads,
                         const std::string& action)
{
    DeploymentFile::DeploymentFileDataStore store;
    if (!store.CreateDocument())
        return false;
    store.Properties().Set(properties);
    std::for_each(payloads.begin(), payloads.end(), FuncCreatePayloadDeploymentEntry(store, action));
    return store.Save(path, true);
}

}  // namespace

// ---- The installation database

std::string SorvelMutationAccess::StoreCollectionProperties(const ArgumentList& arguments)
{
    if (arguments.size() < 2)
        return Error(SorvelJSPublisherUtilities::kJSResultWrongArgumentCount);
    const std::string& collection = arguments[0];
    PropertyMap properties;
    if (!CollectionUtils::BencodedDictionaryToMap(arguments[1], properties))
        return Error(SorvelJSPublisherUtilities::kJSResultBencodeDecodeFailed);
    WriteLog(LogAppender::kLogDebug, "Committing collection properties");

    CAPSSessionPtr session;
    if (!session.Open())
        return Error(SorvelJSPublisherUtilities::kJSResultPlatformCallFailed);

    // A third argument that does not convert leaves the override at 0.
    std::int32_t bootstrapOverride = 0;
    if (arguments.size() == 3)
        ZEB::ChangeDiffTypeImpl<std::string, std::int32_t>::ChangeType(arguments[2], bootstrapOverride);
    if (engine_->bootstrapping_ && bootstrapOverride != 1) {
        WriteLog(LogAppender::kLogInfo, "Collection properties are not stored in bootstrap mode");
        return MakeJSONSuccessObj();
    }

    // A failed write takes the others of the call with it: half a property set must not be
    // committed, least of all after the old set was removed.
    const std::string failed = Error(SorvelJSPublisherUtilities::kJSResultCAPSCallFailed);
    const char* marker = nullptr;
    const capsStatus stored = capsGetCollectionData(session, collection.c_str(), kCapsDomainInstaller,
                                                    TolkConstants::kPropCollectionPropertiesSet.c_str(), &marker);
    if (stored == kCapsNotFound) {
        if (capsRemoveCollectionDomainData(session, collection.c_str(), kCapsDomainProperties) != kCapsOK) {
            session.Rollback();
            return failed;
        }
        for (const PropertyMap::value_type& property : properties)
            if (capsSetCollectionData(session, collection.c_str(), kCapsDomainProperties, property.first.c_str(),
                                      property.second.c_str()) != kCapsOK) {
                session.Rollback();
                return failed;
            }
        if (capsSetCollectionData(session, collection.c_str(), kCapsDomainInstaller,
                                  TolkConstants::kPropCollectionPropertiesSet.c_str(), "1") != kCapsOK ||
            !session.Commit()) {
            session.Rollback();
            return failed;
        }
        return MakeJSONSuccessObj();
    }

    WriteLog(LogAppender::kLogInfo, "Only whitelisted mutable properties can be updated");
    for (const std::string& name : TolkConstants::GetMutableSessionOrPayloadProperties()) {
        PropertyMap::const_iterator found = properties.find(name);
        if (found == properties.end())
            continue;
        WriteLog(LogAppender::kLogInfo, "Updating property " + name + " to " + found->second);
        if (capsSetCollectionData(session, collection.c_str(), kCapsDomainProperties, name.c_str(),
                                  found->second.c_str()) != kCapsOK) {
            session.Rollback();
            return failed;
        }
    }
    if (!session.Commit()) {
        session.Rollback();
        return failed;
    }
    return MakeJSONSuccessObj();
}

std::string SorvelMutationAccess::OpenCAPSSimulation(const ArgumentList& arguments)
{
    if (!arguments.empty())
        return Error(SorvelJSPublisherUtilities::kJSResultWrongArgumentCount);
    if (simulation_.IsOpen())
        return Error(SorvelJSPublisherUtilities::kJSResultSimulationStateInvalid);
    if (!simulation_.Open())
        return Error(SorvelJSPublisherUtilities::kJSResultPlatformCallFailed);
    return MakeJSONSuccessObj();
}

std::string SorvelMutationAccess::SimulateInstallPayload(const ArgumentList& arguments)
{
    if (!simulation_.IsOpen())
        return Error(SorvelJSPublisherUtilities::kJSResultSimulationStateInvalid);
    CAPSQueryUtilities::PackageManagementOperationResult result;
    try {
        const InstallPayloadData data(arguments, logger_);
        boost::shared_ptr<ThreadOperation> operation;
        if (!GetInstallOperation(data, operation))
            return Error(SorvelJSPublisherUtilities::kJSResultOperationStartFailed);
        const bool returned = operation->DoCAPSPackageManagementOperations(simulation_, result);
        // An install that conflicts is refused by the database step, and naming what it conflicts
        // with is the point of simulating it; any other refusal, or a step that reports success
        // after a failed write, is a failed simulation.
        if (!CAPSQueryUtilities::PackageManagementOperationSucceeded(returned, result) && result.conflicts.empty())
            return Error(SorvelJSPublisherUtilities::kJSResultOperationStartFailed);
    } catch (const std::runtime_error&) {
        return Error(SorvelJSPublisherUtilities::kJSResultWrongArgumentCount);
    }

    JSONUtilities::JSONObject answer;
    JSONUtilities::JSONObject* message = answer.AddObject("message");
    message->AddProperty("code", result.conflicts.empty() ? PayloadOperationConstants::kSuccess
                                                          : PayloadOperationConstants::kConflictsFound);
    JSONUtilities::JSONObject* results = message->AddObject("simulationResults");
    results->AddArray("conflicting", result.conflicts);
    results->AddArray("upgraded", result.upgraded);
    results->AddArray("corrupted", result.corrupted);
    return Serialized(answer);
}

std::string SorvelMutationAccess::CloseCAPSSimulation(const ArgumentList& arguments)
{
    if (!arguments.empty())
        return Error(SorvelJSPublisherUtilities::kJSResultWrongArgumentCount);
    if (!simulation_.IsOpen())
        return Error(SorvelJSPublisherUtilities::kJSResultSimulationStateInvalid);
    if (!simulation_.Rollback())
        return Error(SorvelJSPublisherUtilities::kJSResultPlatformCallFailed);
    simulation_.Close();
    return MakeJSONSuccessObj();
}

// ---- Locks

bool SorvelMutationAccess::TakeNamedLock(const std::string& name, boost::shared_ptr<NamedLock>& holder,
                                         NamedLock::NamedLockPlat::Refusal& refusal, uid_t& stranger) const
{
    boost::shared_ptr<NamedLock::NamedLockPlat> plat(new NamedLock::NamedLockPlat(name));
    const bool taken = NamedLock::AcquireLock(plat, holder);
    refusal = plat->GetRefusal();
    stranger = plat->Stranger();
    if (plat->ReplacedStranger() && refusal == NamedLock::NamedLockPlat::kNotRefused) {
        WriteLog(LogAppender::kLogWarn, "Removed the semaphore set of the lock \"" + name + "\", which user " +
                                            platform::DescribeUser(stranger) +
                                            " made and Setup does not trust, and made its own");
    } else if (geteuid() == 0 && refusal == NamedLock::NamedLockPlat::kNotTrusted) {
        const std::string reason = "Unable to take the lock \"" + name + "\": user " +
                                   platform::DescribeUser(stranger) +
                                   " made its semaphore set again each time Setup removed it";
        WriteLog(LogAppender::kLogError, reason);
        RunReport::NoteCause(reason);
    }
    return taken;
}

std::string SorvelMutationAccess::AssignNamedLock(const std::string& name, boost::shared_ptr<NamedLock>& holder) const
{
    if (holder)
        return Error(SorvelJSPublisherUtilities::kJSResultPlatformCallFailed);
    NamedLock::NamedLockPlat::Refusal refusal = NamedLock::NamedLockPlat::kNotRefused;
    uid_t stranger = 0;
    if (TakeNamedLock(name, holder, refusal, stranger))
        return MakeJSONSuccessObj();
    // A lock's semaphore outlives the Setup that made it. One that another user cannot open, or
    // may not trust, is no Setup that this user could wait for (and wait for it for good): only
    // the super-user may use or replace it.
    if (geteuid() != 0 && refusal == NamedLock::NamedLockPlat::kNotPermitted)
        return WithoutAdministratorRights("Unable to take the lock \"" + name + "\": " +
                                              (stranger == 0 ? std::string("a Setup run as root made it")
                                                             : "user " + platform::DescribeUser(stranger) + " made it"),
                                          "using it");
    if (geteuid() != 0 && refusal == NamedLock::NamedLockPlat::kNotTrusted)
        return WithoutAdministratorRights("Refused to use the lock \"" + name + "\": user " +
                                              platform::DescribeUser(stranger) +
                                              " made its semaphore set, which Setup does not trust",
                                          "replacing it");
    return Error(SorvelJSPublisherUtilities::kJSResultPlatformCallFailed);
}

std::string SorvelMutationAccess::RefusedWithoutAdministratorRights() const
{
    if (geteuid() == 0)
        return std::string();
    // What a fresh root refuses when it opens the database, an installed one only when the run
    // writes to it, after it has tried to mount images and the like.
    std::string database;
    std::string backup;
    if (!capsGetDatabaseFiles(database, backup))
        return std::string();
    const std::string folder = FileSystemPath(database).Parent().AsUTF8String();
    const bool writable = access(folder.c_str(), W_OK) == 0 && (access(database.c_str(), W_OK) == 0 ||
                                                                (errno == ENOENT && access(folder.c_str(), F_OK) == 0));
    if (writable || access(folder.c_str(), F_OK) != 0)
        return std::string();
    return WithoutAdministratorRights(
        "Unable to change the installation database \"" + database + "\": a Setup run as root made it", "using it");
}

std::string SorvelMutationAccess::WithoutAdministratorRights(const std::string& what, const std::string& doing) const
{
    const std::string reason = what + ", and " + doing + " needs administrator rights, which this Setup (user ID " +
                               std::to_string(geteuid()) + ") does not have. Run Setup as root.";
    WriteLog(LogAppender::kLogError, reason);
    RunReport::NoteCause(reason);
    // The log is this user's, not root's: the page says where it lies.
    const std::string log = logger_ != nullptr ? logger_->GetLogfilePath() : std::string();
    return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultPlatformCallFailed,
                            {{"needsAdministratorRights", "1"}, {"sessionLog", log}});
}

std::string SorvelMutationAccess::AcquireBootstrapperLock(const ArgumentList& arguments)
{
    if (!arguments.empty())
        return Error(SorvelJSPublisherUtilities::kJSResultWrongArgumentCount);
    return AssignNamedLock(SorvelConstants::kBootstrapperLockName, bootstrapperLock_);
}

std::string SorvelMutationAccess::AcquireSetupLock(const ArgumentList& arguments)
{
    if (!arguments.empty())
        return Error(SorvelJSPublisherUtilities::kJSResultWrongArgumentCount);
    return AssignNamedLock(SorvelConstants::kSetupLockName, setupLock_);
}

std::string SorvelMutationAccess::LockedAnswer(const std::string& name) const
{
    boost::shared_ptr<NamedLock> probe;
    NamedLock::NamedLockPlat::Refusal refusal = NamedLock::NamedLockPlat::kNotRefused;
    uid_t stranger = 0;
    bool locked = !TakeNamedLock(name, probe, refusal, stranger);
    // What this user may not use is held by no Setup that it could wait for: the take says why.
    if (geteuid() != 0 && refusal != NamedLock::NamedLockPlat::kNotRefused)
        locked = false;
    probe.reset();
    JSONUtilities::JSONObject answer;
    answer.AddProperty("isLocked", locked);
    return Serialized(answer);
}

std::string SorvelMutationAccess::IsBootstrapperLocked(const ArgumentList& arguments)
{
    if (!arguments.empty())
        return Error(SorvelJSPublisherUtilities::kJSResultWrongArgumentCount);
    return LockedAnswer(SorvelConstants::kBootstrapperLockName);
}

std::string SorvelMutationAccess::IsSetupLocked(const ArgumentList& arguments)
{
    if (!arguments.empty())
        return Error(SorvelJSPublisherUtilities::kJSResultWrongArgumentCount);
    return LockedAnswer(SorvelConstants::kSetupLockName);
}

// ---- Deployment files

std::string SorvelMutationAccess::SaveDeploymentFiles(const ArgumentList& arguments)
{
    if (arguments.size() != 3)
        return Error(SorvelJSPublisherUtilities::kJSResultWrongArgumentCount);
    PropertyMap properties, payloads;
    if (!CollectionUtils::BencodedDictionaryToMap(arguments[1], properties) ||
        !CollectionUtils::BencodedDictionaryToMap(arguments[2], payloads))
        return Error(SorvelJSPublisherUtilities::kJSResultBencodeDecodeFailed);

    PropertyMap filtered;
    for (const std::string& name : TolkConstants::GetWhitelistPayloadProperties())
        AddDeploymentProperty(name, properties, filtered);
    PropertyMap::const_iterator found = properties.find("productName");
    const std::string productName = found == properties.end() ? std::string() : found->second;

    std::string installFile, removeFile;
    try {
        FileSystemPath folder = FileSystemPath::PathFromUTF8(arguments[0]);
        // The product name comes from the page: the files stay in the folder whatever it holds.
        installFile =
            FileSystemPath(folder).AppendUTF8Segment(FileSystemUtils::FileNameFromText(productName, ".install.xml")).AsUTF8String();
        removeFile = folder.AppendUTF8Segment(FileSystemUtils::FileNameFromText(productName, ".remove.xml")).AsUTF8String();
    } catch (const std::runtime_error&) {
        // A folder that is no usable path cannot be written to.
        return Error(SorvelJSPublisherUtilities::kJSResultPlatformCallFailed);
    }
    if (!WriteDeploymentFile(installFile, filtered, payloads, "install"))
        return Error(SorvelJSPublisherUtilities::kJSResultPlatformCallFailed);
    if (!WriteDeploymentFile(removeFile, PropertyMap(), payloads, "remove"))
        return Error(SorvelJSPublisherUtilities::kJSResultDeploymentFileFailed);

    JSONUtilities::JSONObject answer;
    answer.AddProperty("installFile", installFile);
    answer.AddProperty("removeFile", removeFile);
    return Serialized(answer);
}
