#include "ExampleMedium.h"

#include "tests/support/TempSystemRoot.h"

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

void WriteCommandImage(const std::string& image, const std::string& code, const std::string& instructions)
{
    MakeFolders(image + "/Assets");
    const std::string property = code.empty() ? "" : "<Property name=\"OrvexCode\">" + code + "</Property>";
    WriteTextFile(image + "/Proxy.xml", "<?xml version=\"1.0\" encoding=\"utf-8\"?><PayloadInfo "
                                        "version=\"2.0\"><InstallerProperties>" +
                                            property + "</InstallerProperties></PayloadInfo>");
    WriteTextFile(image + "/Conditions.js", "true;\n");
    WriteTextFile(image + "/Instructions.js", instructions);
}

std::string SessionLogFolder(const TempSystemRoot& sysroot)
{
    return (geteuid() == 0 ? sysroot.Path("/Library") : sysroot.Home() + "/Library") + "/Logs/Orvex/Installers";
}

}  // namespace tolktest
