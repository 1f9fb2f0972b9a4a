// The script functions of the service, spawn, PDF setting, firewall and self-healing commands:
// argument counts and conversions, and the processing result each hands back.
#include "QENSystemCommandTest.h"

using platform::PropertyValuePtr;
using qentest::Exists;

namespace {

class QENSystemCommandFunctionsTest : public qentest::QENSystemCommandTest {};

struct FunctionArity {
    const char* name;
    int arguments;
};

const FunctionArity kFunctions[] = {
    {"QENServiceInstall", 8}, {"QENServiceControl", 2},       {"QENServiceMonitor", 3},
    {"QENSpawn", 3},          {"QENRemovePDFSettingEntry", 2}, {"QENWritePDFSettingEntry", 3},
    {"QENAddFirewallEntry", 2}, {"QENRemoveFirewallEntry", 1}, {"QENOrvexSelfHeal", 5},
    {"QENOrvexSelfHealUninstall", 1},
};

std::string Call(const std::string& name, int count)
{
    std::string call = name + "(";
    for (int i = 0; i < count; ++i)
        call += (i ? ", " : "") + std::string("'x'");
    return call + ")";
}

}  // namespace

TEST_F(QENSystemCommandFunctionsTest, EveryFunctionDemandsItsExactArgumentCount)
{
    for (const FunctionArity& function : kFunctions) {
        EXPECT_EQ(Code(Call(function.name, function.arguments - 1)), "20") << function.name;
        EXPECT_EQ(Code(Call(function.name, function.arguments + 1)), "20") << function.name;
    }
    EXPECT_EQ(engine_->PerformedCommandCount(), 0u);
    EXPECT_TRUE(controller_.calls.empty());
}

TEST_F(QENSystemCommandFunctionsTest, ServiceInstallTakesAnythingButAnArrayAsNoArguments)
{
    const std::string path = Sys("/Library/LaunchDaemons/com.orvex.a.plist");
    EXPECT_EQ(Eval("QENServiceInstall('/usr/sbin/a', '" + path + "', 'com.orvex.a', 'A', 'not an array', 'auto', "
                   "'', 1)"),
              "true");
    PropertyValuePtr daemon = ReadPlist(path);
    ASSERT_TRUE(daemon);
    EXPECT_EQ(daemon->Get("ProgramArguments")->ArrayItems().size(), 1u);
    std::string user;
    daemon->GetString("UserName", user);
    EXPECT_EQ(user, "root");  // the number 1 reads as "1"

    EXPECT_EQ(Eval("QENServiceInstall('/usr/sbin/a', '" + path + "', 'com.orvex.a', 'A', ['-v', 2], 'auto', '', 0)"),
              "true");
    daemon = ReadPlist(path);
    ASSERT_EQ(daemon->Get("ProgramArguments")->ArrayItems().size(), 3u);
    EXPECT_EQ(daemon->Get("ProgramArguments")->ArrayItems()[2]->StringValue(), "2");
    // A relative property-list path is no path: the call throws inside.
    EXPECT_EQ(Code("QENServiceInstall('/usr/sbin/a', 'relative.plist', 'l', 'd', [], 'auto', '', '1')"), "-29");
    EXPECT_EQ(Code("QENOrvexSelfHealUninstall(undefined)"), "-29");
    // Into a folder that does not exist: the command fails, the script gets false.
    EXPECT_EQ(Eval("QENServiceInstall('/usr/sbin/a', '" + sysroot_.Scratch() + "/none/a.plist', 'l', 'd', [], '', "
                   "'', '')"),
              "false");
}

TEST_F(QENSystemCommandFunctionsTest, ServiceControlAndMonitorHandBackTheirResults)
{
    EXPECT_EQ(Eval("QENServiceControl('com.orvex.a', 'load')"), "true");
    EXPECT_EQ(Eval("QENServiceControl('com.orvex.a', 'restart')"), "false");
    EXPECT_EQ(Eval("QENServiceMonitor('sample', '/usr/bin/monitor', 'install')"), "true");
    EXPECT_TRUE(Exists(Sys("/etc/mach_init_per_user.d/sample.monitor.plist")));
    EXPECT_EQ(Eval("QENServiceMonitor('sample', '/usr/bin/monitor', 'pause')"), "false");
    EXPECT_EQ(engine_->PerformedCommandCount(), 2u);
}

TEST_F(QENSystemCommandFunctionsTest, SpawnWantsAnArrayOfArguments)
{
    const std::string program = sysroot_.Scratch() + "/program";
    WriteExecutable(program, "#!/bin/sh\necho \"$*\" > '" + sysroot_.Scratch() + "/out'\n");
    EXPECT_EQ(Code("QENSpawn('" + program + "', false, 'a b')"), "19");
    EXPECT_FALSE(Exists(sysroot_.Scratch() + "/out"));
    EXPECT_EQ(Eval("QENSpawn('" + program + "', 0, ['a', 1, true])"), "true");
    EXPECT_EQ(tolktest::ReadTextFile(sysroot_.Scratch() + "/out"), "a 1 true\n");
}

TEST_F(QENSystemCommandFunctionsTest, FirewallPortsComeAsTcpPairs)
{
    const std::string settings = Sys("/Library/Preferences/com.apple.sharing.firewall.plist");
    EXPECT_EQ(Code("QENAddFirewallEntry('Orvex', ['tcp', 80, 'udp', 53])"), "19");
    EXPECT_EQ(Code("QENAddFirewallEntry('Orvex', ['TCP', 80])"), "19");
    EXPECT_EQ(Code("QENAddFirewallEntry('Orvex', ['tcp', 80, 'tcp'])"), "19");
    EXPECT_EQ(Code("QENAddFirewallEntry('Orvex', 'tcp 80')"), "19");
    EXPECT_FALSE(Exists(settings));
    EXPECT_EQ(engine_->PerformedCommandCount(), 0u);

    EXPECT_EQ(Eval("QENAddFirewallEntry('Orvex', ['tcp', 80, 'tcp', '443'])"), "true");
    PropertyValuePtr root = ReadPlist(settings);
    ASSERT_TRUE(root);
    const platform::PropertyValue::Array& ports = root->Get("firewall")->Get("Orvex")->Get("port")->ArrayItems();
    ASSERT_EQ(ports.size(), 2u);
    EXPECT_EQ(ports[1]->StringValue(), "443");

    EXPECT_EQ(Eval("QENAddFirewallEntry('Empty', [])"), "true");
    root = ReadPlist(settings);
    EXPECT_FALSE(root->Get("firewall")->Get("Empty")->Get("port"));
    EXPECT_EQ(root->Get("allports")->ArrayItems().size(), 2u);
    EXPECT_EQ(Eval("QENRemoveFirewallEntry('Orvex')"), "true");
    EXPECT_FALSE(ReadPlist(settings)->Get("firewall")->Get("Orvex"));
}

TEST_F(QENSystemCommandFunctionsTest, AStopRequestKeepsTheCommandFromRunning)
{
    controller_.stopAt = 1;
    EXPECT_EQ(Code("QENWritePDFSettingEntry('fr_FR', 'A', 'a-fr')"), "-34");
    EXPECT_EQ(Eval("try { QENServiceMonitor('sample', '/usr/bin/monitor', 'install') } catch (e) { 'stopped' }"),
              "stopped");
    EXPECT_FALSE(Exists(Sys("/Library/Preferences/com.orvex.PDFAdminSettings.plist")));
    EXPECT_FALSE(Exists(Sys("/etc/mach_init_per_user.d/sample.monitor.plist")));
}
