// The example installation medium (examples/) laid out for a run of the built Setup under a
// temporary system root, its driver payload's instructions of the test's choosing.
#pragma once

#include <string>

namespace tolktest {

class TempSystemRoot;

// Copies the example's bootstrapper, payloads and resources into folder and gives the driver
// payload's image (Orvex Sketchbook) the given instructions.
void MakeExampleMedium(const std::string& folder, const std::string& payloadInstructions);

// A command payload image (a folder) with a proxy file (code may be empty), an assets folder,
// "Conditions.js" that allows the run, and "Instructions.js".
void WriteCommandImage(const std::string& image, const std::string& code, const std::string& instructions);

// Library/Logs/Orvex/Installers of the system when running as root, else of the user.
std::string SessionLogFolder(const TempSystemRoot& sysroot);

}  // namespace tolktest
