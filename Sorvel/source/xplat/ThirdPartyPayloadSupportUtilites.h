// ThirdPartyPayloadSupportUtilites: reading the component of a payload of another maker from its
// proxy file: whether the payload is one, and the type and name of its package.
#pragma once

#include "ProxyFileDataStore.h"

#include <boost/shared_ptr.hpp>

#include <string>

class InstallerEngine;

namespace ThirdPartyPayloadSupportUtilites {

// Clears the flag; false for a null store or one without a Satisfies record. Otherwise true, with
// the flag set when the first record's Family is "NonOrvexPayload".
bool IsThirdPartyPayload(const boost::shared_ptr<PayloadProxy::ProxyFileDataStore>& store, bool& isThirdParty);

// The Metadata Type text; true when it is not empty.
bool GetPackageType(PayloadProxy::ThirdPartyComponent& component, std::string& type);

// The Metadata Name text when it is not empty; otherwise the result of its NameScript, when it
// has one; else false.
bool GetPackageName(PayloadProxy::ThirdPartyComponent& component, InstallerEngine* engine, std::string& name);

// Evaluates a component's script in a script engine of its own and answers its value as text (a
// value that is no string in base 10; an undefined one leaves the result as it was). False for
// an empty script, a failed evaluation, or when no script engine can be made (the scripting
// frameworks must have been started).
bool RunThirdPartyScript(InstallerEngine* engine, const std::string& script, std::string& result);

}  // namespace ThirdPartyPayloadSupportUtilites
