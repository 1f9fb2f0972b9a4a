// orvex::md5_t: the MD5 message digest of RFC 1321, fed in pieces or over one block of bytes.
// The arithmetic is Boost's public-domain implementation; this class fixes the byte order of
// the digest, which Boost's own interface leaves to the host.
#pragma once

#include <boost/array.hpp>
#include <boost/uuid/detail/md5.hpp>

namespace orvex {

typedef boost::array<unsigned char, 16> md5_digest_t;

class md5_t {
public:
    md5_t();

    // Back to the initial state, dropping every byte added so far.
    void reset();
    void update(const void* data, unsigned long size);
    // The digest of everything added since the last reset; the context starts afresh.
    md5_digest_t final();

private:
    boost::uuids::detail::md5 context_;
};

md5_digest_t md5(const void* data, unsigned long size);

}  // namespace orvex
