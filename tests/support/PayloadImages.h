// Payload images for tests, written at test time (a small command-payload tree as a "*.dmg"
// folder, tar, zip or ISO file), and the record of how the stand-in system tools were called.
#pragma once

#include "tests/support/TempSystemRoot.h"

#include "platform/files/DiskImages.h"

#include <string>
#include <vector>

namespace tolktest {

// Writes a small payload tree into folder (created): a proxy file, two scripts, an assets
// folder with a nested file, an executable and a symbolic link.
void WritePayloadTree(const std::string& folder);

// A folder image "<folder>/<name>" (name ends in ".dmg") holding the payload tree.
std::string MakeFolderImage(const std::string& folder, const std::string& name);
// An image file "<folder>/<name>" of the payload tree in the given format.
std::string MakeFileImage(const std::string& folder, const std::string& name, platform::DiskImageFormat format,
                          const std::string& passphrase = std::string());

// Makes the stand-in tools of this root record their calls; RecordedToolCalls then answers the
// argument vectors in call order, argument 0 included.
void RecordToolCalls(const TempSystemRoot& sysroot);
std::vector<std::vector<std::string> > RecordedToolCalls(const TempSystemRoot& sysroot);

// Whether this process may mount (a bind mount of a scratch folder onto itself is tried and
// undone): where it may, the stand-in disk-image tool mounts its read-only attaches.
bool ProcessMayMount();

// Replaces a tool of the root (say "/usr/bin/hdiutil") with a shell script.
void ReplaceToolWithScript(const TempSystemRoot& sysroot, const std::string& toolPath, const std::string& script);

}  // namespace tolktest
