// ProductVersion: a four-part product version ("10.2.3"), read from text and ordered part by
// part, most significant first.
#pragma once

#include <cstdint>
#include <string>

class ProductVersion {
public:
    ProductVersion();
    ProductVersion(std::int32_t first, std::int32_t second, std::int32_t third, std::int32_t fourth);

    // Splits the text at "." and "," and reads the first four components as decimal numbers
    // (leading digits, 0 when there are none); missing parts are 0. False, with a cleared
    // version, for an empty text.
    static bool InitializeFromVersionString(const std::string& text, ProductVersion& version);

    // -1, 0 or 1 as this version is lower than, equal to or higher than the other.
    int compare(const ProductVersion& other) const;

    void Clear();
    std::int32_t Part(int index) const { return parts_[index]; }

private:
    std::int32_t parts_[4];
};
