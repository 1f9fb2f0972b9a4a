#include "platform/script/Mivor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace {

const Mivor::Encoder& UTF8()
{
    return Mivor::Encoder::getUtf8();
}

std::string Text(const Mivor::String& text)
{
    return text.encode(UTF8());
}

Mivor::Variant Number(double value)
{
    Mivor::Variant variant;
    variant.setDouble(value);
    return variant;
}

Mivor::Variant Str(const char* utf8)
{
    Mivor::Variant variant;
    variant.setString(Mivor::String(utf8, UTF8()));
    return variant;
}

}  // namespace

TEST(MivorStringTest, UTF8RoundTripKeepsNulAndCharactersBeyondTheBasicPlane)
{
    const std::string original("a\0b\xF0\x9F\x98\x80\xC3\xA9", 9);
    const Mivor::String text(original.data(), original.size(), UTF8());
    EXPECT_EQ(text.length(), 6u);  // a NUL b, a surrogate pair, e-acute
    EXPECT_EQ(text.units()[3], 0xD83D);
    EXPECT_EQ(text.units()[4], 0xDE00);
    EXPECT_EQ(text.encode(UTF8()), original);
    EXPECT_EQ(text.getEncodedLength(UTF8()), original.size());
}

TEST(MivorStringTest, TextConstructorStopsAtTheFirstNul)
{
    const char bytes[] = "ab\0cd";
    EXPECT_EQ(Text(Mivor::String(bytes, UTF8())), "ab");
}

TEST(MivorStringTest, MalformedUTF8BecomesReplacementCharacters)
{
    // A lone continuation byte, a truncated sequence, an overlong slash and an encoded surrogate.
    const std::string bad("\x80x\xE2\x82y\xC0\xAFz\xED\xA0\x80", 11);
    EXPECT_EQ(Text(Mivor::String(bad.data(), bad.size(), UTF8())),
              "\xEF\xBF\xBDx\xEF\xBF\xBDy\xEF\xBF\xBD\xEF\xBF\xBDz\xEF\xBF\xBD");
}

TEST(MivorStringTest, UnpairedSurrogateEncodesAsReplacement)
{
    const Mivor::String text(std::u16string{u'a', char16_t(0xD800), u'b'});
    EXPECT_EQ(Text(text), "a\xEF\xBF\xBD"
                          "b");
}

TEST(MivorVariantTest, NumbersPrintAsTheScriptLanguagePrintsThem)
{
    EXPECT_EQ(Text(Number(4).toString()), "4");
    EXPECT_EQ(Text(Number(-0.0).toString()), "0");
    EXPECT_EQ(Text(Number(0.1).toString()), "0.1");
    EXPECT_EQ(Text(Number(0.1 + 0.2).toString()), "0.30000000000000004");
    EXPECT_EQ(Text(Number(1e21).toString()), "1e+21");
    EXPECT_EQ(Text(Number(123456789012.0).toString()), "123456789012");
    EXPECT_EQ(Text(Number(1.5e-7).toString()), "1.5e-7");
    EXPECT_EQ(Text(Number(0.000001).toString()), "0.000001");
    EXPECT_EQ(Text(Number(-2.5).toString()), "-2.5");
    EXPECT_EQ(Text(Number(std::nan("")).toString()), "NaN");
    EXPECT_EQ(Text(Number(-std::numeric_limits<double>::infinity()).toString()), "-Infinity");
    EXPECT_EQ(Text(Number(255).toString(16)), "ff");
    EXPECT_EQ(Text(Number(4294967295.0).toString()), "4294967295");
}

