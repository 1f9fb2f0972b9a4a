#include "platform/formats/XmlParser.h"

#include "tests/support/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Records every node as "kind name [text] {attributes}" with its depth, and optionally skips the
// inside of elements of one name.
class RecordingDelegate : public platform::XmlParserDelegate {
public:
    std::vector<std::string> lines;
    std::string skipElement;
    int endings = 0;

    bool BeginNode(const platform::XmlParserNode& node) override
    {
        static const char* const kinds[] = {"element", "text", "cdata", "entityref", "entitydecl",
                                            "pi", "comment", "doctype", "other"};
        std::string line = std::string(depth_ * 2, ' ') + kinds[node.kind];
        if (!node.name.empty())
            line += " " + node.name;
        if (!node.text.empty() || node.kind == platform::XmlParserNode::kText)
            line += " [" + node.text + "]";
        for (const auto& attribute : node.attributes)
            line += " {" + attribute.first + "=" + attribute.second + "}";
        lines.push_back(line);
        if (node.kind == platform::XmlParserNode::kElement && node.name == skipElement)
            return false;
        ++depth_;
        return true;
    }

    void EndNode() override
    {
        --depth_;
        ++endings;
    }

private:
    std::size_t depth_ = 0;
};

class XmlParserTest : public tolktest::SystemRootTest {
protected:
    std::string Write(const std::string& text)
    {
        const std::string path = sysroot_.Scratch() + "/doc.xml";
        tolktest::WriteTextFile(path, text);
        return path;
    }
};

TEST_F(XmlParserTest, DeliversEveryNodeInDocumentOrderWithPrefixedNames)
{
    const std::string path = Write(
        "<?xml version=\"1.0\"?>\n"
        "<!DOCTYPE r [<!ENTITY e \"E\">]>\n"
        "<!--top--><?top data?>\n"
        "<r xmlns:p=\"urn:p\" p:a=\"1\" b=\"x&amp;y&#10;&e;z\">t1&lt;<![CDATA[<c>]]>&e;<p:k/>\n  <?pi d?><!--c-->t2</r>");
    RecordingDelegate delegate;
    ASSERT_TRUE(platform::ParseXmlFile(path, platform::kXmlParseSkipWhitespace, delegate));
    const std::vector<std::string> expected = {
        "doctype r",
        "  entitydecl e [E]",
        "comment [top]",
        "pi top [data]",
        "element r {xmlns:p=urn:p} {p:a=1} {b=x&y\nz}",
        "  text [t1<]",
        "  cdata [<c>]",
        "  entityref e",
        "  element p:k",
        "  pi pi [d]",
        "  comment [c]",
        "  text [t2]",
    };
    EXPECT_EQ(delegate.lines, expected);
    EXPECT_EQ(delegate.endings, static_cast<int>(expected.size()));
}

TEST_F(XmlParserTest, ARefusedNodeIsSkippedWithItsContents)
{
    const std::string path = Write("<r><skip><a/>text</skip><b/></r>");
    RecordingDelegate delegate;
    delegate.skipElement = "skip";
    ASSERT_TRUE(platform::ParseXmlFile(path, platform::kXmlParseSkipWhitespace, delegate));
    EXPECT_EQ(delegate.lines, (std::vector<std::string>{"element r", "  element skip", "  element b"}));
    EXPECT_EQ(delegate.endings, 2);
}

}  // namespace
