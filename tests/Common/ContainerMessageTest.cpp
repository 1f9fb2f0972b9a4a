#include "Common/source/xplat/ContainerMessage.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

std::string Expand(const ContainerMessage::NamedArguments& arguments, const std::string& text)
{
    std::string out = "untouched";
    ContainerMessage(0, arguments).ExpandTokens(text, out);
    return out;
}

TEST(ContainerMessageTest, ExpandTokensReplacesEveryTokenInNameOrderWithoutRecursing)
{
    EXPECT_EQ(Expand({{"a", "x"}}, "[a][a]"), "xx");
    EXPECT_EQ(Expand({{"a", "[a]"}}, "[a][a]"), "[a][a]");
    EXPECT_EQ(Expand({{"a", "[b]"}, {"b", "y"}}, "[a]"), "y");
    EXPECT_EQ(Expand({{"a", "y"}, {"b", "[a]"}}, "[b]"), "[a]");
    EXPECT_EQ(Expand({{"a", "x"}}, "no tokens [c] here"), "no tokens [c] here");
    EXPECT_EQ(Expand({{"a", ""}}, "[a][a]x"), "x");
}

TEST(ContainerMessageTest, ExpandTokensOfAnEmptyTextFailsAndLeavesOutAlone)
{
    std::string out = "untouched";
    EXPECT_FALSE(ContainerMessage(0, {{"a", "x"}}).ExpandTokens("", out));
    EXPECT_EQ(out, "untouched");
}

TEST(ContainerMessageTest, AddNamedArgumentRefusesEmptyNamesAndReplacesOnlyWhenAsked)
{
    ContainerMessage message(2, {});
    EXPECT_FALSE(message.AddNamedArgument("", "x", true));
    EXPECT_TRUE(message.Arguments().empty());
    EXPECT_TRUE(message.AddNamedArgument("a", "first", false));
    EXPECT_TRUE(message.AddNamedArgument("a", "second", false));
    EXPECT_EQ(message.Arguments().at("a"), "first");
    EXPECT_TRUE(message.AddNamedArgument("a", "third", true));
    EXPECT_EQ(message.Arguments().at("a"), "third");
    message.SetNamedArguments({{"b", "1"}});
    EXPECT_EQ(message.Arguments(), (ContainerMessage::NamedArguments{{"b", "1"}}));
    EXPECT_EQ(message.Code(), 2);
}

TEST(ContainerMessageTest, StreamFormIsOneLine)
{
    std::ostringstream withArguments;
    withArguments << ContainerMessage(5, {{"b", "x"}, {"a", "1"}});
    EXPECT_EQ(withArguments.str(), "Error code: 5, a=1, b=x\n");
    std::ostringstream without;
    without << ContainerMessage(-3, {});
    EXPECT_EQ(without.str(), "Error code: -3\n");
}

}  // namespace
