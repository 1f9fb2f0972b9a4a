// ThirdPartyPayloadSupportUtilites: reading the component of a payload of another maker from its
// proxy file (whether the payload is one, its package type and name, its arguments and success
// codes per action), running the component's scripts, and judging the installer's exit code.
#pragma once

#include "Shared/PayloadOperationConstants.h"
#include "Shared/ProxyFileDataStore.h"

#include <boost/shared_ptr.hpp>

#include <map>
#include <string>
#include <utility>
#include <vector>

class InstallerEngine;

namespace ThirdPartyPayloadSupportUtilites {

typedef std::map<std::string, std::string> PropertyMap;
// Inclusive ranges of exit codes.
typedef std::vector<std::pair<unsigned long, unsigned long> > SuccessRanges;

// Clears the flag; false for a null store or one without a Satisfies record. Otherwise true, with
// the flag set when the first record's Family is "NonOrvexPayload".
bool IsThirdPartyPayload(const boost::shared_ptr<PayloadProxy::ProxyFileDataStore>& store, bool& isThirdParty);

// The Metadata Type text; true when it is not empty.
bool GetPackageType(PayloadProxy::ThirdPartyComponent& component, std::string& type);

// The Metadata Name text when it is not empty; otherwise the result of its NameScript, when it
// has one; else false.
bool GetPackageName(PayloadProxy::ThirdPartyComponent& component, InstallerEngine* engine, std::string& name);

// Without an IsInstalledScript: not installed, true. Otherwise the script's run decides: a value
// that reads as a non-zero integer means installed; any other value leaves installed false.
bool RunIsInstalledScript(PayloadProxy::ThirdPartyComponent& component, InstallerEngine* engine, bool& installed);

// Evaluates a component's script in a script engine of its own and answers its value as text (a
// value that is no string in base 10; an undefined one leaves the result as it was). False for
// an empty script, a failed evaluation, or when no script engine can be made (the scripting
// frameworks must have been started).
bool RunThirdPartyScript(InstallerEngine* engine, const std::string& script, std::string& result);

// The command-line prefix (default empty) and delimiter (default " ") where the component
// states them, and the arguments of the action. Always true.
bool GetOperationArguments(PayloadProxy::ThirdPartyComponent& component,
                           PayloadOperationConstants::InstallAction action, std::string& prefix,
                           std::string& delimiter, PropertyMap& arguments);

// The exit-code ranges of the action that count as success, in document order. A range whose
// bounds do not read as integers, or whose lower bound lies above its upper one, empties the
// list and answers false.
bool GetOperationSuccessRanges(PayloadProxy::ThirdPartyComponent& component,
                               PayloadOperationConstants::InstallAction action, SuccessRanges& ranges);

// A "tolk1" payload's exit code is its result code (0 to 7; false above). For other types the
// result is 0 and the answer is whether the code lies in a range (true without ranges).
bool InterpretThirdPartyExitCode(unsigned long& exitCode, const SuccessRanges& ranges, const std::string& packageType,
                                 const PropertyMap& properties, PayloadOperationConstants::OperationResult& result);

// Replaces every "[name]" in the argument values by the value of that property. Always true.
bool ExpandArgumentValues(const PropertyMap& properties, PropertyMap& arguments);

}  // namespace ThirdPartyPayloadSupportUtilites
