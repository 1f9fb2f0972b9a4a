// PayloadOperationConstants: what a payload operation is asked to do and the result code it
// ends with. Header only: the installation database's package-management step takes the action
// too, and that library must not link the engine's.
#pragma once

namespace PayloadOperationConstants {

// The action of a payload operation, as the script interface passes it (0, 1, 2).
enum InstallAction : int {
    kInstall = 0,
    kRepair = 1,
    kUninstall = 2
};

// The result code of an operation, posted as the code of its final status message. A "tolk1"
// payload passes its own codes 0 to 7 through unchanged, so every int in that range may occur.
enum OperationResult : int {
    kSuccess = 0,
    kCancelled = 1,
    kFailed = 2,
    kConflictsFound = 3,     // the install simulation found conflicting payloads
    kMediaMissing = 6,       // the payload's media is missing (argument "mediaPath")
    kSuccessWithMessage = 7  // success, with the message the proxy holds for the action
};

// 0, 5 (a "tolk1" payload's other success) and 7 count as success; every other code as failure.
inline bool CountsAsSuccess(int result)
{
    return result == kSuccess || result == 5 || result == kSuccessWithMessage;
}

}  // namespace PayloadOperationConstants
