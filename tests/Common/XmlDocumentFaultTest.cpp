// Hostile and broken files: each loads as false or without anything read from outside the file.
#include "Common/source/xplat/XmlDocument.h"
#include "Common/source/xplat/XmlNode.h"

#include "tests/support/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const char kSecret[] = "SECRET-MARKER";

class XmlDocumentFaultTest : public tolktest::SystemRootTest {
protected:
    void SetUp() override
    {
        secretFile_ = sysroot_.Scratch() + "/secret.txt";
        tolktest::WriteTextFile(secretFile_, kSecret);
        secretDtd_ = sysroot_.Scratch() + "/secret.dtd";
        tolktest::WriteTextFile(secretDtd_, std::string("<!ENTITY e \"") + kSecret + "\">\n"
                                                "<!ATTLIST r leak CDATA \"" + kSecret + "\">\n");
    }

    std::string Write(const std::string& bytes)
    {
        const std::string path = sysroot_.Scratch() + "/hostile.xml";
        tolktest::WriteTextFile(path, bytes);
        return path;
    }

    // Loads the text; when it loads, nothing of the secret files may show anywhere in the tree.
    bool LoadWithoutLeak(const std::string& text)
    {
        boost::shared_ptr<XmlDocument> document;
        if (!XmlDocument::Load(Write(text), document))
            return false;
        std::vector<XmlNode> pending = {document->DocumentElement()};
        while (!pending.empty()) {
            XmlNode node = pending.back();
            pending.pop_back();
            std::map<std::string, std::string> attributes;
            node.GetAllAttributes(attributes);
            std::string seen = node.NodeName() + node.GetNodeValue();
            for (const auto& attribute : attributes)
                seen += attribute.first + attribute.second;
            EXPECT_EQ(seen.find(kSecret), std::string::npos) << text;
            EXPECT_EQ(seen.find("lol"), std::string::npos) << text;
            for (const XmlNode& child : node.ChildNodes())
                pending.push_back(child);
        }
        return true;
    }

    std::string secretFile_;
    std::string secretDtd_;
};

TEST_F(XmlDocumentFaultTest, ExternalEntitiesAndDtdsAreNeverRead)
{
    const std::string url = "file://" + secretFile_;
    const std::string dtdUrl = "file://" + secretDtd_;
    EXPECT_TRUE(LoadWithoutLeak("<!DOCTYPE r [<!ENTITY x SYSTEM \"" + url + "\">]><r>a&x;b</r>"));
    EXPECT_TRUE(LoadWithoutLeak("<!DOCTYPE r [<!ENTITY x SYSTEM \"" + secretFile_ + "\">]><r>&x;</r>"));
    EXPECT_TRUE(LoadWithoutLeak("<!DOCTYPE r SYSTEM \"" + dtdUrl + "\"><r>&e;</r>"));
    // Refused (the entity stays undeclared) or loaded: either way without the secret.
    LoadWithoutLeak("<!DOCTYPE r [<!ENTITY % p SYSTEM \"" + dtdUrl + "\"> %p;]><r>&e;</r>");
    EXPECT_TRUE(LoadWithoutLeak("<!DOCTYPE r PUBLIC \"-//x//y\" \"http://127.0.0.1:9/x.dtd\"><r>&e;</r>"));
    // XML forbids external entities in attribute values.
    EXPECT_FALSE(LoadWithoutLeak("<!DOCTYPE r [<!ENTITY x SYSTEM \"" + url + "\">]><r a=\"&x;\"/>"));
}

TEST_F(XmlDocumentFaultTest, EntityExpansionCannotBlowUp)
{
    std::string dtd = "<!DOCTYPE r [<!ENTITY lol \"lol\">";
    for (int level = 1; level <= 9; ++level) {
        dtd += "<!ENTITY lol" + std::to_string(level) + " \"";
        const std::string inner = level == 1 ? "&lol;" : "&lol" + std::to_string(level - 1) + ";";
        for (int copy = 0; copy < 10; ++copy)
            dtd += inner;
        dtd += "\">";
    }
    dtd += "]>";
    // Whether the parser refuses the document or keeps the references unexpanded, no expansion
    // reaches the tree.
    LoadWithoutLeak(dtd + "<r>&lol9;</r>");
    LoadWithoutLeak(dtd + "<r a=\"&lol9;\"/>");

    std::string quadratic = "<!DOCTYPE r [<!ENTITY big \"" + std::string(100000, 'l') + "ol\">]><r>";
    for (int copy = 0; copy < 10000; ++copy)
        quadratic += "&big;";
    EXPECT_TRUE(LoadWithoutLeak(quadratic + "</r>"));
}

TEST_F(XmlDocumentFaultTest, BrokenFilesLoadAsFalse)
{
    const std::vector<std::string> broken = {
        "",
        " \n\t",
        "<r><a>x</a>",
        "<r><a>x</r></a>",
        "<r/><s/>",
        "<r>&undeclared;</r>",
        "<r a=\"1\" a=\"2\"/>",
        "<?xml version=\"1.0\" encoding=\"utf-8\"?><r>caf\xE9</r>",
        "<?xml version=\"1.0\" encoding=\"no-such-encoding\"?><r/>",
        std::string("<r>\0</r>", 8),
        "<r><a b=\"1",
    };
    boost::shared_ptr<XmlDocument> kept;
    ASSERT_TRUE(XmlDocument::CreateDocument("kept", kept));
    boost::shared_ptr<XmlDocument> document = kept;
    for (const std::string& text : broken) {
        EXPECT_FALSE(XmlDocument::Load(Write(text), document)) << text;
        EXPECT_EQ(document, kept);
    }
    EXPECT_FALSE(XmlDocument::Load("", document));
    EXPECT_FALSE(XmlDocument::Load(sysroot_.Scratch(), document));
    EXPECT_FALSE(XmlDocument::Load(sysroot_.Scratch() + "/missing.xml", document));
}

TEST_F(XmlDocumentFaultTest, DeepNestingIsRefusedRatherThanExhaustingTheStack)
{
    std::string deep;
    for (int level = 0; level < 5000; ++level)
        deep += "<a>";
    for (int level = 0; level < 5000; ++level)
        deep += "</a>";
    boost::shared_ptr<XmlDocument> document;
    EXPECT_FALSE(XmlDocument::Load(Write(deep), document));
}

TEST_F(XmlDocumentFaultTest, OtherDeclaredEncodingsAreConverted)
{
    boost::shared_ptr<XmlDocument> document;
    ASSERT_TRUE(XmlDocument::Load(Write("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r a=\"\xE9\">caf\xE9</r>"),
                                  document));
    EXPECT_EQ(document->DocumentElement().GetNodeValue(), "caf\xC3\xA9");
    EXPECT_EQ(document->DocumentElement().GetAttribute("a"), "\xC3\xA9");
}

}  // namespace
