#include "tests/support/LocalizationEnvironment.h"

#include "tests/support/TempSystemRoot.h"

#include "platform/Bundle.h"
#include "platform/ProgramArguments.h"

#include <cstdlib>

namespace tolktest {

LocalizationEnvironment::LocalizationEnvironment()
{
    const char* lang = std::getenv("LANG");
    hadLang_ = lang != nullptr;
    savedLang_ = hadLang_ ? lang : "";
    SetArguments({});
    SetLang("");
}

LocalizationEnvironment::~LocalizationEnvironment()
{
    platform::SetProgramArguments(std::vector<std::string>());
    platform::Bundle::SetMainBundlePathForTesting("");
    if (hadLang_)
        setenv("LANG", savedLang_.c_str(), 1);
    else
        unsetenv("LANG");
}

void LocalizationEnvironment::SetArguments(const std::vector<std::string>& arguments)
{
    std::vector<std::string> all{"/Setup.app/Contents/MacOS/Setup"};
    all.insert(all.end(), arguments.begin(), arguments.end());
    platform::SetProgramArguments(all);
}

void LocalizationEnvironment::SetLang(const std::string& lang)
{
    if (lang.empty())
        unsetenv("LANG");
    else
        setenv("LANG", lang.c_str(), 1);
}

void LocalizationEnvironment::SetMainBundle(const std::string& folder)
{
    platform::Bundle::SetMainBundlePathForTesting(folder);
}

void MakeLocalizedBundle(const std::string& folder, const std::map<std::string, std::string>& tables,
                         const std::string& developmentRegion)
{
    MakeFolders(folder + "/Contents/Resources");
    std::string info =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
        "<key>CFBundleExecutable</key><string>Setup</string>";
    if (!developmentRegion.empty())
        info += "<key>CFBundleDevelopmentRegion</key><string>" + developmentRegion + "</string>";
    info += "</dict></plist>\n";
    WriteTextFile(folder + "/Contents/Info.plist", info);
    for (const auto& table : tables) {
        const std::string lproj = folder + "/Contents/Resources/" + table.first + ".lproj";
        MakeFolders(lproj);
        WriteTextFile(lproj + "/Localizable.strings", table.second);
    }
}

}  // namespace tolktest
