#include "Common/source/xplat/XmlAttributeValue.h"
#include "Common/source/xplat/XmlBackedObject.h"
#include "Common/source/xplat/XmlComplexTypeChild.h"
#include "Common/source/xplat/XmlComplexTypeList.h"
#include "Common/source/xplat/XmlException.h"
#include "Common/source/xplat/XmlObjectDataStore.h"
#include "Common/source/xplat/XmlProperty.h"
#include "Common/source/xplat/XmlPropertyList.h"
#include "Common/source/xplat/XmlPropertyMap.h"

#include "tests/support/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace {

const std::string kHeader = "<?xml version=\"1.0\" encoding=\"utf-8\"?>";

// A list item record, as the payload models build theirs.
class ItemRecord : public XmlBackedObject {
public:
    explicit ItemRecord(const XmlNode& node)
        : XmlBackedObject(node)
    {
    }
    XmlAttributeValue Code() { return XmlAttributeValue("code", this); }
    XmlProperty Action() { return XmlProperty("Action", this, GetDocument()); }
};

// A fixed-name child record whose map items are its own children.
class ChildRecord : public XmlComplexTypeChild {
public:
    ChildRecord(XmlBackedObject* parent, XmlDocument* document)
        : XmlComplexTypeChild("Child", parent, document)
    {
    }
    XmlPropertyMap Values() { return XmlPropertyMap(this, GetDocument(), "Value", "lang"); }
};

class XmlObjectModelTest : public tolktest::SystemRootTest {
protected:
    XmlObjectModelTest()
        : store_("Root")
    {
    }

    void LoadText(const std::string& text)
    {
        const std::string path = sysroot_.Scratch() + "/in.xml";
        tolktest::WriteTextFile(path, text);
        ASSERT_TRUE(store_.Load(path));
    }

    std::string Saved()
    {
        const std::string path = sysroot_.Scratch() + "/out.xml";
        EXPECT_TRUE(store_.Save(path, true));
        const std::string text = tolktest::ReadTextFile(path);
        return text.compare(0, kHeader.size(), kHeader) == 0 ? text.substr(kHeader.size()) : text;
    }

    XmlBackedObject* Root() { return store_.GetRootBackingObject(); }
    XmlDocument* Document() { return store_.GetDocument(); }

    XmlObjectDataStore store_;
};

TEST_F(XmlObjectModelTest, ReadsOfMissingElementsChangeNothingAndTheFirstWriteAddsTheChain)
{
    ASSERT_TRUE(store_.CreateDocument());
    XmlComplexTypeChild a("A", Root(), Document());
    XmlComplexTypeChild b("B", &a, Document());
    XmlProperty c("C", &b, Document());
    XmlAttributeValue flag("flag", &b);

    std::string text = "preset";
    EXPECT_TRUE(c.Get(text));
    EXPECT_EQ(text, "");
    int number = 7;
    EXPECT_FALSE(c.Get(number));
    EXPECT_FALSE(flag.Get(number));
    EXPECT_EQ(number, 7);
    bool on = true;
    EXPECT_FALSE(flag.Get(on));
    EXPECT_EQ(Saved(), "<Root/>");

    EXPECT_TRUE(c.Set("v"));
    EXPECT_EQ(Saved(), "<Root><A><B><C>v</C></B></A></Root>");
    EXPECT_TRUE(flag.Set(""));
    EXPECT_TRUE(XmlAttributeValue("x", &a).Set("1"));
    EXPECT_EQ(Saved(), "<Root><A x=\"1\"><B flag=\"\"><C>v</C></B></A></Root>");
    EXPECT_TRUE(c.Get(text));
    EXPECT_EQ(text, "v");
}

TEST_F(XmlObjectModelTest, TypedReadsConvertTheWholeText)
{
    LoadText("<Root n=\"-42\" lead=\" 5\" tail=\"5x\" one=\"1\" word=\"true\"><Big>2147483648</Big></Root>");
    int number = 0;
    EXPECT_TRUE(XmlAttributeValue("n", Root()).Get(number));
    EXPECT_EQ(number, -42);
    EXPECT_FALSE(XmlAttributeValue("lead", Root()).Get(number));
    EXPECT_FALSE(XmlAttributeValue("tail", Root()).Get(number));
    EXPECT_FALSE(XmlProperty("Big", Root(), Document()).Get(number));
    EXPECT_EQ(number, -42);
    bool flag = false;
    EXPECT_TRUE(XmlAttributeValue("one", Root()).Get(flag));
    EXPECT_TRUE(flag);
    EXPECT_FALSE(XmlAttributeValue("word", Root()).Get(flag));
}

