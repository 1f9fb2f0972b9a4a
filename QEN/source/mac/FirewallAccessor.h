// FirewallAccessor: reads and writes the rules of the system firewall's settings file
// ("/Library/Preferences/com.apple.sharing.firewall.plist" under the system root) and, after
// every change, runs the firewall tool so that the firewall takes the new settings.
#pragma once

#include "FirewallEntry.h"

#include <string>

class FirewallAccessor {
public:
    FirewallAccessor();
    ~FirewallAccessor();

    // Stores the rule under its name, replacing any rule of that name; an enabled rule's ports
    // move to the end of "allports", each once. True when the file was written (the tool's own
    // result is not judged).
    bool SetEntry(const FirewallEntry& entry);

    // Removes the named rule and hands it out; an enabled rule's ports leave "allports". True
    // also when there was no such rule (removed then stays empty and nothing is written).
    bool RemoveEntryWithName(const std::string& name, FirewallEntryPtr& removed);

    // The named rule as the file holds it; empty when there is none.
    FirewallEntryPtr GetEntryWithName(const std::string& name);

    // When a settings file is there but cannot be read as settings (it does not parse, or its
    // root is no dictionary), which SetEntry replaces: true with its bytes, so that they can be
    // put back. False when there is no file, it reads as settings, or it cannot be read at all.
    bool GetUnreadableSettings(std::string& bytes);
    // Puts such bytes back as the whole file and runs the firewall tool; true when written.
    bool RestoreSettings(const std::string& bytes);
};
