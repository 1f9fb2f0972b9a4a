// The progress of install and repair runs as the payload image measures it, the comparison of an
// installed file with its original, and what the scripts want the user told about a run.
#include "QENTestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <string>

using namespace qentest;
using ::testing::ElementsAre;

namespace {

const int kImageFiles = 250;  // with "readme.txt": enough for every percent to be seen once

// Instructions in the pattern of the example payloads: an install copies every file of the
// image; a repair compares each, puts back the damaged and missing ones and names them.
const char kInstructions[] =
    "var mode = QENGetProperty('INSTALL_MODE'), assets = QENGetProperty('QEN_ASSETS');\n"
    "var target = QENGetProperty('TARGET'), putBack = [];\n"
    "function walk(relative) {\n"
    "  var children = QENGetPathChildren(assets + relative);\n"
    "  if (children === undefined) {\n"
    "    var path = target + relative, original = assets + relative;\n"
    "    if (QENPathExists(path) && QENFileContentsMatch(path, original) === false) QENDeleteFile(path);\n"
    "    if (!QENPathExists(path)) { QENCopyFile(original, path); if (mode === 'repair') putBack.push(relative); }\n"
    "    return;\n"
    "  }\n"
    "  if (!QENPathExists(target + relative)) QENCreateDirectory(target + relative, 493);\n"
    "  children.sort();\n"
    "  for (var i = 0; i < children.length; i++) walk(relative + '/' + children[i]);\n"
    "}\n"
    "walk('');\n"
    "if (mode === 'repair') QENSetStatusArgument('putBack', JSON.stringify(putBack));\n";

class QENImageProgressTest : public QENRunTest {
protected:
    FileSystemPath Image(const std::string& instructions = kInstructions)
    {
        PayloadImage image;
        image.instructions = instructions;
        const FileSystemPath path = MakeImage(image);
        for (int i = 0; i < kImageFiles; ++i) {
            const std::string folder = path.AsUTF8String() + "/Assets/files/" + std::to_string(i % 5);
            tolktest::MakeFolders(folder);
            tolktest::WriteTextFile(folder + "/" + std::to_string(i) + ".txt", "file " + std::to_string(i) + "\n");
        }
        target_ = sysroot_.Scratch() + "/installed";
        clientProperties_["TARGET"] = target_;
        return path;
    }

    // The fractions the controller heard, in order.
    std::vector<double> Fractions() const
    {
        std::vector<double> fractions;
        const std::string prefix = "InstallFractionComplete ";
        for (const std::string& call : controller_.calls) {
            if (call.compare(0, prefix.size(), prefix) == 0)
                fractions.push_back(std::atof(call.c_str() + prefix.size()));
        }
        return fractions;
    }

    // Every fraction larger than the one before, one report per whole percent at most, ending at
    // the whole image.
    void ExpectRisingToTheEnd()
    {
        const std::vector<double> fractions = Fractions();
        ASSERT_GE(fractions.size(), 90u) << log_.Dump();
        EXPECT_LE(fractions.size(), 100u);
        for (std::size_t i = 1; i < fractions.size(); ++i)
            EXPECT_GT(fractions[i], fractions[i - 1]) << i;
        EXPECT_DOUBLE_EQ(fractions.back(), 1.0);
    }

    std::string target_;
};

}  // namespace

TEST_F(QENImageProgressTest, InstallAndRepairMoveByTheFilesOfTheImage)
{
    const FileSystemPath image = Image();
    {
        QENEngineMac engine(controller_, log_, image, clientProperties_);
        ASSERT_TRUE(engine.InstallQENPayload()) << log_.Dump();
    }
    ExpectRisingToTheEnd();

    // One file damaged, one missing: the repair compares every file, counts a file compared and
    // copied back once, and names the two.
    tolktest::WriteTextFile(target_ + "/files/2/7.txt", "damaged\n");
    std::remove((target_ + "/readme.txt").c_str());
    controller_.calls.clear();
    {
        QENEngineMac engine(controller_, log_, image, clientProperties_);
        ASSERT_TRUE(engine.RepairQENPayload()) << log_.Dump();
    }
    ExpectRisingToTheEnd();
    EXPECT_EQ(tolktest::ReadTextFile(target_ + "/files/2/7.txt"), "file 7\n");
    EXPECT_EQ(tolktest::ReadTextFile(target_ + "/readme.txt"), "assets");
    EXPECT_THAT(controller_.Without("HandleControlMessages"),
                ::testing::Contains("InstallStatusArgument putBack=[\"/files/2/7.txt\",\"/readme.txt\"]"));
}

TEST_F(QENImageProgressTest, AScriptThatReportsItsOwnProgressIsNotMeasured)
{
    const FileSystemPath image = Image(std::string("QENSetFractionComplete(1, 3);\n") + kInstructions);
    QENEngineMac engine(controller_, log_, image, clientProperties_);
    ASSERT_TRUE(engine.InstallQENPayload()) << log_.Dump();
    EXPECT_THAT(Fractions(), ElementsAre(::testing::DoubleNear(1.0 / 3, 1e-6)));
}

TEST_F(QENImageProgressTest, FileContentsMatchComparesBytesAndRefusesWhatIsNoFile)
{
    PayloadImage payload;
    payload.instructions =
        "var a = QENGetProperty('A'), b = QENGetProperty('B');\n"
        "QENLogMessage(1, 'same=' + [QENFileContentsMatch(a + '/one', a + '/copy'),"
        " QENFileContentsMatch(a + '/one', a + '/other'), QENFileContentsMatch(a + '/one', a + '/longer'),"
        " QENFileContentsMatch(a + '/one', a + '/link'), QENFileContentsMatch(a + '/one', a + '/missing'),"
        " QENFileContentsMatch(a + '/one', a)].join());\n"
        "try { QENFileContentsMatch(a); } catch (e) { QENLogMessage(1, 'code=' + e.code); }\n";
    const std::string folder = sysroot_.Scratch() + "/files";
    tolktest::MakeFolders(folder);
    tolktest::WriteTextFile(folder + "/one", "same bytes");
    tolktest::WriteTextFile(folder + "/copy", "same bytes");
    tolktest::WriteTextFile(folder + "/other", "SAME bytes");
    tolktest::WriteTextFile(folder + "/longer", "same bytes!");
    ASSERT_EQ(symlink("copy", (folder + "/link").c_str()), 0);
    clientProperties_["A"] = folder;
    clientProperties_["B"] = "";
    QENEngineMac engine(controller_, log_, MakeImage(payload), clientProperties_);
    ASSERT_TRUE(engine.InstallQENPayload()) << log_.Dump();
    // Undefined values join as empty texts.
    EXPECT_TRUE(log_.Has("4 same=true,false,false,,,")) << log_.Dump();
    EXPECT_TRUE(log_.Has("4 code=20")) << log_.Dump();
}
