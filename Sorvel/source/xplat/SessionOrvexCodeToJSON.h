// SessionOrvexCodeToJSON: the description of one session payload that GetSessionData hands to
// the wizard pages: names, version, languages, licence languages, product relations, install
// folder, sizes, conflicting processes, media, all from the proxy file, the media source and the
// media record in the installation database.
#pragma once

#include <string>

class InstallerEngine;

namespace JSONUtilities {
class JSONObject;
}

class SessionOrvexCodeToJSON {
public:
    // Copies share the target.
    SessionOrvexCodeToJSON(JSONUtilities::JSONObject& target, InstallerEngine* engine,
                           const std::string& driverPayloadOrvexCode);
    SessionOrvexCodeToJSON(const SessionOrvexCodeToJSON& other);

    // Adds the description of the session payload with the code as a member named by the code.
    void operator()(const std::string& orvexCode) const;

private:
    SessionOrvexCodeToJSON& operator=(const SessionOrvexCodeToJSON&) = delete;

    JSONUtilities::JSONObject& target_;
    InstallerEngine* engine_;
    std::string driverPayloadOrvexCode_;
};
