// Property lists whose texts hold a NUL: read as a failure (never a crash), and never written
// cut short.
#include "platform/PropertyList.h"

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
