// The built Setup in silent mode, on a copy of the example medium: a suite's bootstrapper is
// removed only with the suite. A workflow that asks for it early is refused and changes nothing,
// and a root where an earlier Setup removed the bootstrapper too early is still cleaned up.
#include "SilentExampleFixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::UnorderedElementsAre;

namespace {

using namespace silenttest;

class SilentSetupBootstrapperFaultTest : public SilentExampleTest {};

}  // namespace

TEST_F(SilentSetupBootstrapperFaultTest, TheBootstrapperGoesOnlyWithTheLastPayload)
{
    tolktest::ProgramResult result = Deploy("install");
    ASSERT_EQ(result.exitCode, 0) << result.output << result.errorOutput;

    // Asked for while the suite's three payloads are installed, the removal is refused and says why.
    const std::string early = sysroot_.Scratch() + "/early";
    fs::copy(medium_, early, fs::copy_options::recursive);
    tolktest::WriteTextFile(
        early + "/resources/common/scripts/silentWorkflow.js",
        "var answer = utils.parseAnswer(InstallBootstrapper('remove', 'de', '1'));\n"
        "if (!utils.isError(answer) || answer._error !== '18' || answer.installedPayloads !== '3')\n"
        "    throw new Error('answered ' + JSON.stringify(answer));\n");
    result = Run(early);
    ASSERT_EQ(result.exitCode, 0) << result.output << result.errorOutput;
    EXPECT_THAT(Tree(Orvex("/Installers")), UnorderedElementsAre(kSuite, kSuite + "/ReadMe.txt"));
    EXPECT_THAT(Tree(Orvex("/Uninstall")), UnorderedElementsAre(kSketchbook + ".js", kBrushes + ".js", kSuite + ".js"));
    EXPECT_THAT(Query("SELECT collectionID FROM tolk_collection"), ElementsAre(kSuite));

    // The documented removal takes everything.
    result = Deploy("remove");
    EXPECT_EQ(result.exitCode, 0) << result.output << result.errorOutput;
    ExpectNothingOfTheSuite();

    // A root where an earlier Setup removed the bootstrapper while the suite was installed: the
    // removal still takes the suite's record, and says what it could not play.
    result = Deploy("install");
    ASSERT_EQ(result.exitCode, 0) << result.output << result.errorOutput;
    fs::remove_all(Orvex("/Installers/" + kSuite));
    fs::remove(Orvex("/Uninstall/" + kSuite + ".js"));
    result = Deploy("remove");
    EXPECT_EQ(result.exitCode, 0) << result.output << result.errorOutput;
    ExpectNothingOfTheSuite();
    EXPECT_THAT(Log("Orvex Sketchbook 2.0.log"),
                HasSubstr("The uninstall script of collection " + kSuite + " is missing"));
}
