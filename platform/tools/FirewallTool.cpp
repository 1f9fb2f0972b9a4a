// The stand-in for the system firewall's tool, run without arguments after its settings file
// ("/Library/Preferences/com.apple.sharing.firewall.plist") has changed: the firewall rereads
// the file. What the firewall then holds is kept in the system root's ".tolk/firewall.plist":
// "Reloads", how often the tool ran, and "Settings", the settings it read (absent while there
// is no settings file). An unreadable settings file leaves the firewall as it was and ends
// with 1.
#include "ToolSupport.h"

#include "platform/files/Files.h"
#include "platform/formats/PropertyList.h"

#include <cstdio>
#include <string>

namespace {

const char* const kToolPath = "/usr/libexec/FirewallTool";
const char* const kSettingsFile = "/Library/Preferences/com.apple.sharing.firewall.plist";

using platform::PropertyValue;
using platform::PropertyValuePtr;

std::string UnderRoot(const std::string& root, const std::string& path)
{
    return (root == "/" ? std::string() : root) + path;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string root;
    if (!tools::FindSystemRoot(kToolPath, root)) {
        std::fprintf(stderr, "FirewallTool: not installed at %s under a system root\n", kToolPath);
        return 1;
    }
    tools::RecordToolCall(root, kToolPath, argc, argv);

    const std::string statePath = UnderRoot(root, "/.tolk/firewall.plist");
    std::string bytes;
    PropertyValuePtr state;
    if (!platform::ReadWholeFile(statePath, bytes) || !platform::ParsePropertyList(bytes, state) ||
        !state->IsDictionary())
        state = PropertyValue::MakeDictionary();
    platform::ConstPropertyValuePtr reloads = state->Get("Reloads");
    state->Set("Reloads", PropertyValue::MakeInteger((reloads ? reloads->IntegerValue() : 0) + 1));

    const std::string settingsPath = UnderRoot(root, kSettingsFile);
    PropertyValuePtr settings;
    if (!platform::ReadWholeFile(settingsPath, bytes)) {
        state->DictionaryItems().erase("Settings");
    } else if (!platform::ParsePropertyList(bytes, settings) || !settings->IsDictionary()) {
        std::fprintf(stderr, "FirewallTool: %s: not a settings dictionary\n", settingsPath.c_str());
        return 1;
    } else {
        state->Set("Settings", settings);
    }

    std::string stateBytes;
    if (!platform::SerializePropertyListXML(*state, stateBytes) ||
        !platform::WriteFileAtomically(statePath, stateBytes)) {
        std::fprintf(stderr, "FirewallTool: unable to write %s\n", statePath.c_str());
        return 1;
    }
    return 0;
}
