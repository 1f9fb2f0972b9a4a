// Property lists whose texts hold a NUL: read as a failure (never a crash), and never written
// cut short.
#include "platform/formats/PropertyList.h"

#include <gtest/gtest.h>

#include <string>

using namespace platform;

namespace {

// The binary form of a one-entry dictionary, with the first "X" of its bytes (or "\0X" for a
// UTF-16 text) turned into a NUL.
std::string BinaryWithNul(const std::string& key, const std::string& text, bool utf16)
{
    PropertyValuePtr dictionary = PropertyValue::MakeDictionary();
    dictionary->Set(key, PropertyValue::MakeString(text));
    std::string bytes;
    EXPECT_TRUE(SerializePropertyListBinary(*dictionary, bytes));
    const std::string::size_type at = bytes.find(utf16 ? std::string("\0X", 2) : std::string("X"));
    EXPECT_NE(at, std::string::npos);
    bytes[utf16 ? at + 1 : at] = '\0';
    return bytes;
}

}  // namespace

TEST(PropertyListFaultTest, TextsWithNulAreReadFailuresAndCannotBeWritten)
{
    const std::string lists[] = {
        BinaryWithNul("key", "aXb", false),          // in an ASCII value
        BinaryWithNul("kXy", "value", false),        // in a key
        BinaryWithNul("key", "\xC3\xA9Xb", true),    // in a UTF-16 value
        BinaryWithNul("key", std::string(40, 'a') + "X", false),  // in a value with a long length
        std::string("<plist version=\"1.0\"><string>a\0b</string></plist>", 48),
    };
    for (const std::string& bytes : lists) {
        PropertyValuePtr value;
        EXPECT_FALSE(ParsePropertyList(bytes, value));
        EXPECT_FALSE(value);
    }
    // The same lists without the NUL are read.
    PropertyValuePtr value;
    std::string bytes = BinaryWithNul("key", "aXb", false);
    bytes[bytes.find(std::string("a\0b", 3)) + 1] = 'X';
    ASSERT_TRUE(ParsePropertyList(bytes, value));
    EXPECT_EQ(value->Get("key")->StringValue(), "aXb");

    PropertyValuePtr withNul = PropertyValue::MakeDictionary();
    withNul->Set("key", PropertyValue::MakeString(std::string("a\0b", 3)));
    EXPECT_FALSE(SerializePropertyListXML(*withNul, bytes));
    PropertyValuePtr keyWithNul = PropertyValue::MakeDictionary();
    keyWithNul->Set(std::string("k\0y", 3), PropertyValue::MakeString("v"));
    EXPECT_FALSE(SerializePropertyListBinary(*keyWithNul, bytes));
}

TEST(PropertyListFaultTest, TextsThatAreNoUTF8AreReadFailuresAndCannotBeWritten)
{
    // In a key or a string of the XML form, in an ASCII string of the binary form (a byte above
    // 0x7F where the list says ASCII), and a stray continuation or a cut sequence.
    std::string binary = BinaryWithNul("key", "aXb", false);
    binary[binary.find(std::string("a\0b", 3)) + 1] = '\x96';
    const std::string lists[] = {
        "<plist version=\"1.0\"><dict><key>\x96</key><string>v</string></dict></plist>",
        "<plist version=\"1.0\"><dict><key>k</key><string>caf\xC3</string></dict></plist>",
        "<plist version=\"1.0\"><array><string>\xED\xA0\x80</string></array></plist>",
        binary,
    };
    for (const std::string& bytes : lists) {
        PropertyValuePtr value;
        EXPECT_FALSE(ParsePropertyList(bytes, value)) << bytes;
        EXPECT_FALSE(value);
    }

    // Made in memory, such texts are not written in either form.
    std::string written;
    PropertyValuePtr badValue = PropertyValue::MakeDictionary();
    badValue->Set("key", PropertyValue::MakeString("\x96"));
    EXPECT_FALSE(SerializePropertyListBinary(*badValue, written));
    EXPECT_FALSE(SerializePropertyListXML(*badValue, written));
    PropertyValuePtr badKey = PropertyValue::MakeDictionary();
    badKey->Set("\x96", PropertyValue::MakeString("v"));
    EXPECT_FALSE(SerializePropertyListBinary(*badKey, written));

    // UTF-8 beyond ASCII reads, and reads back the same from the binary form.
    PropertyValuePtr value;
    ASSERT_TRUE(ParsePropertyList("<plist version=\"1.0\"><dict><key>cl\xC3\xA9</key>"
                                  "<string>\xE2\x82\xAC \xF0\x9F\x98\x80</string></dict></plist>",
                                  value));
    ASSERT_TRUE(SerializePropertyListBinary(*value, written));
    PropertyValuePtr again;
    ASSERT_TRUE(ParsePropertyList(written, again));
    EXPECT_EQ(*again, *value);
    EXPECT_EQ(again->Get("cl\xC3\xA9")->StringValue(), "\xE2\x82\xAC \xF0\x9F\x98\x80");
}
