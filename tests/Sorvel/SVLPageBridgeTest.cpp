#include "Sorvel/source/mac/SVLPageBridge.h"

#include <gtest/gtest.h>

TEST(SVLPageBridgeTest, SplitsAtEverySeparatorKeepingEmptyComponents)
{
    typedef std::vector<std::string> Parts;
    EXPECT_EQ(SVLPageBridge::SplitBridgeText("DQEN<===>GetSessionData"), (Parts{"DQEN", "GetSessionData"}));
    EXPECT_EQ(SVLPageBridge::SplitBridgeText("DQEN<===>UIResizeWindow<===>640<===>480"),
              (Parts{"DQEN", "UIResizeWindow", "640", "480"}));
    EXPECT_EQ(SVLPageBridge::SplitBridgeText("DQEN<===>UIShowWindow<===>"), (Parts{"DQEN", "UIShowWindow", ""}));
    EXPECT_EQ(SVLPageBridge::SplitBridgeText("DQEN<===><===>x"), (Parts{"DQEN", "", "x"}));
    EXPECT_EQ(SVLPageBridge::SplitBridgeText("Hello"), (Parts{"Hello"}));
    EXPECT_EQ(SVLPageBridge::SplitBridgeText(""), (Parts{""}));
    // A separator is matched whole: partial ones stay in the text.
    EXPECT_EQ(SVLPageBridge::SplitBridgeText("a<==>b<===>c<====>d<===>>e"), (Parts{"a<==>b", "c<====>d", ">e"}));
}

TEST(SVLPageBridgeTest, EscapesBackslashFirstThenApostropheAndLineFeed)
{
    EXPECT_EQ(SVLPageBridge::EscapeAnswer("a\\b'c\nd\re"), "a\\\\b\\'c\\nd\re");
    // An escape that is already in the answer is escaped again, not taken for one of ours.
    EXPECT_EQ(SVLPageBridge::EscapeAnswer("\\'"), "\\\\\\'");
    EXPECT_EQ(SVLPageBridge::AnswerScript(std::string("{ \"success\": 1 }")), "DQEN.result = '{ \"success\": 1 }';");
    EXPECT_EQ(SVLPageBridge::AnswerScript(std::string()), "DQEN.result = '';");
    EXPECT_EQ(SVLPageBridge::AnswerScript(boost::none), "DQEN.result = null;");
}
