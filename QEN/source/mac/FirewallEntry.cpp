#include "FirewallEntry.h"

#include "platform/formats/UnicodeText.h"

#include <stdexcept>

using platform::PropertyValue;

FirewallEntry::FirewallEntry(const std::string& name, const platform::PropertyValuePtr& content)
    : name_(name), content_(content)
{
    if (!content_)
        throw std::logic_error("Unexpected NULL parameter used forming firewall entry");
}

FirewallEntry::FirewallEntry(const std::string& name, const std::vector<std::uint32_t>& ports, bool editable,
                             bool enable)
    : name_(name)
{
    platform::UnicodeText text;
    if (!platform::UnicodeText::FromUTF8(name, text))
        throw std::runtime_error("UTF8 string creation failed while forming firewall entry");
    content_ = PropertyValue::MakeDictionary();
    if (!ports.empty()) {
        platform::PropertyValuePtr portList = PropertyValue::MakeArray();
        for (std::uint32_t port : ports)
            portList->ArrayItems().push_back(PropertyValue::MakeString(std::to_string(port)));
        content_->Set("port", portList);
    }
    content_->Set("editable", PropertyValue::MakeInteger(editable ? 1 : 0));
    content_->Set("enable", PropertyValue::MakeInteger(enable ? 1 : 0));
}

FirewallEntry::~FirewallEntry() {}

bool FirewallEntry::IsEnableSet() const
{
    platform::ConstPropertyValuePtr enable = content_->Get("enable");
    if (!enable)
        return false;
    if (enable->GetType() == PropertyValue::kInteger)
        return enable->IntegerValue() != 0;
    if (enable->GetType() == PropertyValue::kReal)
        return enable->RealValue() != 0.0;
    return false;
}
