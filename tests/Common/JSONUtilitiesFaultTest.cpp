// Answers built from bytes that are not strict UTF-8: no byte may go out that a lenient reader
// could take for a quote, a backslash or a line end.
#include "Common/source/xplat/JSONUtilities.h"

#include <gtest/gtest.h>

#include <string>

using JSONUtilities::JSONBase;

TEST(JSONUtilitiesFaultTest, BytesThatAreNotStrictUTF8BecomeReplacementCharacters)
{
    const std::string r = "\\ufffd";
    // Overlong forms of a quote, a backslash and of U+2028; a surrogate; a stray continuation
    // byte; a truncated sequence at the end.
    EXPECT_EQ(JSONBase::EscapeValue("a\xC0\xA2" "b"), "a" + r + r + "b");
    EXPECT_EQ(JSONBase::EscapeValue("\xC1\x9C"), r + r);
    EXPECT_EQ(JSONBase::EscapeValue("\xF0\x82\x80\xA8"), r + r + r + r);
    EXPECT_EQ(JSONBase::EscapeValue("\xED\xA0\x80"), r + r + r);
    EXPECT_EQ(JSONBase::EscapeValue("\x80x"), r + "x");
    EXPECT_EQ(JSONBase::EscapeValue("x\xE2\x80"), "x" + r + r);
    // Strict UTF-8 goes out as it is, line separators escaped as before.
    EXPECT_EQ(JSONBase::EscapeValue("Caf\xC3\xA9 \xF0\x9F\x98\x80 \xE2\x80\xA8"), "Caf\xC3\xA9 \xF0\x9F\x98\x80 \\u2028");
}
