// Launch Services registration: the system's database of installed applications, kept as a
// registry file under the system root with one line per registration (path, bundle identifier
// and creator, separated by tabs). Tests may put a recording hook in place of the file.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace platform {

struct RegisteredApplication {
    std::string path;
    std::string identifier;  // "CFBundleIdentifier", empty when the item has none
    std::string creator;     // the four-character creator, "????" when unknown
};

// "<root>/Library/Caches/com.apple.LaunchServices/registry".
std::string ApplicationRegistryPath();

// Registers the existing item at the path. Without update an item that is registered already is
// left as it is. 0, or an errno value (ENOENT for a missing item, EINVAL for a path that
// cannot be kept on one line).
int RegisterApplication(const std::string& path, bool update);

// Every registration in the order made (a later line for a path supersedes an earlier one).
// False when the registry cannot be read; a missing registry is empty.
bool ReadApplicationRegistry(std::vector<RegisteredApplication>& applications);

// The applications that can open the existing file at the path, judged by its extension: the
// registered applications, then the application bundles directly in "/Applications", whose
// Info.plist lists the extension (ignoring case) or "*" under CFBundleDocumentTypes /
// CFBundleTypeExtensions. Each application once, in that order; applications that no longer
// exist are left out. False when nothing exists at the path or the registry cannot be read.
bool ApplicationsForDocument(const std::string& path, std::vector<std::string>& applications);

// Replaces the registry file by a hook that is given the path and the update flag and answers
// the registration's result. An empty hook restores the file.
typedef std::function<int(const std::string& path, bool update)> RegistrationHook;
void SetRegistrationHookForTesting(const RegistrationHook& hook);

// The status of a lookup that finds no application.
const int kApplicationNotFoundErr = -10814;

// The registered application that matches every criterion given: its creator (0 matches any),
// its bundle identifier and its file name (null matches any). Only the latest registration of
// a path counts, and only while something still exists there; among several matches the most
// recently registered wins. 0 with the path; kApplicationNotFoundErr when none matches (also
// when no criterion is given or the registry cannot be read).
int FindApplication(std::uint32_t creator, const std::string* identifier, const std::string* name, std::string& path);

}  // namespace platform
