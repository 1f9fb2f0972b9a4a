// What every stand-in system tool shares: finding the system root it is installed under, and
// the record of its calls that tests can ask for.
#pragma once

#include <string>

namespace tools {

// The system root, from where this program lies: a tool installed at "<root>/usr/bin/hdiutil"
// answers "<root>" for "/usr/bin/hdiutil". False when the program is not at its path under any
// root (run from the build folder, say), so that it never acts on the real system by mistake.
bool FindSystemRoot(const std::string& toolPath, std::string& root);

// When the root holds the folder ".tolk/tool-calls", adds one numbered property list to it with
// the tool's path and its argument vector, so that tests can see exactly how a tool was called.
// Nothing happens otherwise.
void RecordToolCall(const std::string& root, const std::string& toolPath, int argc, char** argv);

}  // namespace tools
