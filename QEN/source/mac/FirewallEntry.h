// FirewallEntry: one rule of the system's application firewall: its name and its rule
// dictionary ("port", "editable", "enable" and whatever else the file holds for it).
#pragma once

#include "platform/formats/PropertyList.h"

#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <string>
#include <vector>

class FirewallEntry {
public:
    // A rule as read from the settings file; throws std::logic_error "Unexpected NULL parameter
    // used forming firewall entry" for a missing dictionary.
    FirewallEntry(const std::string& name, const platform::PropertyValuePtr& content);
    // A new rule: "port" with each port as unsigned decimal text (only when there are ports),
    // "editable" and "enable" as 1 or 0. Throws std::runtime_error "UTF8 string creation failed
    // while forming firewall entry" for a name that is not UTF-8 text.
    FirewallEntry(const std::string& name, const std::vector<std::uint32_t>& ports, bool editable, bool enable);
    virtual ~FirewallEntry();

    const std::string& GetName() const { return name_; }
    const platform::PropertyValuePtr& GetContent() const { return content_; }
    // Whether "enable" is a number other than 0.
    bool IsEnableSet() const;

private:
    std::string name_;
    platform::PropertyValuePtr content_;
};

typedef boost::shared_ptr<FirewallEntry> FirewallEntryPtr;
