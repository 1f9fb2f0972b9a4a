#include "ExampleMedium.h"

#include "support/TempSystemRoot.h"

#include <unistd.h>

#include <filesystem>
#include <stdexcept>

namespace tolktest {

namespace fs = std::filesystem;

const char kExamplePayloadCode[] = "{EAA9F4CF-E360-4950-BA50-519B03622F12}";

namespace {

// The bootstrapper records the session's collection; a real one also copies Setup into it.
const char kBootstrapperInstructions[] =
    "var folder = QENGetProperty('INSTALLDIR');\n"
    "var installers = folder.substring(0, folder.lastIndexOf('/'));\n"
    "if (!QENPathExists(installers) && !QENCreateDirectory(installers)) throw new Error('no folder');\n"
    "if (!QENCreateDirectory(folder)) throw new Error('no folder');\n"
    "QENAddToUninstallScript(\"QENDeleteDirectory('\" + folder + \"');\");\n"
    "if (!QENCAPSWriteCollectionData(QENGetProperty('sessionID'), QENGetProperty('driverOrvexCode'),\n"
    "                                QENGetProperty('installSourcePath'), ''))\n"
    "  throw new Error('collection not recorded');\n";

}  // namespace

void MakeExampleMedium(const std::string& folder, const std::string& payloadInstructions)
{
    MakeFolders(folder);
    fs::copy(TOLK_SOURCE_DIR "/examples/payloads", folder + "/payloads", fs::copy_options::recursive);
    fs::copy(TOLK_SOURCE_DIR "/examples/resources", folder + "/resources", fs::copy_options::recursive);
    // The example installs into the real /Applications; here it goes to the root's.
    const std::string proxy = folder + "/payloads/OrvexSketchbook/OrvexSketchbook.proxy.xml";
    std::string text = ReadTextFile(proxy);
    const std::string::size_type at = text.find(">/Applications<");
    if (at == std::string::npos)
        throw std::runtime_error("the example's install folder has moved");
    WriteTextFile(proxy, text.replace(at, 15, ">[ProgramFiles]<"));

    WriteCommandImage(folder + "/Bootstrapper.dmg", "", kBootstrapperInstructions);
    WriteCommandImage(folder + "/payloads/OrvexSketchbook/OrvexSketchbook.dmg", kExamplePayloadCode,
                      payloadInstructions);
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
