// The icons of the desktop and the TIFF form in which a page gets them.
#include "platform/desktop/WorkspaceIcons.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

std::uint32_t Read32(const std::string& data, std::size_t offset)
{
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(data[offset + i]);
    return value;
}

std::uint16_t Read16(const std::string& data, std::size_t offset)
{
    return static_cast<std::uint16_t>(static_cast<unsigned char>(data[offset]) |
                                      static_cast<unsigned char>(data[offset + 1]) << 8);
}

TEST(WorkspaceIconsTest, TIFFHoldsThePixelsWhereItsDirectorySays)
{
    platform::IconImage image;
    ASSERT_TRUE(platform::IconImageForPath("/", 32, image));
    ASSERT_EQ(image.rgba.size(), 32u * 32u * 4u);
    std::string tiff;
    ASSERT_TRUE(platform::TIFFRepresentation(image, tiff));
    ASSERT_EQ(tiff.compare(0, 4, std::string("II*\0", 4)), 0);
    const std::uint32_t directory = Read32(tiff, 4);
    const std::uint16_t entries = Read16(tiff, directory);
    std::uint32_t width = 0, offset = 0, count = 0;
    for (std::uint16_t i = 0; i < entries; ++i) {
        const std::size_t entry = directory + 2 + i * 12u;
        const std::uint16_t tag = Read16(tiff, entry);
        if (tag == 256)
            width = Read32(tiff, entry + 8);
        if (tag == 273)
            offset = Read32(tiff, entry + 8);
        if (tag == 279)
            count = Read32(tiff, entry + 8);
    }
    EXPECT_EQ(width, 32u);
    ASSERT_EQ(count, image.rgba.size());
    ASSERT_EQ(offset + count, tiff.size());
    EXPECT_EQ(tiff.substr(offset), std::string(image.rgba.begin(), image.rgba.end()));

    EXPECT_FALSE(platform::TIFFRepresentation(platform::IconImage(), tiff));
    EXPECT_FALSE(platform::IconImageForPath("/nonexistent-icon-path", 32, image));
    EXPECT_FALSE(platform::IconImageForPath("/", 0, image));
}

}  // namespace
