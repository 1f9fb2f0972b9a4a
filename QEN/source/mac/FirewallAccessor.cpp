#include "FirewallAccessor.h"

#include "Common/source/mac/ExecUtils.h"
#include "Common/source/mac/MacUtils.h"
#include "Common/source/xplat/FileSystemPath.h"

#include "platform/SystemLog.h"
#include "platform/SystemRoot.h"
#include "platform/files/Files.h"
#include "platform/formats/UnicodeText.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

using platform::PropertyValue;
using platform::PropertyValuePtr;

namespace {

const char* const kSettingsFile = "/Library/Preferences/com.apple.sharing.firewall.plist";
const char* const kFirewallTool = "/usr/libexec/FirewallTool";
const char* const kRulesKey = "firewall";
const char* const kAllPortsKey = "allports";
const char* const kPortsKey = "port";

std::string SettingsFilePath()
{
    return platform::SystemRoot::Resolve(kSettingsFile);
}

// The settings' root dictionary from the file's bytes; false when they cannot be parsed (the
// reason goes to the system log: the file is the system's, not this run's) or the root is no
// dictionary.
bool ParseSettings(const std::string& bytes, PropertyValuePtr& root)
{
    const std::string path = SettingsFilePath();
    PropertyValuePtr parsed;
    if (!platform::ParsePropertyList(bytes, parsed)) {
        platform::SystemLog("Unable to parse the firewall settings at \"" + path + "\": not a property list");
        return false;
    }
    if (!parsed->IsDictionary())
        return false;
    root = parsed;
    return true;
}

// The settings' root dictionary; false when there is no file or it cannot be read as settings.
bool ReadSettings(PropertyValuePtr& root)
{
    std::string bytes;
    return platform::ReadWholeFile(SettingsFilePath(), bytes) && ParseSettings(bytes, root);
}

bool WriteSettings(const PropertyValuePtr& root)
{
    std::string bytes;
    if (!platform::SerializePropertyListXML(*root, bytes))
        return false;
    return platform::WriteFileAtomically(SettingsFilePath(), bytes, platform::LinkHandling::kWriteThrough);
}

std::string FirewallToolPath()
{
    return platform::SystemRoot::Resolve(kFirewallTool);
}

// Whether the firewall tool may be run (ExecUtils::MayRunProgram): asked before the settings are
// written, so that a change whose tool is refused changes nothing.
bool FirewallToolMayRun()
{
    return ExecUtils::MayRunProgram(FirewallToolPath());
}

// Makes the firewall reread its settings; its result is not judged.
void RefreshFirewall()
{
    std::vector<std::string> arguments(1, FirewallToolPath());
    bool ioError = false;
    ExecUtils::RunExecutable(arguments, nullptr, 0, nullptr, ioError, false);
}

// The rule's ports, when "port" is an array.
bool RulePorts(const PropertyValue& rule, PropertyValue::Array& ports)
{
    platform::ConstPropertyValuePtr value = rule.Get(kPortsKey);
    if (!value || value->GetType() != PropertyValue::kArray)
        return false;
    ports = value->ArrayItems();
    return true;
}

bool IsOneOf(const PropertyValuePtr& value, const PropertyValue::Array& values)
{
    for (const PropertyValuePtr& candidate : values) {
        if (*candidate == *value)
            return true;
    }
    return false;
}

void RemovePorts(PropertyValue::Array& allPorts, const PropertyValue::Array& ports)
{
    allPorts.erase(std::remove_if(allPorts.begin(), allPorts.end(),
                                  [&ports](const PropertyValuePtr& value) { return IsOneOf(value, ports); }),
                   allPorts.end());
}

bool IsUTF8Name(const std::string& name)
{
    platform::UnicodeText text;
    return platform::UnicodeText::FromUTF8(name, text);
}

}  // namespace

FirewallAccessor::FirewallAccessor() {}

FirewallAccessor::~FirewallAccessor() {}

