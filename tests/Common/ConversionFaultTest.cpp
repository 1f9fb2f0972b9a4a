#include "Common/source/xplat/CollectionUtils.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

typedef std::map<std::string, std::string> StringMap;

TEST(CollectionUtilsFaultTest, MalformedDictionariesFail)
{
    StringMap map;
    for (const char* bad : {"", "d", "e", "x1:a1:1e", "d1:a1:1", "d1:ai1ee", "d1:al1:xee", "d1:ad1:x1:yee",
                            "d1:a5:1e", "d1a1:1e", "d-1:a1:1e", "d1:a1:1x"}) {
        map = {{"stale", "x"}};
        EXPECT_FALSE(CollectionUtils::BencodedDictionaryToMap(bad, map)) << bad;
        EXPECT_EQ(map.count("stale"), 0u) << bad;
    }
    EXPECT_FALSE(CollectionUtils::BencodedDictionaryToMap("d1:a5:1e", map));
    EXPECT_TRUE(map.empty());
}

TEST(CollectionUtilsFaultTest, AKeyWithoutAValueIsMalformed)
{
    StringMap map;
    EXPECT_FALSE(CollectionUtils::BencodedDictionaryToMap("d1:ae", map));
    EXPECT_FALSE(CollectionUtils::BencodedDictionaryToMap("d1:a1:11:be", map));
    // Pairs read before the fault stay.
    EXPECT_EQ(map, (StringMap{{"a", "1"}}));
}

TEST(CollectionUtilsFaultTest, OversizedLengthsFailWithoutOverflow)
{
    StringMap map;
    EXPECT_FALSE(CollectionUtils::BencodedDictionaryToMap("d18446744073709551617:a1:1e", map));
    EXPECT_FALSE(CollectionUtils::BencodedDictionaryToMap("d1:a18446744073709551616:e", map));
    EXPECT_FALSE(CollectionUtils::BencodedDictionaryToMap("d1:a99999999999999999999999999999:xe", map));
    EXPECT_TRUE(map.empty());
    // A value may not swallow the dictionary's final "e".
    EXPECT_FALSE(CollectionUtils::BencodedDictionaryToMap("d1:a2:xe", map));
}

}  // namespace
