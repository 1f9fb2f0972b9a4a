#include "HexMD5Digest.h"

#include "md5.h"

namespace ZEB {

namespace detail {

std::string HexMD5DigestOfText(const std::string& text)
{
    if (text.empty())
        return std::string();
    static const char kDigits[] = "0123456789abcdef";
    const orvex::md5_digest_t digest = orvex::md5(text.data(), text.size());
    std::string hex;
    hex.reserve(2 * digest.size());
    for (std::size_t i = 0; i < digest.size(); ++i) {
        hex.push_back(kDigits[digest[i] >> 4]);
        hex.push_back(kDigits[digest[i] & 0x0F]);
    }
    hex.pop_back();
    return hex;
}

}  // namespace detail

}  // namespace ZEB
