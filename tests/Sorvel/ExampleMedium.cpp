#include "ExampleMedium.h"

#include "support/TempSystemRoot.h"

#include <unistd.h>

#include <filesystem>

namespace tolktest {

namespace fs = std::filesystem;

void MakeExampleMedium(const std::string& folder, const std::string& payloadInstructions)
{
    MakeFolders(folder);
    for (const char* part : {"Bootstrapper.dmg", "payloads", "resources"})
        fs::copy(std::string(TOLK_SOURCE_DIR "/examples/") + part, folder + "/" + part, fs::copy_options::recursive);
    WriteTextFile(folder + "/payloads/OrvexSketchbook/OrvexSketchbook.dmg/Instructions.js", payloadInstructions);
}

std::string SessionLogFolder(const TempSystemRoot& sysroot)
{
    return (geteuid() == 0 ? sysroot.Path("/Library") : sysroot.Home() + "/Library") + "/Logs/Orvex/Installers";
}

}  // namespace tolktest
