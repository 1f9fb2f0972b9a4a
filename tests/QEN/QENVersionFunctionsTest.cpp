#include "QENQueryTestSupport.h"

#include "QEN/source/mac/VersionPlist.h"

#include "platform/SystemLog.h"

#include <gtest/gtest.h>

#include <vector>

using qentest::Quote;

namespace {

class QENVersionFunctionsTest : public qentest::QENQueryTest {
protected:
    std::string WritePlist(const std::string& entries, const std::string& name = "version.plist")
    {
        tolktest::WriteTextFile(Scratch(name), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>" +
                                                   entries + "</dict></plist>\n");
        return Scratch(name);
    }

    // The five numbers joined by dots, or "false".
    std::string Read(const std::string& entries)
    {
        std::vector<int> numbers{7, 7};
        if (!VersionPlist::GetVersion(WritePlist(entries), numbers))
            return "false";
        std::string text;
        for (int number : numbers)
            text += (text.empty() ? "" : ".") + std::to_string(number);
        return text;
    }

    static std::string Short(const std::string& version)
    {
        return "<key>CFBundleShortVersionString</key><string>" + version + "</string>";
    }
};

}  // namespace

TEST_F(QENVersionFunctionsTest, VersionPlistGivesFiveNumbers)
{
    EXPECT_EQ(Read(Short("3.0")), "3.0.0.0.0");
    EXPECT_EQ(Read(Short("10.4.11b2.9")), "10.4.11.0.0");
    EXPECT_EQ(Read(Short("5..6")), "5.0.6.0.0");
    EXPECT_EQ(Read("<key>CFBundleShortVersionString</key><integer>4</integer>"), "0.0.0.0.0");
    EXPECT_EQ(Read(Short("2.1") + "<key>SourceVersion</key><string>  120000</string>"
                                  "<key>BuildVersion</key><string>-7xyz</string>"),
              "2.1.0.120000.-7");
    EXPECT_EQ(Read("<key>SourceVersion</key><string>99999999999</string><key>BuildVersion</key><integer>3</integer>"),
              "0.0.0.2147483647.3");
}

TEST_F(QENVersionFunctionsTest, VersionPlistWithoutDictionaryIsRefused)
{
    std::vector<int> numbers{7};
    EXPECT_FALSE(VersionPlist::GetVersion(Scratch("missing.plist"), numbers));
    tolktest::WriteTextFile(Scratch("array.plist"), "<plist version=\"1.0\"><array><string>3.0</string></array></plist>");
    EXPECT_FALSE(VersionPlist::GetVersion(Scratch("array.plist"), numbers));
    std::vector<std::string> systemLog;
    platform::SetSystemLogSinkForTesting([&systemLog](const std::string& line) { systemLog.push_back(line); });
    tolktest::WriteTextFile(Scratch("broken.plist"), "<plist><dict><key>x</key>");
    EXPECT_FALSE(VersionPlist::GetVersion(Scratch("broken.plist"), numbers));
    platform::SetSystemLogSinkForTesting(std::function<void(const std::string&)>());
    EXPECT_EQ(systemLog.size(), 1u);
    EXPECT_EQ(numbers, std::vector<int>{7});
}

TEST_F(QENVersionFunctionsTest, ScriptsGetTheVersionsAndTheLogNamesTheFile)
{
    const std::string plist = WritePlist(Short("10.4.11b2") + "<key>SourceVersion</key><string>3</string>"
                                                              "<key>BuildVersion</key><string>17</string>");
    EXPECT_EQ(Json("QENGetVersionPlistVersion(" + Quote(plist) + ")"), "[10,4,11,3,17]");
    EXPECT_TRUE(log_.Has("5 Retrieved version.plist file version of 10.4.11.3.17 for file \"" + plist + "\""));
    EXPECT_EQ(Json("QENGetVersionPlistVersion(" + Quote(Scratch("missing")) + ")"), "undefined");

    const std::string font = Scratch("X.pfb");
    tolktest::WriteTextFile(font, "%!FontType1-1.0: X\n/version (001.002) readonly def\n");
    EXPECT_EQ(Json("QENGetOrvexFileVersion(" + Quote(font) + ")"), "[4,[1,2,0,0]]");
    EXPECT_TRUE(log_.Has("5 Retrieved file version of 1.2.0.0 and type 4 for file \"" + font + "\""));
    tolktest::WriteTextFile(Scratch("plain.txt"), "nothing to see");
    EXPECT_EQ(Json("QENGetOrvexFileVersion(" + Quote(Scratch("plain.txt")) + ")"), "undefined");
}
