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

// Evaluates a component's script and answers its value as text; false for an empty script or a
// failed evaluation.
bool RunThirdPartyScript(InstallerEngine* engine, const std::string& script, std::string& result);

}  // namespace ThirdPartyPayloadSupportUtilites
