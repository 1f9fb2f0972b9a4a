// scripts/check-layers, as CI runs it: the checkout passes, and a wrong include planted in a copy
// of its layout (a library reaching up, a library that loads the windowing half, a header of
// another folder named bare) fails it, naming the file and line.
#include "tests/support/ProgramRun.h"
#include "tests/support/TempSystemRoot.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

using ::testing::HasSubstr;
using ::testing::Not;

namespace {

class LayerCheckTest : public tolktest::SystemRootTest {
protected:
    tolktest::ProgramResult Check(const std::string& root)
    {
        return tolktest::RunCapturingOutput("/usr/bin/env",
                                            {"python3", TOLK_SOURCE_DIR "/scripts/check-layers", "--root", root});
    }

    static void Write(const std::string& path, const std::string& text)
    {
        tolktest::MakeFolders(path.substr(0, path.rfind('/')));
        tolktest::WriteTextFile(path, text);
    }

    // A small checkout: one header in each of the libraries that the plants below use.
    std::string Layout()
    {
        const std::string root = sysroot_.Scratch() + "/checkout";
        Write(root + "/platform/files/Files.h", "#pragma once\n");
        Write(root + "/platform/gui/GuiWindow.h", "#pragma once\n");
        Write(root + "/Common/source/xplat/Base64.h", "#pragma once\n#include \"platform/files/Files.h\"\n");
        Write(root + "/Shared/TolkConstants.h", "#pragma once\n#include \"Common/source/xplat/Base64.h\"\n");
        Write(root + "/caps/caps.h", "#pragma once\n#include \"Shared/TolkConstants.h\"\n");
        Write(root + "/QEN/source/mac/QENEngine.h", "#pragma once\n#include \"caps/caps.h\"\n");
        Write(root + "/QEN/source/mac/QENEngine.cpp", "#include \"QENEngine.h\"\n");
        Write(root + "/Sorvel/source/mac/SVLWindow.cpp",
              "#include \"QEN/source/mac/QENEngine.h\"\n#include \"platform/gui/GuiWindow.h\"\n");
        return root;
    }
};

}  // namespace

TEST_F(LayerCheckTest, TheCheckoutKeepsToItsLayers)
{
    const tolktest::ProgramResult result = Check(TOLK_SOURCE_DIR);
    EXPECT_EQ(result.exitCode, 0) << result.output << result.errorOutput;
}

TEST_F(LayerCheckTest, AnIncludeAgainstTheLayersFailsTheCheck)
{
    const std::string root = Layout();
    tolktest::ProgramResult result = Check(root);
    ASSERT_EQ(result.exitCode, 0) << result.output << result.errorOutput;

    // The installation database reaches up into the command engine.
    Write(root + "/caps/capsSession.cpp", "#include \"caps.h\"\n\n#include \"QEN/source/mac/QENEngine.h\"\n");
    result = Check(root);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_THAT(result.output, HasSubstr("caps/capsSession.cpp:3: caps (3) includes QEN/source/mac/QENEngine.h"));

    // The foundation loads the windowing half.
    Write(root + "/caps/capsSession.cpp", "#include \"caps.h\"\n");
    Write(root + "/Common/source/xplat/Base64.cpp", "#include \"platform/gui/GuiWindow.h\"\n");
    result = Check(root);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_THAT(result.output, HasSubstr("Common/source/xplat/Base64.cpp:1:"));
    EXPECT_THAT(result.output, Not(HasSubstr("capsSession")));
}

TEST_F(LayerCheckTest, AHeaderOfAnotherFolderNamedBareFailsTheCheck)
{
    const std::string root = Layout();

    // Downwards, but by a bare name that only an include folder of the library below could find.
    Write(root + "/QEN/source/mac/QENEngine.cpp", "#include \"QENEngine.h\"\n#include \"caps.h\"\n");
    // The tests are held to the same paths, though not to the layers.
    Write(root + "/tests/caps/CapsTest.cpp",
          "#include \"support/Fixture.h\"\n#include \"QEN/source/mac/QENEngine.h\"\n");
    Write(root + "/tests/support/Fixture.h", "#pragma once\n");
    tolktest::ProgramResult result = Check(root);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_THAT(result.output, HasSubstr("QEN/source/mac/QENEngine.cpp:2: \"caps.h\" names caps/caps.h"));
    EXPECT_THAT(result.output,
                HasSubstr("tests/caps/CapsTest.cpp:1: \"support/Fixture.h\" names tests/support/Fixture.h"));
    EXPECT_THAT(result.output, Not(HasSubstr("QENEngine.cpp:1:")));
    EXPECT_THAT(result.output, Not(HasSubstr("CapsTest.cpp:2:")));

    Write(root + "/QEN/source/mac/QENEngine.cpp", "#include \"QENEngine.h\"\n#include \"caps/caps.h\"\n");
    Write(root + "/tests/caps/CapsTest.cpp", "#include \"tests/support/Fixture.h\"\n");
    result = Check(root);
    EXPECT_EQ(result.exitCode, 0) << result.output << result.errorOutput;
}
