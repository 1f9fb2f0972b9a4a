// The stand-in for the launchd control tool. It knows four verbs:
//   launchctl load PLIST      launchctl unload PLIST
//   launchctl start LABEL     launchctl stop LABEL
// and keeps what launchd would know in the system root's ".tolk/launchd.plist": one entry per
// loaded daemon, under its "Label", with the property list's "Path" and whether it is "Started"
// (a daemon that runs at load starts when loaded). No daemon program is ever run. Failures print
// "launchctl: <reason>" and end with 1.
#include "ToolSupport.h"

#include "platform/files/Files.h"
#include "platform/formats/PropertyList.h"

#include <cstdio>
#include <string>

namespace {

const char* const kToolPath = "/bin/launchctl";

using platform::PropertyValue;
using platform::PropertyValuePtr;

std::string gRoot;

std::string StatePath()
{
    return (gRoot == "/" ? std::string() : gRoot) + "/.tolk/launchd.plist";
}

int Fail(const std::string& reason)
{
    std::fprintf(stderr, "launchctl: %s\n", reason.c_str());
    return 1;
}

int Usage()
{
    std::fprintf(stderr, "usage: launchctl load|unload plist\n       launchctl start|stop label\n");
    return 1;
}

PropertyValuePtr ReadState()
{
    std::string bytes;
    PropertyValuePtr state;
    if (platform::ReadWholeFile(StatePath(), bytes) && platform::ParsePropertyList(bytes, state) &&
        state->IsDictionary())
        return state;
    return PropertyValue::MakeDictionary();
}

bool WriteState(const PropertyValue& state)
{
    std::string bytes;
    return platform::SerializePropertyListXML(state, bytes) && platform::WriteFileAtomically(StatePath(), bytes);
}

// The daemon's property list and its label, as launchd reads them.
bool ReadDaemon(const std::string& path, PropertyValuePtr& daemon, std::string& label)
{
    std::string bytes;
    if (!platform::ReadWholeFile(path, bytes) || !platform::ParsePropertyList(bytes, daemon) ||
        !daemon->IsDictionary() || !daemon->GetString("Label", label) || label.empty())
        return false;
    return true;
}

int Load(const std::string& path)
{
    PropertyValuePtr daemon;
    std::string label;
    if (!ReadDaemon(path, daemon, label))
        return Fail("no plist was returned for: " + path);
    PropertyValuePtr state = ReadState();
    if (state->Get(label))
        return Fail(label + ": service already loaded");
    platform::ConstPropertyValuePtr runAtLoad = daemon->Get("RunAtLoad");
    PropertyValuePtr entry = PropertyValue::MakeDictionary();
    entry->Set("Path", PropertyValue::MakeString(path));
    entry->Set("Started", PropertyValue::MakeBoolean(runAtLoad && runAtLoad->BooleanValue()));
    state->Set(label, entry);
    return WriteState(*state) ? 0 : Fail("unable to record the loaded service " + label);
}

int Unload(const std::string& path)
{
    PropertyValuePtr daemon;
    std::string label;
    if (!ReadDaemon(path, daemon, label))
        return Fail("no plist was returned for: " + path);
    PropertyValuePtr state = ReadState();
    if (state->DictionaryItems().erase(label) == 0)
        return Fail("Error unloading: " + label);
    return WriteState(*state) ? 0 : Fail("unable to record the unloaded service " + label);
}

int StartOrStop(const std::string& verb, const std::string& label)
{
    PropertyValuePtr state = ReadState();
    PropertyValue::Dictionary::iterator entry = state->DictionaryItems().find(label);
    if (entry == state->DictionaryItems().end() || !entry->second->IsDictionary())
        return Fail(verb + " error: No such process");
    entry->second->Set("Started", PropertyValue::MakeBoolean(verb == "start"));
    return WriteState(*state) ? 0 : Fail("unable to record the " + verb + " of " + label);
}

}  // namespace

int main(int argc, char** argv)
{
    if (!tools::FindSystemRoot(kToolPath, gRoot)) {
        std::fprintf(stderr, "launchctl: not installed at %s under a system root\n", kToolPath);
        return 1;
    }
    tools::RecordToolCall(gRoot, kToolPath, argc, argv);
    if (argc != 3)
        return Usage();
    const std::string verb = argv[1];
    if (verb == "load")
        return Load(argv[2]);
    if (verb == "unload")
        return Unload(argv[2]);
    if (verb == "start" || verb == "stop")
        return StartOrStop(verb, argv[2]);
    return Usage();
}