TEST_F(XmlObjectModelTest, MapsReadTheFirstOfEqualKeysAndStopAtTheFirstBadBoolean)
{
    LoadText("<Root><M><P k=\"a\">1</P><P k=\"a\">0</P><P>3</P><P k=\"\">4</P><Q k=\"q\">5</Q>"
             "<P k=\"b\"><x/>0</P></M><Bad><P k=\"a\">1</P><P k=\"b\">yes</P><P k=\"c\">0</P></Bad></Root>");
    std::map<std::string, std::string> values = {{"stale", "x"}};
    EXPECT_TRUE(XmlPropertyMap("M", Root(), Document(), "P", "k").Get(values));
    EXPECT_EQ(values, (std::map<std::string, std::string>{{"a", "1"}, {"b", "0"}}));
    std::map<std::string, bool> flags;
    EXPECT_TRUE(XmlPropertyMap("M", Root(), Document(), "P", "k").Get(flags));
    EXPECT_EQ(flags, (std::map<std::string, bool>{{"a", true}, {"b", false}}));
    EXPECT_FALSE(XmlPropertyMap("Bad", Root(), Document(), "P", "k").Get(flags));
    EXPECT_EQ(flags, (std::map<std::string, bool>{{"a", true}}));
}

TEST_F(XmlObjectModelTest, SettingAMapReplacesEveryChildOfTheContainer)
{
    LoadText("<Root><M><P k=\"x\">1</P><P k=\"y\">2</P><P k=\"z\">3</P><Other/></M><After/></Root>");
    XmlPropertyMap map("M", Root(), Document(), "P", "k");
    EXPECT_EQ(map.Set({{"b", "2"}, {"a", "1"}}), 2u);
    EXPECT_EQ(Saved(), "<Root><M><P k=\"a\">1</P><P k=\"b\">2</P></M><After/></Root>");

    XmlPropertyMap added("New", Root(), Document(), "P", "k");
    EXPECT_EQ(added.Set({{"k", "v"}}), 1u);
    EXPECT_EQ(Saved(), "<Root><M><P k=\"a\">1</P><P k=\"b\">2</P></M><After/><New><P k=\"k\">v</P></New></Root>");
}

TEST_F(XmlObjectModelTest, AMapWithoutContainerKeepsItsItemsInTheParentElement)
{
    ASSERT_TRUE(store_.CreateDocument());
    ChildRecord child(Root(), Document());
    std::map<std::string, std::string> values;
    EXPECT_TRUE(child.Values().Get(values));
    EXPECT_TRUE(values.empty());
    EXPECT_EQ(Saved(), "<Root/>");

    EXPECT_EQ(child.Values().Set({{"en_US", "Hello"}, {"de_DE", "Hallo"}}), 2u);
    EXPECT_EQ(Saved(), "<Root><Child><Value lang=\"de_DE\">Hallo</Value><Value lang=\"en_US\">Hello</Value></Child></Root>");
    EXPECT_TRUE(child.Values().Get(values));
    EXPECT_EQ(values.at("en_US"), "Hello");
    // The record itself finds the element its map view added.
    EXPECT_TRUE(XmlAttributeValue("isRepairable", &child).Set("1"));
    EXPECT_EQ(Saved(), "<Root><Child isRepairable=\"1\"><Value lang=\"de_DE\">Hallo</Value>"
                       "<Value lang=\"en_US\">Hello</Value></Child></Root>");
}

TEST_F(XmlObjectModelTest, ListsReadTheirItemsInOrder)
{
    LoadText("<Root><L><I>b</I><Other>x</Other><I>a</I><I>b</I></L>"
             "<R><Item code=\"1\"><Action>install</Action></Item><Skip/><Item code=\"2\"/></R></Root>");
    std::vector<std::string> texts = {"kept"};
    EXPECT_TRUE(XmlPropertyList("L", Root(), Document(), "I").Get(std::back_inserter(texts)));
    EXPECT_EQ(texts, (std::vector<std::string>{"kept", "b", "a", "b"}));

    std::vector<ItemRecord> records;
    EXPECT_TRUE(XmlComplexTypeList<ItemRecord>("R", Root(), Document(), "Item").Get(std::back_inserter(records)));
    ASSERT_EQ(records.size(), 2u);
    std::string text;
    EXPECT_TRUE(records[0].Code().Get(text));
    EXPECT_EQ(text, "1");
    EXPECT_TRUE(records[0].Action().Get(text));
    EXPECT_EQ(text, "install");
}

TEST_F(XmlObjectModelTest, CreateItemAddsTheMissingListElement)
{
    ASSERT_TRUE(store_.CreateDocument());
    XmlComplexTypeList<ItemRecord> list("Payloads", Root(), Document(), "Payload");
    std::vector<ItemRecord> records;
    EXPECT_TRUE(list.Get(std::back_inserter(records)));
    EXPECT_TRUE(records.empty());
    EXPECT_EQ(Saved(), "<Root/>");

    ItemRecord first = list.CreateItem();
    EXPECT_EQ(Saved(), "<Root><Payloads><Payload/></Payloads></Root>");
    EXPECT_TRUE(first.Code().Set("{A}"));
    EXPECT_TRUE(first.Action().Set("install"));
    ItemRecord second = list.CreateItem();
    EXPECT_TRUE(second.Code().Set("{B}"));
    EXPECT_EQ(Saved(), "<Root><Payloads><Payload code=\"{A}\"><Action>install</Action></Payload>"
                       "<Payload code=\"{B}\"/></Payloads></Root>");
}

