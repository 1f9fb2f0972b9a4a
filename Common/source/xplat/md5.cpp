#include "md5.h"

#include <type_traits>

namespace orvex {

md5_t::md5_t()
{
}

void md5_t::reset()
{
    context_ = boost::uuids::detail::md5();
}

void md5_t::update(const void* data, unsigned long size)
{
    if (size > 0)
        context_.process_bytes(data, size);
}

md5_digest_t md5_t::final()
{
    typedef boost::uuids::detail::md5::digest_type Words;
    Words words;
    context_.get_digest(words);
    reset();

    md5_digest_t digest;
    typedef std::remove_extent<Words>::type Word;
    if constexpr (sizeof(Word) == 1) {
        // Later Boost releases hand out the digest bytes themselves.
        for (std::size_t i = 0; i < digest.size(); ++i)
            digest[i] = static_cast<unsigned char>(words[i]);
    } else {
        // Boost 1.71 to 1.85 hand out four words whose values hold the digest bytes most
        // significant first, whatever the host's byte order.
        static_assert(sizeof(Words) == 16, "unexpected MD5 digest layout");
        for (std::size_t word = 0; word < 4; ++word)
            for (std::size_t byte = 0; byte < 4; ++byte)
                digest[word * 4 + byte] = static_cast<unsigned char>(words[word] >> (24 - 8 * byte));
    }
    return digest;
}

md5_digest_t md5(const void* data, unsigned long size)
{
    md5_t context;
    context.update(data, size);
    return context.final();
}

}  // namespace orvex
