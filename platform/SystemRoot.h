// The one process-wide system root under which every fixed system location lies
// ("/Library/...", "/Applications", "/System/...", the system tools). It is "/" unless the
// environment variable TOLK_SYSTEM_ROOT names another folder, which is how tests and
// examples run the system against a folder of their own.
#pragma once

#include <string>

namespace platform {

class SystemRoot {
public:
    // The root folder, without a trailing "/" unless it is "/" itself.
    static std::string Path();

    // A fixed system location, given as an absolute path ("/Library/Fonts"), as it lies under
    // the root. "/" gives the root itself.
    static std::string Resolve(const std::string& systemPath);

    // The inverse of Resolve for paths inside the root: "/Library" for "<root>/Library".
    // A path outside the root is answered unchanged.
    static std::string Unresolve(const std::string& path);

    // The platform settings of this root (volume overrides and the like), a property list.
    static std::string SettingsFilePath();

    // Whether the environment names a root that can be used: unset (the root is "/"), or the
    // absolute path of an existing folder that this process may search. Otherwise false, with
    // problem saying what is wrong with it, for the user. Programs check it before they start:
    // Path() would take a relative or empty value as "/", the real system.
    static bool CheckEnvironment(std::string& problem);

    // Names the root of this process from now on, as the environment variable does (which it
    // sets): for a value handed over otherwise. CheckEnvironment judges it as any other.
    static void SetPath(const std::string& root);

    // The name of the environment variable that sets the root.
    static const char* const kEnvironmentVariable;
};

}  // namespace platform
