#include "platform/desktop/WorkspaceIcons.h"

#include "platform/files/Volumes.h"

#include <sys/stat.h>

#include <climits>
#include <cstdlib>

namespace platform {

namespace {

struct Color {
    std::uint8_t r, g, b, a;
};

// Fills the rectangle given in fractions of the icon's size.
void Fill(IconImage& image, double left, double top, double right, double bottom, Color color)
{
    const std::uint32_t x0 = static_cast<std::uint32_t>(left * image.width);
    const std::uint32_t y0 = static_cast<std::uint32_t>(top * image.height);
    const std::uint32_t x1 = static_cast<std::uint32_t>(right * image.width);
    const std::uint32_t y1 = static_cast<std::uint32_t>(bottom * image.height);
    for (std::uint32_t y = y0; y < y1 && y < image.height; ++y) {
        for (std::uint32_t x = x0; x < x1 && x < image.width; ++x) {
            std::uint8_t* pixel = &image.rgba[(static_cast<std::size_t>(y) * image.width + x) * 4];
            pixel[0] = color.r;
            pixel[1] = color.g;
            pixel[2] = color.b;
            pixel[3] = color.a;
        }
    }
}

// A framed box: the outline colour, then the inside one pixel-fraction in.
void Box(IconImage& image, double left, double top, double right, double bottom, Color outline, Color inside)
{
    const double edge = 1.0 / image.width;
    Fill(image, left, top, right, bottom, outline);
    Fill(image, left + edge, top + edge, right - edge, bottom - edge, inside);
}

// Judged by the mount table, so that the volumes a system root declares count too.
bool IsVolumeRoot(const std::string& path)
{
    char resolved[PATH_MAX];
    VolumeStatus status;
    return realpath(path.c_str(), resolved) != nullptr && StatVolume(resolved, status) == 0 &&
           status.mountPoint == resolved;
}

void Put16(std::string& out, std::uint16_t value)
{
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>(value >> 8);
}

void Put32(std::string& out, std::uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out += static_cast<char>((value >> shift) & 0xFF);
}

// One directory entry whose value fits in its four bytes (or is the offset of its values).
void Entry(std::string& out, std::uint16_t tag, std::uint16_t type, std::uint32_t count, std::uint32_t value)
{
    const std::uint16_t kShort = 3;
    Put16(out, tag);
    Put16(out, type);
    Put32(out, count);
    if (type == kShort && count == 1) {
        Put16(out, static_cast<std::uint16_t>(value));
        Put16(out, 0);
    } else {
        Put32(out, value);
    }
}

}  // namespace

bool IconImageForPath(const std::string& path, std::uint32_t size, IconImage& image)
{
    struct stat item;
    if (size == 0 || size > 1024 || path.empty() || stat(path.c_str(), &item) != 0)
        return false;
    IconImage icon;
    icon.width = size;
    icon.height = size;
    icon.rgba.assign(static_cast<std::size_t>(size) * size * 4, 0);

    const Color dark = {0x50, 0x50, 0x50, 0xFF};
    if (S_ISDIR(item.st_mode) && IsVolumeRoot(path)) {
        Box(icon, 0.06, 0.31, 0.94, 0.75, dark, Color{0xC8, 0xC8, 0xC8, 0xFF});
        Fill(icon, 0.12, 0.62, 0.88, 0.66, Color{0x8C, 0x8C, 0x8C, 0xFF});
        Fill(icon, 0.78, 0.44, 0.85, 0.50, Color{0x2E, 0xB8, 0x4A, 0xFF});
    } else if (S_ISDIR(item.st_mode)) {
        Box(icon, 0.06, 0.19, 0.47, 0.31, dark, Color{0x6F, 0xA8, 0xDC, 0xFF});
        Box(icon, 0.06, 0.28, 0.94, 0.84, dark, Color{0x8E, 0xC1, 0xEA, 0xFF});
    } else {
        Box(icon, 0.19, 0.06, 0.81, 0.94, dark, Color{0xFF, 0xFF, 0xFF, 0xFF});
        for (double line = 0.25; line < 0.85; line += 0.125)
            Fill(icon, 0.28, line, 0.72, line + 0.03, Color{0xA0, 0xA0, 0xA0, 0xFF});
    }
    image = icon;
    return true;
}

bool TIFFRepresentation(const IconImage& image, std::string& data)
{
    const std::uint64_t bytes = static_cast<std::uint64_t>(image.width) * image.height * 4;
    if (image.width == 0 || image.height == 0 || bytes != image.rgba.size() || bytes > 0x7FFFFFFF)
        return false;

    const std::uint16_t kShort = 3;
    const std::uint16_t kLong = 4;
    const std::uint16_t kEntries = 11;
    const std::uint32_t kDirectory = 8;
    const std::uint32_t kBitsPerSample = kDirectory + 2 + kEntries * 12 + 4;
    const std::uint32_t kPixels = kBitsPerSample + 4 * 2;

    std::string out("II", 2);
    Put16(out, 42);
    Put32(out, kDirectory);
    Put16(out, kEntries);
    Entry(out, 256, kLong, 1, image.width);            // ImageWidth
    Entry(out, 257, kLong, 1, image.height);           // ImageLength
    Entry(out, 258, kShort, 4, kBitsPerSample);        // BitsPerSample, 8 each
    Entry(out, 259, kShort, 1, 1);                     // Compression: none
    Entry(out, 262, kShort, 1, 2);                     // PhotometricInterpretation: RGB
    Entry(out, 273, kLong, 1, kPixels);                // StripOffsets
    Entry(out, 277, kShort, 1, 4);                     // SamplesPerPixel
    Entry(out, 278, kLong, 1, image.height);           // RowsPerStrip
    Entry(out, 279, kLong, 1, static_cast<std::uint32_t>(bytes));  // StripByteCounts
    Entry(out, 284, kShort, 1, 1);                     // PlanarConfiguration: chunky
    Entry(out, 338, kShort, 1, 2);                     // ExtraSamples: unassociated alpha
    Put32(out, 0);                                     // no further directory
    for (int sample = 0; sample < 4; ++sample)
        Put16(out, 8);
    out.append(reinterpret_cast<const char*>(image.rgba.data()), image.rgba.size());
    data.swap(out);
    return true;
}

}  // namespace platform
