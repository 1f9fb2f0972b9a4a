// The data-access methods that need no payload session: the build information, the command line
// with its deployment file, string tables and the session flag.
#include "DataAccessFixture.h"

#include "Common/source/xplat/LogFactory.h"
#include "Sorvel/source/xplat/SorvelConstants.h"

namespace {

using tolktest::DataAccessTest;
using tolktest::WriteTextFile;

TEST_F(DataAccessTest, BuildInfo)
{
    EXPECT_EQ(Call("GetTolkBuildInfo"),
              "{\"Version\":{\"major\":\"2\",\"minor\":\"0\",\"revision\":\"0\",\"build\":\"0\","
              "\"compatibleUpperBound\":\"2.0.0.0\",\"compatibleLowerBound\":\"0.0.66.0\"}}");
}

class CommandLineTest : public DataAccessTest {
protected:
    std::string Deployment(const std::string& body)
    {
        const std::string path = sysroot_.Scratch() + "/answers.install.xml";
        WriteTextFile(path, "<?xml version=\"1.0\" encoding=\"utf-8\"?><Deployment>" + body + "</Deployment>");
        return path;
    }

    // The Sorvel log's lines written while the call runs.
    std::string CallLogged(const std::string& method)
    {
        Logger* logger = LogFactory::Instance().GetLogger(SorvelConstants::kSorvelLog);
        publisher_.reset(new SorvelDataAccess(engine_.get(), logger));
        const std::string log = sysroot_.Scratch() + "/sorvel.log";
        logger->SetLogfilePath(log);
        answer_ = Call(method);
        logger->SetLogfilePath(SorvelConstants::kSorvelLog);
        return tolktest::ReadTextFile(log);
    }

    std::string answer_;
};

TEST_F(CommandLineTest, PropertiesFollowTheDeploymentData)
{
    const std::string file = Deployment(
        "<Properties><Property name=\"INSTALLDIR\">/Applications/\"Q\"</Property>"
        "<Property name=\"ADMIN\">1</Property></Properties>"
        "<Payloads><Payload orvexCode=\"{B}\"><Action>install</Action></Payload>"
        "<Payload orvexCode=\"{A}\"><Action>remove</Action></Payload></Payloads>");
    engine_->ProcessArgumentVector({"--zeta=last", "--deploymentFile=" + file, "--alpha=1", "-norespawn"});
    EXPECT_EQ(Call("GetCommandLineArguments"),
              "{\"DeploymentData\":{\"Properties\":{\"ADMIN\":\"1\",\"INSTALLDIR\":\"/Applications/\\\"Q\\\"\"},"
              "\"PayloadActions\":[{\"orvexCode\":\"{B}\",\"action\":\"install\"},"
              "{\"orvexCode\":\"{A}\",\"action\":\"remove\"}]},"
              "\"Properties\":{\"alpha\":\"1\",\"zeta\":\"last\"}}");

    engine_->ProcessArgumentVector({"--alpha=1"});
    EXPECT_EQ(Call("GetCommandLineArguments"), "{\"Properties\":{\"alpha\":\"1\"}}");
}

TEST_F(CommandLineTest, ABadDeploymentFileIsReportedAndLogged)
{
    const std::string missing = sysroot_.Scratch() + "/missing.xml";
    engine_->ProcessArgumentVector({"--deploymentFile=" + missing});
    EXPECT_NE(CallLogged("GetCommandLineArguments").find("Deployment file does not exist: " + missing),
              std::string::npos);
    EXPECT_EQ(answer_, "{\"_error\":\"14\"}");

    const std::string broken = sysroot_.Scratch() + "/broken.xml";
    WriteTextFile(broken, "<Deployment><Properties>");
    engine_->ProcessArgumentVector({"--deploymentFile=" + broken, "--a=b"});
    EXPECT_NE(CallLogged("GetCommandLineArguments").find("Unable to load deployment file: " + broken),
              std::string::npos);
    EXPECT_EQ(answer_, "{\"_error\":\"14\"}") << "no partial answer";

    publisher_.reset(new SorvelDataAccess(engine_.get(), nullptr));
    EXPECT_EQ(Call("GetCommandLineArguments"), "{\"_error\":\"14\"}") << "without a logger nothing is logged";
}

class StringTableTest : public DataAccessTest {
protected:
    std::string Table(const std::string& body)
    {
        const std::string path = sysroot_.Scratch() + "/strings.xml";
        WriteTextFile(path, "<?xml version=\"1.0\" encoding=\"utf-8\"?><Strings>" + body + "</Strings>");
        return path;
    }
};

TEST_F(StringTableTest, EntriesByStringIDAndLanguage)
{
    const std::string table = Table(
        "<String stringID=\"title\"><en_US>Welcome</en_US><de_DE>Willkommen &amp; \"so\"</de_DE></String>"
        "<Comment stringID=\"skipped\"><en_US>not a string</en_US></Comment>"
        "<String><en_US>no id</en_US></String>"
        "<String stringID=\"title\"><en_US>Again</en_US></String>"
        "<String stringID=\"button\"><fr_FR>Suivant</fr_FR></String>");
    EXPECT_EQ(Call("GetStringsForLanguage", {table}),
              "{\"title\":{\"en_US\":\"Welcome\",\"de_DE\":\"Willkommen & \\\"so\\\"\"},"
              "\"title\":{\"en_US\":\"Again\"},\"button\":{\"fr_FR\":\"Suivant\"}}");
    EXPECT_EQ(Call("GetStringsForLanguage", {table, "de_DE"}),
              "{\"title\":{\"de_DE\":\"Willkommen & \\\"so\\\"\"},\"title\":{},\"button\":{}}")
        << "an entry without the language still shows, empty";
    EXPECT_EQ(Call("GetStringsForLanguage", {table, ""}), Call("GetStringsForLanguage", {table}));
    EXPECT_EQ(Call("GetStringsForLanguage", {table, "de_DE", "x"}), Call("GetStringsForLanguage", {table}))
        << "a language counts only as the second of exactly two arguments";
}

TEST_F(StringTableTest, EmptyMissingAndBrokenTables)
{
    EXPECT_EQ(Call("GetStringsForLanguage", {Table("<Other/>")}), "{}");
    EXPECT_EQ(Call("GetStringsForLanguage", {sysroot_.Scratch() + "/none.xml"}), "{\"_error\":\"4\"}");
    WriteTextFile(sysroot_.Scratch() + "/broken.xml", "<Strings><String stringID=\"a\">");
    EXPECT_EQ(Call("GetStringsForLanguage", {sysroot_.Scratch() + "/broken.xml"}), "{\"_error\":\"13\"}");
}

TEST_F(DataAccessTest, SessionFlag)
{
    EXPECT_EQ(Call("SetSessionInitialized", {"1"}), "{ \"success\": 1 }");
    EXPECT_TRUE(engine_->GetSessionInitialized());
    EXPECT_EQ(Call("SetSessionInitialized", {"0"}), "{ \"success\": 1 }");
    EXPECT_FALSE(engine_->GetSessionInitialized());
    Call("SetSessionInitialized", {"7"});
    EXPECT_TRUE(engine_->GetSessionInitialized());
    EXPECT_EQ(Call("SetSessionInitialized", {"yes"}), "{ \"success\": 1 }");
    EXPECT_FALSE(engine_->GetSessionInitialized()) << "anything but a decimal number leaves the flag clear";
}

}  // namespace
