#include "Common/source/xplat/XmlDocument.h"
#include "Common/source/xplat/XmlException.h"
#include "Common/source/xplat/XmlNode.h"

#include "tests/support/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

const std::string kHeader = "<?xml version=\"1.0\" encoding=\"utf-8\"?>";

class XmlDocumentTest : public tolktest::SystemRootTest {
protected:
    std::string PathOf(const std::string& name) const { return sysroot_.Scratch() + "/" + name; }

    boost::shared_ptr<XmlDocument> LoadText(const std::string& text)
    {
        const std::string path = PathOf("in.xml");
        tolktest::WriteTextFile(path, text);
        boost::shared_ptr<XmlDocument> document;
        EXPECT_TRUE(XmlDocument::Load(path, document)) << text;
        return document;
    }

    std::string SaveText(XmlDocument& document)
    {
        const std::string path = PathOf("out.xml");
        EXPECT_TRUE(document.Save(path, true));
        return tolktest::ReadTextFile(path);
    }
};

void ExpectXmlException(const std::function<void()>& call, const std::string& message)
{
    try {
        call();
        ADD_FAILURE() << "no exception, expected: " << message;
    } catch (const XmlException& error) {
        EXPECT_EQ(std::string(error.what()), message);
    }
}

TEST_F(XmlDocumentTest, LoadKeepsElementsAttributesAndJoinedText)
{
    const boost::shared_ptr<XmlDocument> document = LoadText(
        "<?xml version=\"1.0\"?>\n<!DOCTYPE r [<!ENTITY own \"OWN\">]>\n<!-- before -->\n"
        "<r a=\"&lt;&gt;&quot;&amp;&apos;&#x41;\">x<c>  padded  </c>y<!-- gone <b/> -->z<?pi <b/>?>\n  "
        "<d>\n</d>&lt;&gt;&quot;&amp;&apos;&#65;<![CDATA[<&>]]>|&own;|</r>\n<!-- after -->\n");
    ASSERT_TRUE(document);
    XmlNode root = document->DocumentElement();
    EXPECT_EQ(root.NodeName(), "r");
    // Every text piece, wherever it stands among the children; declared entities never expand.
    EXPECT_EQ(root.GetNodeValue(), "xyz<>\"&'A<&>||");
    EXPECT_EQ(root.GetAttribute("a"), "<>\"&'A");
    const std::vector<XmlNode> children = root.ChildNodes();
    ASSERT_EQ(children.size(), 2u);
    EXPECT_EQ(children[0].GetNodeValue(), "  padded  ");
    EXPECT_EQ(children[1].NodeName(), "d");
    EXPECT_EQ(children[1].GetNodeValue(), "");
}

TEST_F(XmlDocumentTest, SaveWritesTheCompactFormWithSortedAttributes)
{
    boost::shared_ptr<XmlDocument> document;
    ASSERT_TRUE(XmlDocument::CreateDocument("Setup", document));
    XmlNode root = document->DocumentElement();
    XmlNode empty = root.AppendChild(document->CreateNode("Driver"));
    empty.SetAttribute("zeta", "2");
    empty.SetAttribute("alpha", "1");
    empty.SetAttribute("Beta", "3");
    XmlNode media = root.AppendChild(document->CreateNode("Media"));
    media.SetNodeValue("");
    XmlNode volume = media.AppendChild(document->CreateNode("Volume"));
    volume.SetNodeValue("v");
    volume.AppendChild(document->CreateNode("Name"));
    EXPECT_EQ(SaveText(*document), kHeader + "<Setup><Driver Beta=\"3\" alpha=\"1\" zeta=\"2\"/>"
                                             "<Media><Volume>v<Name/></Volume></Media></Setup>");
}

TEST_F(XmlDocumentTest, SavedDocumentsLoadBackUnchanged)
{
    const std::string text = "a&b<c>d \"q\" 'p' ]]> tab\there\nline\r\ncr\rend \xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
    boost::shared_ptr<XmlDocument> document;
    ASSERT_TRUE(XmlDocument::CreateDocument("r", document));
    XmlNode root = document->DocumentElement();
    root.SetAttribute("text", text);
    root.SetAttribute("empty", "");
    // Characters XML 1.0 cannot carry and bytes that are not UTF-8 are left out.
    root.SetAttribute("control", std::string("x\0y\x0Bz\xFF", 7));
    root.SetNodeValue(text + std::string("\x01\x1F\xEF\xBF\xBE\xC3", 6));
    XmlNode child = root.AppendChild(document->CreateNode("p:child"));
    child.SetAttribute("xmlns:p", "urn:p");
    child.SetAttribute("p:k", "v");
    root.AppendChild(document->CreateNode("empty"));
    const std::string path = PathOf("round.xml");
    ASSERT_TRUE(document->Save(path, false));

    boost::shared_ptr<XmlDocument> loaded;
    ASSERT_TRUE(XmlDocument::Load(path, loaded));
    XmlNode again = loaded->DocumentElement();
    EXPECT_EQ(again.GetNodeValue(), text);
    std::map<std::string, std::string> attributes;
    again.GetAllAttributes(attributes);
    EXPECT_EQ(attributes, (std::map<std::string, std::string>{{"control", "xyz"}, {"empty", ""}, {"text", text}}));
    const std::vector<XmlNode> children = again.ChildNodes();
    ASSERT_EQ(children.size(), 2u);
    EXPECT_EQ(children[0].NodeName(), "p:child");
    EXPECT_EQ(children[0].GetAttribute("p:k"), "v");
    EXPECT_EQ(children[0].GetAttribute("xmlns:p"), "urn:p");
    EXPECT_EQ(children[1].NodeName(), "empty");
    EXPECT_EQ(SaveText(*loaded), tolktest::ReadTextFile(path));
}

