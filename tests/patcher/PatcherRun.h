// Helpers for the SetupPatcher tests: an installed Setup under a temporary system root, patch
// folders beside a copy of the built program, and a run of that copy with its output captured.
#pragma once

#include "tests/support/TempSystemRoot.h"

#include <string>
#include <vector>

namespace patchertest {

struct PatcherResult {
    int exitCode = -1;
    std::string output;  // standard output only
};

// The folder the patcher copies into, under the current system root.
std::string InstallFolder(const tolktest::TempSystemRoot& sysroot);

// Writes an installed Setup.app whose Info.plist holds the given plist <dict> body.
void InstallSetupWithInfo(const tolktest::TempSystemRoot& sysroot, const std::string& dictBody);
// The same with "CFBundleVersion" set to version.
void InstallSetup(const tolktest::TempSystemRoot& sysroot, const std::string& version);

// Copies the built SetupPatcher into folder; answers the copy's path.
std::string PlacePatcher(const std::string& folder);

// Runs program with argv[0] set to argv0 (program itself when empty) and the given arguments,
// in the folder cwd (the test's own when empty).
PatcherResult RunPatcher(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& cwd = "", const std::string& argv0 = "");

}  // namespace patchertest
