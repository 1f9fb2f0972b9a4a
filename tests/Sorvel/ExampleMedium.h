// The example installation medium (examples/) laid out for a run of the built Setup under a
// temporary system root: its payload installs into the root's Applications, and the images that
// the example leaves out are written with scripts of the test's choosing.
#pragma once

#include <string>

namespace tolktest {

class TempSystemRoot;

extern const char kExamplePayloadCode[];

// Copies the example's payloads and resources into folder, writes a "Bootstrapper.dmg" that
// records the session's collection and the payload's image with the given install script.
void MakeExampleMedium(const std::string& folder, const std::string& payloadInstructions);

// A command payload image (a folder) with a proxy file (code may be empty), an assets folder,
// "Conditions.js" that allows the run, and "Instructions.js".
void WriteCommandImage(const std::string& image, const std::string& code, const std::string& instructions);

// Library/Logs/Orvex/Installers of the system when running as root, else of the user.
std::string SessionLogFolder(const TempSystemRoot& sysroot);

}  // namespace tolktest
