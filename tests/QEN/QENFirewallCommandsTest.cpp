#include "QENSystemCommandTest.h"

#include "QEN/source/mac/FirewallAccessor.h"
#include "QEN/source/mac/QENAddFirewallEntryCommand.h"
#include "QEN/source/mac/QENRemoveFirewallEntryCommand.h"

using platform::PropertyValue;
using platform::PropertyValuePtr;
using qentest::Exists;

namespace {

class QENFirewallCommandsTest : public qentest::QENSystemCommandTest {
protected:
    std::string SettingsFile() const { return Sys("/Library/Preferences/com.apple.sharing.firewall.plist"); }

    void WriteSettings(const std::string& body) { tolktest::WriteTextFile(SettingsFile(), PlistText(body)); }

    PropertyValuePtr Settings() { return ReadPlist(SettingsFile()); }

    // "allports" as "a,b,c"; "none" without it.
    std::string AllPorts()
    {
        PropertyValuePtr root = Settings();
        if (!root || !root->Get("allports"))
            return "none";
        std::string text;
        for (const PropertyValuePtr& port : root->Get("allports")->ArrayItems())
            text += (text.empty() ? "" : ",") + port->StringValue();
        return text;
    }

    platform::ConstPropertyValuePtr Rule(const std::string& name)
    {
        PropertyValuePtr root = Settings();
        if (!root || !root->Get("firewall"))
            return platform::ConstPropertyValuePtr();
        return root->Get("firewall")->Get(name);
    }

    // How often the firewall tool has run, and whether the settings it read last are the file's.
    long long Reloads()
    {
        PropertyValuePtr state = ReadPlist(Sys("/.tolk/firewall.plist"));
        return state && state->Get("Reloads") ? state->Get("Reloads")->IntegerValue() : 0;
    }
    bool FirewallHasTheFile()
    {
        PropertyValuePtr state = ReadPlist(Sys("/.tolk/firewall.plist"));
        PropertyValuePtr file = Settings();
        if (!state || !file)
            return false;
        platform::ConstPropertyValuePtr active = state->Get("Settings");
        return active && *active == *file;
    }

    QENCommand* Add(const std::string& name, const std::vector<std::uint32_t>& ports)
    {
        return new QENAddFirewallEntryCommand(CommandLog(), name, ports);
    }
    QENCommand* Remove(const std::string& name) { return new QENRemoveFirewallEntryCommand(CommandLog(), name); }

    static const char* const kOtherRules;
};

// An enabled rule "Web" on 80 and 8080 and a disabled rule "Files" on 548, with keys of their own.
const char* const QENFirewallCommandsTest::kOtherRules =
    "<dict><key>globalstate</key><integer>1</integer>"
    "<key>firewall</key><dict>"
    "<key>Web</key><dict><key>port</key><array><string>80</string><string>8080</string></array>"
    "<key>editable</key><integer>0</integer><key>enable</key><integer>1</integer><key>row</key><integer>3</integer></dict>"
    "<key>Files</key><dict><key>port</key><array><string>548</string></array>"
    "<key>editable</key><integer>1</integer><key>enable</key><integer>0</integer></dict>"
    "</dict>"
    "<key>allports</key><array><string>80</string><string>22</string><string>8080</string></array>"
    "</dict>";

}  // namespace

TEST_F(QENFirewallCommandsTest, AddToAnAbsentFileCreatesTheRuleOpensItsPortsAndRunsTheTool)
{
    ASSERT_TRUE(Perform(Add("Orvex Sync", {427, 548})));
    EXPECT_EQ(*Settings(), *Parse(PlistText("<dict><key>firewall</key><dict><key>Orvex Sync</key><dict>"
                                            "<key>port</key><array><string>427</string><string>548</string></array>"
                                            "<key>editable</key><integer>1</integer><key>enable</key><integer>1</integer>"
                                            "</dict></dict>"
                                            "<key>allports</key><array><string>427</string><string>548</string></array>"
                                            "</dict>")));
    EXPECT_EQ(Reloads(), 1);
    EXPECT_TRUE(FirewallHasTheFile());
    EXPECT_EQ(log_.lines, (std::vector<std::string>{"5 1 Adding firewall rule named \"Orvex Sync\"", "5 1 Added"}));

    log_.lines.clear();
    EXPECT_TRUE(Rollback());
    EXPECT_FALSE(Rule("Orvex Sync"));
    EXPECT_EQ(AllPorts(), "");
    EXPECT_EQ(Reloads(), 2);
    EXPECT_TRUE(FirewallHasTheFile());
    EXPECT_EQ(log_.lines, (std::vector<std::string>{"5 Rolling back prior actions...",
                                                    "5 1 Removing added firewall rule named \"Orvex Sync\"",
                                                    "5 1 Removed"}));
}