TEST_F(XmlObjectModelTest, StaleViewsAndCopiesNeverAddASecondElement)
{
    ASSERT_TRUE(store_.CreateDocument());
    std::string text;
    XmlProperty early("Name", Root(), Document());
    EXPECT_TRUE(early.Get(text));  // resolves to a detached element
    XmlProperty copy = early;
    EXPECT_TRUE(XmlProperty("Name", Root(), Document()).Set("first"));
    EXPECT_TRUE(early.Set("second"));
    EXPECT_TRUE(copy.Set("third"));

    // The same when the stale part is higher up the chain.
    XmlComplexTypeChild staleParent("Group", Root(), Document());
    XmlProperty staleLeaf("X", &staleParent, Document());
    EXPECT_TRUE(staleLeaf.Get(text));
    XmlComplexTypeChild otherParent("Group", Root(), Document());
    EXPECT_TRUE(XmlProperty("Y", &otherParent, Document()).Set("y"));
    EXPECT_TRUE(staleLeaf.Set("x"));
    EXPECT_TRUE(XmlAttributeValue("a", &staleParent).Set("1"));

    // For a list whose element another view created, and for a direct attach.
    XmlComplexTypeList<ItemRecord> staleList("L", Root(), Document(), "I");
    staleList.Node();
    XmlComplexTypeList<ItemRecord>("L", Root(), Document(), "I").CreateItem();
    staleList.CreateItem();
    XmlComplexTypeChild staleDriver("Driver", Root(), Document());
    staleDriver.Node();
    EXPECT_TRUE(XmlProperty("Driver", Root(), Document()).Set("t"));
    EXPECT_TRUE(staleDriver.AttachNodePath());
    EXPECT_EQ(staleDriver.Node().GetNodeValue(), "t");

    EXPECT_EQ(Saved(), "<Root><Name>third</Name><Group a=\"1\"><Y>y</Y><X>x</X></Group><L><I/><I/></L>"
                       "<Driver>t</Driver></Root>");
}

TEST_F(XmlObjectModelTest, StoresLoadAnyRootAndHoldNothingAfterAFailure)
{
    // Views of an empty store read empty and refuse writes, which would land nowhere.
    XmlProperty orphan("X", Root(), Document());
    std::string text = "preset";
    EXPECT_TRUE(orphan.Get(text));
    EXPECT_EQ(text, "");
    EXPECT_FALSE(orphan.Set("lost"));
    EXPECT_FALSE(XmlAttributeValue("a", Root()).Set("lost"));
    EXPECT_FALSE(store_.Save(sysroot_.Scratch() + "/none.xml", true));

    LoadText("<Other version=\"3\"><Languages>en_US</Languages></Other>");
    ASSERT_NE(Root(), nullptr);
    EXPECT_EQ(Root()->NodeName(), "Other");
    EXPECT_TRUE(XmlAttributeValue("version", Root()).Get(text));
    EXPECT_EQ(text, "3");
    XmlProperty languages("Languages", Root(), Document());
    EXPECT_TRUE(languages.Get(text));
    EXPECT_EQ(text, "en_US");
    store_.Release();  // the view keeps its element, which the release has emptied
    EXPECT_TRUE(languages.Get(text));
    EXPECT_EQ(text, "");

    LoadText("<Root/>");
    EXPECT_FALSE(store_.Load(sysroot_.Scratch() + "/missing.xml"));
    EXPECT_EQ(Root(), nullptr);
    EXPECT_EQ(Document(), nullptr);

    XmlObjectDataStore unnamed("");
    EXPECT_THROW(unnamed.CreateDocument(), XmlException);
}

TEST_F(XmlObjectModelTest, ReadingALoadedDocumentLeavesItByteForByte)
{
    LoadText("<Root a=\"1\"><M><P k=\"a\">1</P></M><L><I>x</I></L></Root>");
    const std::string before = Saved();
    std::string text;
    int number;
    std::map<std::string, std::string> values;
    std::vector<std::string> texts;
    std::vector<ItemRecord> records;
    XmlComplexTypeChild missing("Missing", Root(), Document());
    XmlProperty("Deep", &missing, Document()).Get(text);
    XmlProperty("Deep", &missing, Document()).Get(number);
    XmlAttributeValue("x", &missing).Get(text);
    XmlPropertyMap("M", Root(), Document(), "P", "k").Get(values);
    XmlPropertyMap(&missing, Document(), "P", "k").Get(values);
    XmlPropertyList("L", &missing, Document(), "I").Get(std::back_inserter(texts));
    XmlComplexTypeList<ItemRecord>("L", Root(), Document(), "I").Get(std::back_inserter(records));
    ChildRecord(Root(), Document()).Values().Get(values);
    EXPECT_EQ(Saved(), before);
}

}  // namespace
