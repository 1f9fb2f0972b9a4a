#include "platform/formats/StringsTable.h"

#include <gtest/gtest.h>

using platform::StringsTable;

namespace {

// The text as UTF-16 with a byte-order mark; the input is ASCII plus the given extra units.
std::string UTF16(const std::u16string& text, bool bigEndian)
{
    std::string bytes = bigEndian ? std::string("\xFE\xFF", 2) : std::string("\xFF\xFE", 2);
    for (char16_t unit : text) {
        const char high = static_cast<char>(unit >> 8);
        const char low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
    return bytes;
}

StringsTable::Entries Parsed(const std::string& bytes)
{
    StringsTable::Entries entries;
    std::string error;
    EXPECT_TRUE(StringsTable::Parse(bytes, entries, error)) << error;
    return entries;
}

}  // namespace

TEST(StringsTableTest, ReadsEntriesBetweenCommentsAndBlankLines)
{
    const std::string text =
        "/* Interface language */\n"
        "\"ORVEX_LANGUAGE_ISO\" = \"de_DE\";\n"
        "\n"
        "// the cancel question\n"
        "\"CancelConfirmationTitle\"=\"Abbrechen?\" ; /* trailing */\n"
        "UnquotedKey = unquoted.value-1;\n"
        "\"Same\";\n"
        "\"ORVEX_LANGUAGE_ISO\" = \"de_AT\";\n";
    const StringsTable::Entries expected = {{"ORVEX_LANGUAGE_ISO", "de_AT"},
                                            {"CancelConfirmationTitle", "Abbrechen?"},
                                            {"UnquotedKey", "unquoted.value-1"},
                                            {"Same", "Same"}};
    EXPECT_EQ(Parsed(text), expected);
    EXPECT_TRUE(Parsed("").empty());
    EXPECT_TRUE(Parsed("\xEF\xBB\xBF  /* only a comment */ ").empty());
}

TEST(StringsTableTest, DecodesEscapes)
{
    const std::string text = "\"k\" = \"a\\nb\\t\\\"q\\\" \\\\ \\' \\U00e9 \\u20AC \\101 \\UD83D\\UDE00 \\z\";";
    EXPECT_EQ(Parsed(text).at("k"), "a\nb\t\"q\" \\ ' \xC3\xA9 \xE2\x82\xAC A \xF0\x9F\x98\x80 z");
    // A lone surrogate half has no UTF-8 form and becomes the replacement character.
    EXPECT_EQ(Parsed("\"k\" = \"\\UD800x\";").at("k"), "\xEF\xBF\xBDx");
    // Comment markers inside a string are text.
    EXPECT_EQ(Parsed("\"k\" = \"/* not a comment */ // nor this\";").at("k"), "/* not a comment */ // nor this");
}

TEST(StringsTableTest, ReadsUTF16WithEitherByteOrder)
{
    // "é" = "😀"; with the emoji as a surrogate pair.
    const std::u16string text = u"/* c */ \"\u00e9\" = \"\U0001F600\";\n\"k\" = \"v\";";
    const StringsTable::Entries expected = {{"\xC3\xA9", "\xF0\x9F\x98\x80"}, {"k", "v"}};
    EXPECT_EQ(Parsed(UTF16(text, false)), expected);
    EXPECT_EQ(Parsed(UTF16(text, true)), expected);
}

TEST(StringsTableTest, MalformedTablesAreRefusedWhole)
{
    // No semicolon, no "=", unterminated string or comment, no value, no key, Latin-1, overlong.
    const char* const bad[] = {"\"k\" = \"v\"", "\"k\" \"v\";", "\"k\" = \"v;", "\"k\" = \"v\"; /* open",
                               "\"k\" = ;", "= \"v\";", "\"k\" = \"caf\xE9\";", "\"k\" = \"\xC0\xAF\";"};
    for (const char* text : bad) {
        StringsTable::Entries entries = {{"kept", "yes"}};
        std::string error;
        EXPECT_FALSE(StringsTable::Parse(text, entries, error)) << text;
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(entries.size(), 1u) << text;
    }
    StringsTable::Entries entries;
    std::string error;
    EXPECT_FALSE(StringsTable::Parse(std::string("\xFF\xFE\x41", 3), entries, error));  // odd UTF-16 length
    EXPECT_FALSE(StringsTable::Parse(UTF16(u"\"k\" = \"\xD800\";", false), entries, error));  // lone surrogate
    EXPECT_FALSE(StringsTable::Parse("\"a\" = \"b\";\n\"c\" = \"d\"\n\"e\" = \"f\";", entries, error));
    EXPECT_NE(error.find("line 3"), std::string::npos) << error;
}
