// SorvelJSPublisherUtilities: the answers that every publisher method builds: the success answer,
// the error answer with its "_error" code, and the codes themselves.
#pragma once

#include <map>
#include <string>

namespace SorvelJSPublisherUtilities {

// Key of the result code in an error answer.
extern const std::string kErrorPropertyName;
// Key under which a method adds the installation database's status text to an error answer.
extern const std::string kCAPSErrorPropertyName;

// The result codes written as the value of "_error". 3, 10 and 12 are not used.
enum JSResult {
    kJSResultWrongArgumentCount = 1,  // every method checks its argument count first
    kJSResultBadArgument = 2,         // not convertible to the needed type, or out of range
    kJSResultFileLoadFailed = 4,      // a file to be read is missing or failed to load
    kJSResultDisplayQueryFailed = 5,
    kJSResultMemoryQueryFailed = 6,
    kJSResultProcessorQueryFailed = 7,
    kJSResultOSQueryFailed = 8,
    kJSResultVolumeQueryFailed = 9,
    kJSResultTempFileWriteFailed = 11,
    kJSResultDataDecodeFailed = 13,        // stored data is unreadable or failed to decode
    kJSResultDeploymentFileFailed = 14,    // reading or writing a deployment file failed
    kJSResultNoLogger = 15,
    kJSResultCAPSCallFailed = 16,          // an installation-database call failed
    kJSResultNoManifestErrors = 17,        // there are no manifest errors to show
    kJSResultOperationStartFailed = 18,    // building or starting an operation failed
    kJSResultBencodeDecodeFailed = 19,
    kJSResultSimulationStateInvalid = 20,  // the database simulation is not in the state the call needs
    kJSResultOperationFailed = 21,         // the started operation failed
    kJSResultPortCheckFailed = 22,         // the port check could not run at all
    kJSResultPlatformCallFailed = 9999     // the underlying platform or engine call failed
};

typedef std::map<std::string, std::string> ExtraPropertyMap;

// Exactly { "success": 1 }, blanks included and the 1 unquoted: pages compare it as it stands.
std::string MakeJSONSuccessObj();

// {"_error":"<code>"} followed by one escaped string member per extra pair, in key order.
std::string MakeJSONErrorObj(JSResult code, ExtraPropertyMap extra = ExtraPropertyMap());

}  // namespace SorvelJSPublisherUtilities