TEST_F(XmlDocumentTest, SaveRefusesWhatItMustNotWriteAndLeavesTheOldFile)
{
    boost::shared_ptr<XmlDocument> document;
    ASSERT_TRUE(XmlDocument::CreateDocument("r", document));
    const std::string path = PathOf("existing.xml");
    tolktest::WriteTextFile(path, "old");
    EXPECT_FALSE(document->Save(path, false));
    EXPECT_FALSE(document->Save("relative.xml", false));  // cannot be checked: refused, not thrown
    EXPECT_FALSE(document->Save(PathOf("missing-folder/x.xml"), true));

    // Names that would make the file unreadable.
    for (const std::string name : {"", "a b", "1a", "a<b"}) {
        XmlNode bad = document->DocumentElement().AppendChild(document->CreateNode(name));
        EXPECT_FALSE(document->Save(path, true)) << name;
        document->DocumentElement().RemoveChild(bad);
        document->DocumentElement().SetAttribute(name.empty() ? "=" : name, "v");
        EXPECT_FALSE(document->Save(path, true)) << name;
        document->DocumentElement().RemoveAttribute(name.empty() ? "=" : name);
    }
    EXPECT_EQ(tolktest::ReadTextFile(path), "old");
    EXPECT_TRUE(document->Save(path, true));
    EXPECT_EQ(tolktest::ReadTextFile(path), kHeader + "<r/>");
}

TEST_F(XmlDocumentTest, TreeOperationsKeepTheTreeATree)
{
    boost::shared_ptr<XmlDocument> document;
    ExpectXmlException([&] { XmlDocument::CreateDocument("", document); }, "Invalid root element name");
    EXPECT_FALSE(document);

    ASSERT_TRUE(XmlDocument::CreateDocument("r", document));
    XmlNode root = document->DocumentElement();
    XmlNode a = root.AppendChild(document->CreateNode("a"));
    XmlNode b = a.AppendChild(document->CreateNode("b"));
    XmlNode loose = document->CreateNode("loose");
    ExpectXmlException([&] { root.AppendChild(b); }, "Attempt to append child node already in DOM");
    ExpectXmlException([&] { root.RemoveChild(b); }, "Attempt to remove child node from non-parent");
    ExpectXmlException([&] { root.RemoveChild(loose); }, "Attempt to remove child node not in DOM");
    ExpectXmlException([&] { root.ParentNode(); }, "Attempt to get parent of node without parent");
    // Detached, but each would close a cycle.
    ExpectXmlException([&] { loose.AppendChild(loose); }, "Attempt to append node under itself or its own descendant");
    ExpectXmlException([&] { b.AppendChild(root); }, "Attempt to append node under itself or its own descendant");
    EXPECT_TRUE(b.ChildNodes().empty());

    a.RemoveChild(b);
    root.AppendChild(b);
    EXPECT_TRUE(a.ChildNodes().empty());
    EXPECT_EQ(root.ChildNodes().size(), 2u);
    EXPECT_EQ(b.ParentNode().NodeName(), "r");

    EXPECT_EQ(root.GetAttribute("missing"), "");
    root.SetAttribute("", "ignored");
    root.SetAttribute("k", "1");
    std::map<std::string, std::string> attributes = {{"stale", "x"}};
    root.GetAllAttributes(attributes);
    EXPECT_EQ(attributes, (std::map<std::string, std::string>{{"k", "1"}}));
}

TEST_F(XmlDocumentTest, HandlesOutlivingTheirDocumentSeeEmptyElements)
{
    boost::shared_ptr<XmlDocument> document = LoadText("<r a=\"1\">t<c>u</c></r>");
    ASSERT_TRUE(document);
    XmlNode root = document->DocumentElement();
    XmlNode child = root.ChildNodes().at(0);
    document.reset();
    EXPECT_EQ(root.NodeName(), "");
    EXPECT_EQ(root.GetAttribute("a"), "");
    EXPECT_TRUE(root.ChildNodes().empty());
    EXPECT_EQ(child.GetNodeValue(), "");
    ExpectXmlException([&] { child.ParentNode(); }, "Attempt to get parent of node without parent");
}

}  // namespace
