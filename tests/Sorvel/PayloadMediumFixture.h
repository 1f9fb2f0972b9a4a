// A fixture that lays out installation media under a temporary system root: payload sub-folders
// with proxy files (and, when asked, images) and a "Setup.xml", and ends the process-wide payload
// session after each test.
#pragma once

#include "Sorvel/source/xplat/PayloadSessionManager.h"

#include "tests/support/TempSystemRoot.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

namespace tolktest {

// The text of a proxy file; extra elements go inside PayloadInfo.
inline std::string ProxyXml(const std::string& code, const std::string& productName = "Product",
                            const std::string& version = "1.0", const std::string& extra = "")
{
    std::string properties;
    if (!code.empty())
        properties += "<Property name=\"OrvexCode\">" + code + "</Property>";
    if (!productName.empty())
        properties += "<Property name=\"ProductName\">" + productName + "</Property>";
    if (!version.empty())
        properties += "<Property name=\"ProductVersion\">" + version + "</Property>";
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?><PayloadInfo version=\"2.0\"><InstallerProperties>" +
           properties +
           "</InstallerProperties><BuildInfo><Property name=\"Created\">20240611.1</Property></BuildInfo>"
           "<Satisfies><ProductInfo><Family>Family</Family><ProductName>" +
           productName + "</ProductName><ProductVersion>" + version + "</ProductVersion></ProductInfo></Satisfies>" +
           extra + "</PayloadInfo>";
}

class PayloadMediumTest : public SystemRootTest {
protected:
    void SetUp() override
    {
        medium_ = sysroot_.Path("/Users/Shared/medium");
        MakeFolders(medium_ + "/payloads");
    }
    void TearDown() override { PayloadSessionManager::Release(); }

    // payloads/<folder>/<file> with the text; answers its path.
    std::string AddProxy(const std::string& folder, const std::string& text,
                         const std::string& file = "", bool withImage = false)
    {
        const std::string name = file.empty() ? folder + ".proxy.xml" : file;
        const std::string path = medium_ + "/payloads/" + folder + "/" + name;
        MakeFolders(medium_ + "/payloads/" + folder);
        WriteTextFile(path, text);
        if (withImage)
            WriteTextFile(medium_ + "/payloads/" + folder + "/" + folder + ".dmg", "image");
        return path;
    }
    void WriteSetupXml(const std::string& body)
    {
        WriteTextFile(medium_ + "/payloads/Setup.xml",
                      "<?xml version=\"1.0\" encoding=\"utf-8\"?><Setup>" + body + "</Setup>");
    }

    // Library/Logs/Orvex/Installers of the system when running as root, else of the user.
    std::string LogFolder() const
    {
        return (geteuid() == 0 ? sysroot_.Path("/Library") : sysroot_.Home() + "/Library") + "/Logs/Orvex/Installers";
    }

    std::string medium_;  // the installer parent
};

}  // namespace tolktest
