#include "Common/source/xplat/JSONUtilities.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>

using namespace JSONUtilities;

namespace {

std::string Text(const JSONBase& node)
{
    std::ostringstream out;
    node.Serialize(out);
    return out.str();
}

enum SampleState { kSampleInstalled = 2, kSampleNegative = -3 };

}  // namespace

TEST(JSONUtilitiesTest, WritesTheCompactFormWithEveryScalarQuoted)
{
    JSONObject root;
    root.AddProperty("a", std::string("x"));
    root.AddProperty("n", 5);
    root.AddProperty("b", true);
    root.AddArray("list", std::vector<std::string>());
    root.AddObject("o")->AddObjectArray("arr");
    EXPECT_EQ(Text(root), "{\"a\":\"x\",\"n\":\"5\",\"b\":\"1\",\"list\":[],\"o\":{\"arr\":[]}}");
    EXPECT_EQ(Text(root), Text(root));  // writing leaves the tree as it was

    JSONObject types;
    types.AddProperty("long", -9000000000L);
    types.AddProperty("uint", 4000000000u);
    types.AddProperty("ushort", static_cast<unsigned short>(65535));
    types.AddProperty("ull", 18446744073709551615ull);
    types.AddProperty("false", false);
    types.AddProperty("state", kSampleInstalled);
    types.AddProperty("negative", kSampleNegative);
    types.AddProperty("", std::string("empty name"));
    types.AddProperty("", std::string("written twice"));
    EXPECT_EQ(Text(types), "{\"long\":\"-9000000000\",\"uint\":\"4000000000\",\"ushort\":\"65535\","
                           "\"ull\":\"18446744073709551615\",\"false\":\"0\",\"state\":\"2\",\"negative\":\"-3\","
                           "\"\":\"empty name\",\"\":\"written twice\"}");
}

TEST(JSONUtilitiesTest, ContainersKeepTheirOrder)
{
    EXPECT_EQ(Text(JSONObject()), "{}");
    EXPECT_EQ(Text(JSONObject("child")), "\"child\":{}");
    EXPECT_EQ(Text(JSONObjectArray()), "[]");

    JSONObject root;
    JSONObjectArray* payloads = root.AddObjectArray("payloads");
    payloads->AddObject()->AddProperty("code", std::string("{A}"));
    JSONObject* second = payloads->AddObject();
    second->AddProperty("code", std::string("{B}"));
    second->AddObject("media")->AddProperty("type", 1);
    std::vector<std::string> items{"b", "a"};
    root.AddArray("vector", items);
    items.push_back("added later");  // the array holds a copy
    root.AddArray("set", std::set<std::string>{"b", "c", "a"});
    EXPECT_EQ(Text(root), "{\"payloads\":[{\"code\":\"{A}\"},{\"code\":\"{B}\",\"media\":{\"type\":\"1\"}}],"
                          "\"vector\":[\"b\",\"a\"],\"set\":[\"a\",\"b\",\"c\"]}");
}

TEST(JSONUtilitiesTest, PropertyMapAddsInKeyOrderAfterEarlierMembers)
{
    JSONObject root;
    root.AddProperty("first", std::string("0"));
    EXPECT_EQ(root.AddPropertyMap({{"c", "3"}, {"a", "1\n"}, {"b", "2"}}), 3u);
    EXPECT_EQ(Text(root), "{\"first\":\"0\",\"a\":\"1\\n\",\"b\":\"2\",\"c\":\"3\"}");
}

TEST(JSONUtilitiesTest, EscapesValuesAndNamesSoThatAnswersStayScriptLiterals)
{
    JSONObject root;
    root.AddProperty("s", std::string("line1\nsaid \"hi\" it's\r\\ end\ttab"));
    root.AddProperty("key\"", std::string("v"));
    root.AddArray("list\n", std::vector<std::string>{"x'"});
    root.AddObject("obj\\");
    root.AddObjectArray("arr\r");
    EXPECT_EQ(Text(root), "{\"s\":\"line1\\nsaid \\\"hi\\\" it\\'s\\r\\\\ end\ttab\",\"key\\\"\":\"v\","
                          "\"list\\n\":[\"x\\'\"],\"obj\\\\\":{},\"arr\\r\":[]}");
    // Nothing is escaped twice; U+2028 and U+2029 end a script string, other non-ASCII text
    // passes unchanged (a truncated sequence, which could swallow the closing quote, does not).
    EXPECT_EQ(JSONBase::EscapeValue("\\n"), "\\\\n");
    EXPECT_EQ(JSONBase::EscapeValue("a\xE2\x80\xA8" "b\xE2\x80\xA9" "c"), "a\\u2028b\\u2029c");
    EXPECT_EQ(JSONBase::EscapeValue("caf\xC3\xA9 \xE2\x80\x94 \xE2\x80"), "caf\xC3\xA9 \xE2\x80\x94 \\ufffd\\ufffd");
}

TEST(JSONUtilitiesTest, CharacterPointerValuesAreWrittenVerbatimAndCopied)
{
    JSONObject root;
    root.AddProperty("raw", "say \"x\"");
    std::string buffer = "before";
    root.AddProperty("copied", buffer.c_str());
    buffer.assign("after, in a buffer long enough to move");
    root.AddProperty("null", static_cast<const char*>(nullptr));
    EXPECT_EQ(Text(root), "{\"raw\":\"say \"x\"\",\"copied\":\"before\",\"null\":\"\"}");
}
