#include "QENQueryTestSupport.h"

#include "QEN/source/mac/livecomponents/QENPathAttributesLO.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <memory>

using qentest::Quote;

namespace {

// The class as payload scripts meet it: in the script engine of a Mac engine.
class QENPathAttributesLOTest : public tolktest::SystemRootTest {
protected:
    void SetUp() override
    {
        engine_.reset(new QENEngineMac(controller_, log_, "{id}", QENEngine::PropertyMap()));
        scripts_ = engine_->GetJavaScriptEngine();
        ASSERT_TRUE(scripts_);
    }

    std::string Eval(const std::string& script) { return tolktest::Eval(*scripts_, script); }

    // Every property of a new object on the path.
    std::string Attributes(const std::string& path)
    {
        return Eval("var a = new QENPathAttributes(" + Quote(path) +
                    "); ['isDirectory', 'isRegularFile', 'isSymlink', 'owner', 'group', 'permissions', 'VERSION']"
                    ".map(function (n) { return a[n]; }).join(' ')");
    }

    std::string Scratch(const std::string& relative) const { return sysroot_.Scratch() + "/" + relative; }

    qentest::RecordingLog log_;
    qentest::RecordingController controller_;
    std::unique_ptr<QENEngineMac> engine_;
    Pelvo::EnginePtr scripts_;
};

}  // namespace

TEST_F(QENPathAttributesLOTest, AttributesOfTheEntryItself)
{
    const std::string ids = std::to_string(geteuid()) + " " + std::to_string(getegid());
    tolktest::WriteTextFile(Scratch("file"), "x");
    ASSERT_EQ(chmod(Scratch("file").c_str(), 04751), 0);
    EXPECT_EQ(Attributes(Scratch("file")), "false true false " + ids + " 2537 0.1");
    tolktest::MakeFolders(Scratch("folder"));
    ASSERT_EQ(chmod(Scratch("folder").c_str(), 01777), 0);
    EXPECT_EQ(Attributes(Scratch("folder")), "true false false " + ids + " 1023 0.1");
    // A link is not followed: owner, group and mode are those of no file.
    ASSERT_EQ(symlink(Scratch("folder").c_str(), Scratch("link").c_str()), 0);
    EXPECT_EQ(Attributes(Scratch("link")), "false false true    0.1");
    EXPECT_EQ(Eval("var a = new QENPathAttributes(" + Quote(Scratch("missing")) + "); a.isDirectory === undefined"),
              "true");
}

TEST_F(QENPathAttributesLOTest, ConstructionTakesExactlyOneFullPathAndTheClassHasNoMethods)
{
    EXPECT_EQ(Eval("try { new QENPathAttributes(); 0 } catch (e) { e.code }"), "20");
    EXPECT_EQ(Eval("try { new QENPathAttributes('/a', '/b'); 0 } catch (e) { e.code }"), "20");
    EXPECT_EQ(Eval("try { new QENPathAttributes('relative'); 0 } catch (e) { e.code }"), "-29");
    EXPECT_EQ(Eval("var p = new QENPathAttributes('/'); p.isDirectory = 5; p.isDirectory"), "true");

    QENPathAttributesLO* attributes = new QENPathAttributesLO;
    Mivor::Variant result;
    result.setInt(3);
    Mivor::Error error;
    EXPECT_EQ(attributes->call(QENPathAttributesLO::kID_isDirectory, Mivor::Array(), result, &error), 24);
    EXPECT_TRUE(result.isUndefined());
    attributes->release();
}
