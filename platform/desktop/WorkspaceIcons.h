// The icons the desktop shows for files, folders and volumes, as pixel images, and the TIFF form
// in which such an image is handed to a page. There is no icon theme to ask here: the three
// kinds of item get simple drawn icons.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// Straight (not premultiplied) RGBA pixels, rows from the top.
struct IconImage {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<std::uint8_t> rgba;
};

// The icon of an existing item drawn at size by size pixels: a drive for a volume's root, a
// folder for any other folder, a page for everything else. False when nothing exists at the
// path or the size is 0 or above 1024.
bool IconImageForPath(const std::string& path, std::uint32_t size, IconImage& image);

// The image as a baseline little-endian TIFF (uncompressed RGBA, one strip, unassociated
// alpha); false for an empty or inconsistent image.
bool TIFFRepresentation(const IconImage& image, std::string& data);

}  // namespace platform