bool FirewallAccessor::SetEntry(const FirewallEntry& entry)
{
    PropertyValuePtr root;
    if (!ReadSettings(root))
        root = PropertyValue::MakeDictionary();

    PropertyValue::Dictionary& rootItems = root->DictionaryItems();
    PropertyValue::Dictionary::iterator rules = rootItems.find(kRulesKey);
    if (rules == rootItems.end()) {
        root->Set(kRulesKey, PropertyValue::MakeDictionary());
        rules = rootItems.find(kRulesKey);
    }
    if (!rules->second->IsDictionary())
        return false;
    rules->second->Set(entry.GetName(), entry.GetContent()->Clone());

    PropertyValue::Array ports;
    if (entry.IsEnableSet() && RulePorts(*entry.GetContent(), ports)) {
        PropertyValue::Dictionary::iterator allPorts = rootItems.find(kAllPortsKey);
        if (allPorts == rootItems.end()) {
            root->Set(kAllPortsKey, PropertyValue::MakeArray());
            allPorts = rootItems.find(kAllPortsKey);
        }
        if (allPorts->second->GetType() == PropertyValue::kArray) {
            PropertyValue::Array& open = allPorts->second->ArrayItems();
            RemovePorts(open, ports);
            // A rule that lists a port twice still opens it once.
            for (const PropertyValuePtr& port : ports) {
                if (!IsOneOf(port, open))
                    open.push_back(port->Clone());
            }
        }
    }

    if (!FirewallToolMayRun() || !WriteSettings(root))
        return false;
    RefreshFirewall();
    return true;
}

bool FirewallAccessor::RemoveEntryWithName(const std::string& name, FirewallEntryPtr& removed)
{
    removed.reset();
    if (!IsUTF8Name(name))
        return false;
    PropertyValuePtr root;
    if (!ReadSettings(root))
        return true;
    PropertyValue::Dictionary& rootItems = root->DictionaryItems();
    PropertyValue::Dictionary::iterator rules = rootItems.find(kRulesKey);
    if (rules == rootItems.end() || !rules->second->IsDictionary())
        return true;
    PropertyValue::Dictionary& ruleItems = rules->second->DictionaryItems();
    PropertyValue::Dictionary::iterator rule = ruleItems.find(name);
    if (rule == ruleItems.end() || !rule->second->IsDictionary())
        return true;

    FirewallEntryPtr entry(new FirewallEntry(name, rule->second));
    ruleItems.erase(rule);

    PropertyValue::Array ports;
    PropertyValue::Dictionary::iterator allPorts = rootItems.find(kAllPortsKey);
    if (entry->IsEnableSet() && RulePorts(*entry->GetContent(), ports) && allPorts != rootItems.end() &&
        allPorts->second->GetType() == PropertyValue::kArray)
        RemovePorts(allPorts->second->ArrayItems(), ports);

    if (!FirewallToolMayRun() || !WriteSettings(root))
        return false;
    removed = entry;
    RefreshFirewall();
    return true;
}

FirewallEntryPtr FirewallAccessor::GetEntryWithName(const std::string& name)
{
    PropertyValuePtr root;
    if (!ReadSettings(root))
        return FirewallEntryPtr();
    platform::ConstPropertyValuePtr rules = root->Get(kRulesKey);
    if (!rules || !rules->IsDictionary())
        return FirewallEntryPtr();
    platform::ConstPropertyValuePtr rule = rules->Get(name);
    if (!rule || !rule->IsDictionary())
        return FirewallEntryPtr();
    return FirewallEntryPtr(new FirewallEntry(name, rule->Clone()));
}

bool FirewallAccessor::GetUnreadableSettings(std::string& bytes)
{
    std::string contents;
    PropertyValuePtr root;
    if (!platform::ReadWholeFile(SettingsFilePath(), contents) || ParseSettings(contents, root))
        return false;
    bytes.swap(contents);
    return true;
}

bool FirewallAccessor::RestoreSettings(const std::string& bytes)
{
    if (!FirewallToolMayRun() ||
        !platform::WriteFileAtomically(SettingsFilePath(), bytes, platform::LinkHandling::kWriteThrough))
        return false;
    RefreshFirewall();
    return true;
}
