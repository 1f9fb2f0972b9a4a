#include "Shared/PayloadProxyFileConstants.h"
#include "Shared/TolkConstants.h"

#include <gtest/gtest.h>

TEST(TolkConstantsTest, PropertySetsAreIndependentCopies)
{
    std::set<std::string> first = TolkConstants::GetWhitelistPayloadProperties();
    first.clear();
    EXPECT_EQ(TolkConstants::GetWhitelistPayloadProperties().size(), 25u);
    std::set<std::string> languages = TolkConstants::GetAllSupportedLanguages();
    languages.insert("xx_XX");
    EXPECT_EQ(TolkConstants::GetAllSupportedLanguages().size(), 48u);
    EXPECT_EQ(TolkConstants::GetAllSupportedDirectoryTokens().size(), 20u);
    EXPECT_EQ(TolkConstants::GetMutableSessionOrPayloadProperties(), std::set<std::string>{"removeUserPrefs"});
}

TEST(TolkConstantsTest, WhitelistMembers)
{
    const std::set<std::string> names = TolkConstants::GetWhitelistPayloadProperties();
    EXPECT_EQ(names.count("AddRemoveInfoDisplayName"), 1u);
    EXPECT_EQ(names.count("AddRemoveInfoEstimatedSize"), 1u);
    EXPECT_EQ(names.count("AddRemoveInfoDriverOrvexCode"), 0u);
    EXPECT_EQ(names.count("CAPS_28B98837_8526_4159_B4E7_D0FD5E235960.BootstrapperPackage"), 1u);
    EXPECT_EQ(names.count("OS64Bit"), 1u);
    EXPECT_EQ(PayloadProxyFileConstants::kPlatformCurrent, "OSX");
    EXPECT_EQ(TolkConstants::kCAPSPropTotalPayloads, "CAPS_28B98837_8526_4159_B4E7_D0FD5E235960.TotalPayloads");
}
