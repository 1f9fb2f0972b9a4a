// SorvelMutationAccess: the write side of the script interface. Wizard pages and the silent
// workflow call its 17 methods by name to start payload and bootstrapper operations (and wait for
// them), follow and answer the install thread, store a collection's properties, simulate payload
// operations in the installation database, set the exit code, log, take the two cross-process
// locks and write deployment files. Every answer is JSON text.
#pragma once

#include "Common/source/xplat/NamedLock.h"
#include "JSMethodPublisher.h"
#include "Shared/PayloadOperationConstants.h"
#include "caps/CAPSSessionPtr.h"

#include <boost/noncopyable.hpp>
#include <boost/shared_ptr.hpp>

#include <sys/types.h>

#include <map>
#include <string>

class InstallerEngine;
class Logger;
class ThreadOperation;
class ThreadPayloadOperationState;

namespace JSONUtilities {
class JSONObject;
}

class SorvelMutationAccess : private boost::noncopyable, public JSMethodPublisher<SorvelMutationAccess> {
public:
    typedef std::map<std::string, std::string> PropertyMap;

    // The arguments of a payload call: code, action ("install", "repair" or "remove") and, from
    // the third argument, bencoded properties. Throws std::runtime_error for anything unusable;
    // the methods turn that into error 1.
    struct InstallPayloadData {
        InstallPayloadData(const ArgumentList& arguments, Logger* logger);

        std::string orvexCode;
        PayloadOperationConstants::InstallAction action;
        PropertyMap properties;
    };

    // Throws std::runtime_error for a null engine. The logger may be null.
    SorvelMutationAccess(InstallerEngine* engine, Logger* logger);
    // Gives up both locks and rolls an open simulation back, so simulated bookkeeping never
    // reaches the stored database.
    ~SorvelMutationAccess() override;

    // ---- Script methods: operations on the install thread ----
    std::string Log(const ArgumentList& arguments);
    std::string InstallPayload(const ArgumentList& arguments);
    std::string InstallBootstrapper(const ArgumentList& arguments);
    std::string GetInstallStatus(const ArgumentList& arguments);
    std::string PostInstallThreadMessage(const ArgumentList& arguments);
    std::string PostInstallThreadMessageResult(const ArgumentList& arguments);
    std::string PeekInstallThreadMessage(const ArgumentList& arguments);

    // ---- Script methods: the installation database ----
    std::string StoreCollectionProperties(const ArgumentList& arguments);
    std::string OpenCAPSSimulation(const ArgumentList& arguments);
    std::string SimulateInstallPayload(const ArgumentList& arguments);
    std::string CloseCAPSSimulation(const ArgumentList& arguments);

    // ---- Script methods: the workflow, locks and deployment files ----
    std::string SetWorkflowExitCode(const ArgumentList& arguments);
    std::string AcquireBootstrapperLock(const ArgumentList& arguments);
    std::string AcquireSetupLock(const ArgumentList& arguments);
    std::string IsBootstrapperLocked(const ArgumentList& arguments);
    std::string IsSetupLocked(const ArgumentList& arguments);
    std::string SaveDeploymentFiles(const ArgumentList& arguments);

private:
    // One line at the level when there is a logger.
    void WriteLog(int level, const std::string& text) const;
    // The answer of a lock call: error 9999 when the holder holds a lock already, otherwise
    // whether the lock could be taken now. A lock that this user cannot use at all is logged as
    // such, and its error carries "needsAdministratorRights" "1".
    std::string AssignNamedLock(const std::string& name, boost::shared_ptr<NamedLock>& holder) const;
    // Takes the lock into the holder; refusal and stranger say what kept a failed take from the
    // lock's set. A set that another user made and the super-user replaced is logged, as is one
    // that such a user made again each time.
    bool TakeNamedLock(const std::string& name, boost::shared_ptr<NamedLock>& holder,
                       NamedLock::NamedLockPlat::Refusal& refusal, uid_t& stranger) const;
    // {"isLocked":"1"} when a Setup that this user could wait for holds the lock, else "0".
    std::string LockedAnswer(const std::string& name) const;
    // Empty when this Setup may change the installation database; otherwise the answer of a call
    // that would (a root-owned database and no administrator rights), said in the log and
    // noted as the run's cause, with "needsAdministratorRights" "1".
    std::string RefusedWithoutAdministratorRights() const;
    // The answer, log line and cause of what this user may not do: what, then that doing it
    // ("using it") needs administrator rights.
    std::string WithoutAdministratorRights(const std::string& what, const std::string& doing) const;
    // Empty when the bootstrapper that the properties name (as the engine picks it) may be
    // removed: no payload of its collection is installed. Otherwise the answer of the call, said in
    // the log: error 18 with "installedPayloads" (their number), or 16 when the database does not tell.
    std::string RefusedWhileSuiteInstalled(const PropertyMap& properties) const;
    // Blocks until the install thread has stopped, answering each of its questions with 0 (nobody
    // sees them) and serving the caller's run loop in between; state receives the final status.
    bool WaitForInstallOperation(ThreadPayloadOperationState& state);
    bool SleepUnlessThreadEnds();
    // The operation a payload call asks for, chosen by the payload's kind, action and whether it
    // is installed already (judged in the simulation when one is open); false when there is none.
    bool GetInstallOperation(const InstallPayloadData& data, boost::shared_ptr<ThreadOperation>& operation);
    // Adds "message" with the status message's code and named arguments.
    static void ThreadPayloadOpStateToJSON(JSONUtilities::JSONObject& object, const ThreadPayloadOperationState& state);
    // The answer of a started operation, with its final state when the caller asked to wait.
    std::string StartedAnswer(bool wait);

    Logger* logger_;           // not owned; may be null
    InstallerEngine* engine_;  // not owned; never null
    CAPSSessionPtr simulation_;  // open between OpenCAPSSimulation and CloseCAPSSimulation
    boost::shared_ptr<NamedLock> bootstrapperLock_;  // held until destruction once taken
    boost::shared_ptr<NamedLock> setupLock_;          // likewise
};