TEST(MivorVariantTest, IntegerReadingWrapsLikeToInt32)
{
    Mivor::Variant value;
    value.setUInt(0xFFFFFFFFu);
    EXPECT_EQ(value.getInt(), -1);
    EXPECT_EQ(value.getUInt(), 0xFFFFFFFFu);
    EXPECT_EQ(Number(-1).getUInt(), 0xFFFFFFFFu);
    EXPECT_EQ(Number(4294967296.0 + 5).getInt(), 5);
    EXPECT_EQ(Number(-7.9).getInt(), -7);
    EXPECT_EQ(Number(std::nan("")).getInt(), 0);
    EXPECT_EQ(Str(" 0755 ").getInt(), 755);
    EXPECT_EQ(Str("0x1F").getInt(), 31);
    EXPECT_EQ(Str("12abc").getInt(), 0);
    EXPECT_EQ(Str("").getInt(), 0);
    EXPECT_TRUE(std::isnan(Str("inf").getDouble()));
    EXPECT_EQ(Str("-Infinity").getDouble(), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(Mivor::Variant().getInt(), 0);
}

TEST(MivorVariantTest, BooleanAndStringConversions)
{
    EXPECT_FALSE(Str("").getBool());
    EXPECT_TRUE(Str("0").getBool());
    EXPECT_FALSE(Number(0).getBool());
    EXPECT_FALSE(Number(std::nan("")).getBool());
    Mivor::Variant none;
    EXPECT_FALSE(none.getBool());
    EXPECT_EQ(Text(none.toString()), "undefined");
    Mivor::Variant null;
    null.setNull();
    EXPECT_EQ(Text(null.toString()), "null");
    Mivor::Variant yes;
    yes.setBool(true);
    yes.doToString(10);
    EXPECT_TRUE(yes.isString());
    EXPECT_EQ(Text(yes.getString()), "true");
}

TEST(MivorVariantTest, ArraysNestAndJoinLikeScriptArrays)
{
    Mivor::Array inner;
    inner.append(Number(1));
    inner.append(Str("x"));
    Mivor::Array outer;
    outer.append(inner);  // one element, not two
    outer.append(Mivor::Variant());
    outer.set(3, Number(4));  // leaves a hole
    EXPECT_EQ(outer.length(), 4u);
    EXPECT_TRUE(outer[2].isUndefined());
    EXPECT_TRUE(outer[9].isUndefined());

    Mivor::Variant value;
    value.setArray(outer);
    EXPECT_EQ(Text(value.toString()), "1,x,,,4");
    EXPECT_TRUE(value.getBool());

    Mivor::Array readBack;
    ASSERT_TRUE(value.getArray(readBack));
    Mivor::Array nested;
    ASSERT_TRUE(readBack[0].getArray(nested));
    EXPECT_EQ(Text(nested[1].getString()), "x");

    Mivor::Array untouched;
    untouched.append(Number(9));
    EXPECT_FALSE(Str("a,b").getArray(untouched));
    EXPECT_EQ(untouched.length(), 1u);
}

TEST(MivorVariantTest, CopiesAreIndependent)
{
    Mivor::Array list;
    list.append(Number(1));
    Mivor::Variant first;
    first.setArray(list);
    Mivor::Variant second = first;
    Mivor::Array changed;
    second.getArray(changed);
    changed.append(Number(2));
    second.setArray(changed);
    Mivor::Array original;
    first.getArray(original);
    EXPECT_EQ(original.length(), 1u);
    // Assigning a variant its own element must not read freed memory.
    Mivor::Variant holder;
    holder.setArray(changed);
    holder = holder.peekArray()[0][1];
    EXPECT_EQ(holder.getInt(), 2);
}

TEST(MivorLiveTest, PropertyManagerRefusesDuplicatesAndCopiesNames)
{
    Mivor::LivePropertyManager manager;
    std::string name = "first";
    EXPECT_EQ(manager.registerProperty({name.c_str(), 1, Mivor::kLiveFunction, 0}), Mivor::kNoError);
    name = "changed";
    EXPECT_EQ(manager.registerProperty({"first", 2, Mivor::kLiveFunction, 0}), Mivor::kErrDuplicate);
    EXPECT_EQ(manager.registerProperty({"second", 1, Mivor::kLiveFunction, 0}), Mivor::kErrDuplicate);
    EXPECT_EQ(manager.registerProperty({nullptr, 3, Mivor::kLiveFunction, 0}), Mivor::kErrBadParameter);
    ASSERT_NE(manager.findByID(1), nullptr);
    EXPECT_EQ(manager.findByID(1)->name, "first");
    EXPECT_TRUE(manager.findByName("first")->isFunction());
}