TEST_F(QENFirewallCommandsTest, AddMovesKnownPortsToTheEndOnceAndCommitKeepsEverything)
{
    WriteSettings(kOtherRules);
    ASSERT_TRUE(Perform(Add("Orvex", {8080, 427, 427})));
    EXPECT_TRUE(Commit());
    EXPECT_EQ(AllPorts(), "80,22,8080,427");
    ASSERT_TRUE(Rule("Web"));
    EXPECT_EQ(Rule("Web")->Get("row")->IntegerValue(), 3);
    EXPECT_EQ(Settings()->Get("globalstate")->IntegerValue(), 1);
    EXPECT_EQ(Rule("Orvex")->Get("port")->ArrayItems().size(), 3u);
}

TEST_F(QENFirewallCommandsTest, AddUnderAnExistingNameReplacesTheRuleAndRollbackBringsItBack)
{
    WriteSettings(kOtherRules);
    const platform::ConstPropertyValuePtr before = Rule("Web");
    ASSERT_TRUE(Perform(Add("Web", {443})));
    EXPECT_EQ(Rule("Web")->Get("port")->ArrayItems().size(), 1u);
    EXPECT_EQ(AllPorts(), "80,22,8080,443");

    EXPECT_TRUE(Rollback());
    ASSERT_TRUE(Rule("Web"));
    EXPECT_EQ(*Rule("Web"), *before);
    EXPECT_EQ(AllPorts(), "22,80,8080");
    EXPECT_TRUE(FirewallHasTheFile());
    EXPECT_TRUE(log_.Has("5 1 Restoring replaced firewall rule named \"Web\""));
    EXPECT_TRUE(log_.Has("5 1 Restored"));
}

TEST_F(QENFirewallCommandsTest, RemoveOfAnEnabledRuleClosesItsPortsAndRollbackRestoresTheRule)
{
    WriteSettings(kOtherRules);
    const platform::ConstPropertyValuePtr before = Rule("Web");
    ASSERT_TRUE(Perform(Remove("Web")));
    EXPECT_FALSE(Rule("Web"));
    EXPECT_EQ(AllPorts(), "22");
    EXPECT_EQ(Reloads(), 1);

    EXPECT_TRUE(Rollback());
    ASSERT_TRUE(Rule("Web"));
    EXPECT_EQ(*Rule("Web"), *before);
    EXPECT_EQ(AllPorts(), "22,80,8080");
    EXPECT_TRUE(log_.Has("5 1 Restoring removed firewall rule named \"Web\""));
    EXPECT_TRUE(log_.Has("5 1 Restored"));
}

TEST_F(QENFirewallCommandsTest, RemoveOfADisabledRuleLeavesAllPortsButAnEnabledOneClosesSharedPorts)
{
    WriteSettings(kOtherRules);
    ASSERT_TRUE(Perform(Remove("Files")));
    EXPECT_EQ(AllPorts(), "80,22,8080");
    ASSERT_TRUE(Perform(Add("Proxy", {8080})));
    ASSERT_TRUE(Perform(Remove("Proxy")));
    EXPECT_TRUE(Commit());
    EXPECT_FALSE(Rule("Files"));
    ASSERT_TRUE(Rule("Web"));
    EXPECT_EQ(AllPorts(), "80,22");
}

TEST_F(QENFirewallCommandsTest, RemoveOfAMissingRuleWritesNothingAndItsRollbackFails)
{
    WriteSettings(kOtherRules);
    const std::string before = tolktest::ReadTextFile(SettingsFile());
    ASSERT_TRUE(Perform(Remove("Nobody")));
    EXPECT_EQ(tolktest::ReadTextFile(SettingsFile()), before);
    EXPECT_EQ(Reloads(), 0);

    EXPECT_FALSE(Rollback());
    EXPECT_TRUE(log_.Has("5 1 Unable to restore removed firewall rule named \"Nobody\""));
    EXPECT_EQ(tolktest::ReadTextFile(SettingsFile()), before);
}
