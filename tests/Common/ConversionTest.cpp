#include "Common/source/xplat/ChangeDiffTypeImpl.h"
#include "Common/source/xplat/CollectionUtils.h"
#include "Common/source/xplat/FileSystemUtils.h"
#include "Common/source/xplat/ProductVersion.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

typedef std::map<std::string, std::string> StringMap;

template <class Target>
bool FromText(const std::string& text, Target& target)
{
    return ZEB::ChangeDiffTypeImpl<std::string, Target>::ChangeType(text, target);
}

TEST(ChangeDiffTypeImplTest, TextToNumberNeedsTheWholeTextAndWritesOnlyOnSuccess)
{
    int value = 7;
    EXPECT_TRUE(FromText("42", value));
    EXPECT_EQ(value, 42);
    EXPECT_TRUE(FromText("-17", value));
    EXPECT_EQ(value, -17);
    value = 7;
    for (const char* bad : {" 5", "5 ", "5x", "", "2147483648", "x"}) {
        EXPECT_FALSE(FromText(bad, value)) << bad;
        EXPECT_EQ(value, 7) << bad;
    }
    unsigned long wide = 1;
    EXPECT_TRUE(FromText("4294967295", wide));
    EXPECT_EQ(wide, 4294967295ul);
    EXPECT_FALSE(FromText("4294967296", wide));
    EXPECT_EQ(wide, 4294967295ul);
    unsigned int narrow = 0;
    EXPECT_TRUE(FromText("300", narrow));
    EXPECT_EQ(narrow, 300u);

    std::string text;
    EXPECT_TRUE((ZEB::ChangeDiffTypeImpl<int, std::string>::ChangeType(-12, text)));
    EXPECT_EQ(text, "-12");
}

TEST(ChangeDiffTypeImplTest, TextToBoolTakesOnlyZeroAndOne)
{
    bool flag = false;
    EXPECT_TRUE(FromText("1", flag));
    EXPECT_TRUE(flag);
    EXPECT_TRUE(FromText("0", flag));
    EXPECT_FALSE(flag);
    flag = true;
    EXPECT_FALSE(FromText("true", flag));
    EXPECT_FALSE(FromText("2", flag));
    EXPECT_TRUE(flag);
}

TEST(CollectionUtilsTest, MapToBencodedDictionaryWritesKeysInOrder)
{
    std::string text = "old";
    EXPECT_TRUE(CollectionUtils::MapToBencodedDictionary({{"bb", "xyz"}, {"a", "1"}}, text));
    EXPECT_EQ(text, "d1:a1:12:bb3:xyze");
}

TEST(CollectionUtilsTest, BencodedDictionaryRoundTripsAnyBytes)
{
    const StringMap original = {{"", "empty key"}, {"d1:ae", ""}, {std::string("nul\0byte", 8), "12:34"}};
    std::string text;
    ASSERT_TRUE(CollectionUtils::MapToBencodedDictionary(original, text));
    StringMap read;
    ASSERT_TRUE(CollectionUtils::BencodedDictionaryToMap(text, read));
    EXPECT_EQ(read, original);
}

TEST(CollectionUtilsTest, BencodedDictionaryToMapReadsWellFormedDictionaries)
{
    StringMap map = {{"stale", "x"}};
    EXPECT_TRUE(CollectionUtils::BencodedDictionaryToMap("de", map));
    EXPECT_TRUE(map.empty());
    EXPECT_TRUE(CollectionUtils::BencodedDictionaryToMap("d1:a1:1e", map));
    EXPECT_EQ(map, (StringMap{{"a", "1"}}));
    EXPECT_TRUE(CollectionUtils::BencodedDictionaryToMap("d1:a1:11:a1:2e", map));
    EXPECT_EQ(map, (StringMap{{"a", "1"}}));
    EXPECT_TRUE(CollectionUtils::BencodedDictionaryToMap("d2:zz1:e01:a003:xyze", map));
    EXPECT_EQ(map, (StringMap{{"zz", "e"}, {"a", "xyz"}}));
}

TEST(ProductVersionTest, InitializeFromVersionStringSplitsAtDotsAndCommas)
{
    struct Case {
        const char* text;
        std::int32_t parts[4];
    };
    const Case cases[] = {
        {"10.2.3", {10, 2, 3, 0}},   {"1,5", {1, 5, 0, 0}},         {"1..2", {1, 0, 0, 0}},
        {"7", {7, 0, 0, 0}},         {"2b.1", {2, 1, 0, 0}},        {"1.2.3.4.5", {1, 2, 3, 4}},
        {"-1.+2", {-1, 2, 0, 0}},    {"x.1", {0, 1, 0, 0}},         {"99999999999.1", {INT32_MAX, 1, 0, 0}},
    };
    for (const Case& c : cases) {
        ProductVersion version(9, 9, 9, 9);
        EXPECT_TRUE(ProductVersion::InitializeFromVersionString(c.text, version)) << c.text;
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(version.Part(i), c.parts[i]) << c.text << " part " << i;
    }
    ProductVersion version(9, 9, 9, 9);
    EXPECT_FALSE(ProductVersion::InitializeFromVersionString("", version));
    EXPECT_EQ(version.compare(ProductVersion()), 0);
}

TEST(ProductVersionTest, CompareOrdersPartByPart)
{
    ProductVersion a;
    ProductVersion b;
    ProductVersion::InitializeFromVersionString("10.0", a);
    ProductVersion::InitializeFromVersionString("9.9", b);
    EXPECT_EQ(a.compare(b), 1);
    EXPECT_EQ(b.compare(a), -1);
    ProductVersion::InitializeFromVersionString("1.2", a);
    ProductVersion::InitializeFromVersionString("1.2.0.0", b);
    EXPECT_EQ(a.compare(b), 0);
    EXPECT_EQ(ProductVersion(0, 0, 75, 9).compare(ProductVersion(0, 0, 76, 0)), -1);
    EXPECT_EQ(ProductVersion(-1, 0, 0, 0).compare(ProductVersion(0, 0, 0, 0)), -1);
}

TEST(CompareVersionStringsTest, ComparesUpToFourParts)
{
    EXPECT_EQ(FileSystemUtils::CompareVersionStrings("1.2.3.", "1.2.4.", "."), -1);
    EXPECT_EQ(FileSystemUtils::CompareVersionStrings("1.2.4", "1.2.3", "."), 1);
    EXPECT_EQ(FileSystemUtils::CompareVersionStrings("1.2.3", "1.2.3.", "."), 0);
    // A part that was not read sorts below every part that was.
    EXPECT_EQ(FileSystemUtils::CompareVersionStrings("1.2", "1.2.0", "."), -1);
    EXPECT_EQ(FileSystemUtils::CompareVersionStrings(".5", "", "."), 0);
    EXPECT_EQ(FileSystemUtils::CompareVersionStrings("1.2.3.4.9", "1.2.3.4", "."), 0);
    EXPECT_EQ(FileSystemUtils::CompareVersionStrings("2--10", "2--9", "--"), 1);
}

}  // namespace
