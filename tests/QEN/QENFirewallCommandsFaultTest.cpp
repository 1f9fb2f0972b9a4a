#include "QENSystemCommandTest.h"

#include "QEN/source/mac/FirewallAccessor.h"
#include "QEN/source/mac/FirewallEntry.h"
#include "QEN/source/mac/QENAddFirewallEntryCommand.h"

#include "platform/SystemLog.h"

namespace {

class QENFirewallCommandsFaultTest : public qentest::QENSystemCommandTest {
protected:
    std::string SettingsFile() const { return Sys("/Library/Preferences/com.apple.sharing.firewall.plist"); }
};

}  // namespace

TEST_F(QENFirewallCommandsFaultTest, AFirewallValueThatIsNoDictionaryFailsTheAddWithoutWriting)
{
    const std::string text = PlistText("<dict><key>firewall</key><array/></dict>");
    tolktest::WriteTextFile(SettingsFile(), text);
    EXPECT_FALSE(Perform(new QENAddFirewallEntryCommand(CommandLog(), "Orvex", {80})));
    EXPECT_TRUE(log_.Has("5 1 Unable to add firewall rule named \"Orvex\""));
    EXPECT_EQ(tolktest::ReadTextFile(SettingsFile()), text);
    EXPECT_FALSE(qentest::Exists(Sys("/.tolk/firewall.plist")));

    // Nothing to remove from such a file.
    FirewallEntryPtr removed;
    EXPECT_TRUE(FirewallAccessor().RemoveEntryWithName("Orvex", removed));
    EXPECT_FALSE(removed);
}

TEST_F(QENFirewallCommandsFaultTest, AnUnparsableFileIsReportedToTheSystemLogAndReplacedByAnAdd)
{
    std::vector<std::string> systemLog;
    platform::SetSystemLogSinkForTesting([&systemLog](const std::string& line) { systemLog.push_back(line); });
    tolktest::WriteTextFile(SettingsFile(), "garbage");
    const bool added = FirewallAccessor().SetEntry(FirewallEntry("Orvex", {80}, true, true));
    platform::SetSystemLogSinkForTesting(nullptr);
    EXPECT_TRUE(added);
    EXPECT_FALSE(systemLog.empty());
    EXPECT_TRUE(log_.lines.empty());
    EXPECT_TRUE(ReadPlist(SettingsFile())->Get("firewall")->Get("Orvex"));
}

TEST_F(QENFirewallCommandsFaultTest, RollingBackAnAddPutsBackAFileThatCouldNotBeRead)
{
    // The add replaces a file that does not parse, or whose root is no dictionary; the rollback
    // gives back that file as it was, not an empty rule set.
    platform::SetSystemLogSinkForTesting([](const std::string&) {});
    for (const std::string& text : {std::string("garbage"), PlistText("<array><string>rule</string></array>")}) {
        tolktest::WriteTextFile(SettingsFile(), text);
        ASSERT_TRUE(Perform(new QENAddFirewallEntryCommand(CommandLog(), "Orvex", {80})));
        EXPECT_TRUE(ReadPlist(SettingsFile())->Get("firewall")->Get("Orvex"));
        EXPECT_TRUE(Rollback());
        EXPECT_EQ(tolktest::ReadTextFile(SettingsFile()), text);
    }
    platform::SetSystemLogSinkForTesting(nullptr);
}

TEST_F(QENFirewallCommandsFaultTest, AFailedWriteFailsTheAddAndRunsNoTool)
{
    // The preferences folder is gone: nothing can be written there.
    std::filesystem::remove_all(Sys("/Library/Preferences"));
    EXPECT_FALSE(Perform(new QENAddFirewallEntryCommand(CommandLog(), "Orvex", {80})));
    EXPECT_FALSE(qentest::Exists(Sys("/.tolk/firewall.plist")));
    EXPECT_EQ(engine_->PerformedCommandCount(), 0u);
}

TEST_F(QENFirewallCommandsFaultTest, EntriesRefuseWhatTheyCannotHold)
{
    EXPECT_THROW(FirewallEntry("Web", platform::PropertyValuePtr()), std::logic_error);
    try {
        FirewallEntry("bad \xC3", {80}, true, true);
        ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "UTF8 string creation failed while forming firewall entry");
    }
    // The add command's perform lets it through to the engine's caller.
    EXPECT_THROW(Perform(new QENAddFirewallEntryCommand(CommandLog(), "bad \xC3", {80})), std::runtime_error);
    FirewallEntryPtr removed;
    EXPECT_FALSE(FirewallAccessor().RemoveEntryWithName("bad \xC3", removed));
}
