#include "Common/source/xplat/Base64.h"
#include "Common/source/xplat/HexMD5Digest.h"
#include "Common/source/xplat/md5.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

namespace {

std::string Hex(const orvex::md5_digest_t& digest)
{
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char byte : digest) {
        hex.push_back(kDigits[byte >> 4]);
        hex.push_back(kDigits[byte & 0x0F]);
    }
    return hex;
}

std::string Md5Hex(const std::string& text)
{
    return Hex(orvex::md5(text.data(), text.size()));
}

TEST(Md5Test, MatchesTheVectorsOfRfc1321)
{
    EXPECT_EQ(Md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(Md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(Md5Hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(Md5Hex("12345678901234567890123456789012345678901234567890123456789012345678901234567890"),
              "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(Md5Test, PiecesGiveTheDigestOfTheWholeAndFinalStartsAfresh)
{
    const std::string text = "12345678901234567890123456789012345678901234567890123456789012345678901234567890";
    orvex::md5_t context;
    for (std::size_t i = 0; i < text.size(); i += 7)
        context.update(text.data() + i, std::min<std::size_t>(7, text.size() - i));
    EXPECT_EQ(Hex(context.final()), "57edf4a22be3c955ac49da2e2107b67a");
    context.update("abc", 3);
    EXPECT_EQ(Hex(context.final()), "900150983cd24fb0d6963f7d28e17f72");
    context.update("junk", 4);
    context.reset();
    EXPECT_EQ(Hex(context.final()), "d41d8cd98f00b204e9800998ecf8427e");
}

TEST(HexMD5DigestTest, KeepsThirtyOneLowerCaseDigits)
{
    const std::string abc = "abc";
    EXPECT_EQ(ZEB::HexMD5Digest(abc.begin(), abc.end()), "900150983cd24fb0d6963f7d28e17f7");
    const std::vector<std::string> pieces = {"ab", "", "c"};
    EXPECT_EQ(ZEB::HexMD5Digest(pieces.begin(), pieces.end()), "900150983cd24fb0d6963f7d28e17f7");
    const std::string empty;
    EXPECT_EQ(ZEB::HexMD5Digest(empty.begin(), empty.end()), "");
    const std::vector<std::string> emptyPieces = {"", ""};
    EXPECT_EQ(ZEB::HexMD5Digest(emptyPieces.begin(), emptyPieces.end()), "");
}

std::string Encode(const std::string& bytes)
{
    std::string out;
    return ZEB::Base64Encode(bytes.begin(), bytes.end(), out);
}

std::string Decode(const std::string& text, bool& ok)
{
    std::string out;
    ok = false;
    ZEB::Base64Decode(text.begin(), text.end(), std::back_inserter(out), ok);
    return out;
}

TEST(Base64Test, EncodesWithPaddingAndAppends)
{
    EXPECT_EQ(Encode(""), "");
    EXPECT_EQ(Encode("a"), "YQ==");
    EXPECT_EQ(Encode("ab"), "YWI=");
    EXPECT_EQ(Encode("abc"), "YWJj");
    EXPECT_EQ(Encode("foobar"), "Zm9vYmFy");
    EXPECT_EQ(Encode(std::string("\xFF\xFE\x00\x80", 4)), "//4AgA==");
    std::string out = "prefix:";
    const std::vector<unsigned char> bytes = {0xFB, 0xFF};
    ZEB::Base64Encode(bytes.begin(), bytes.end(), out);
    EXPECT_EQ(out, "prefix:+/8=");
}

TEST(Base64Test, DecodesSkippingForeignCharacters)
{
    bool ok = false;
    EXPECT_EQ(Decode("YWJj", ok), "abc");
    EXPECT_TRUE(ok);
    EXPECT_EQ(Decode("YW Jj", ok), "abc");
    EXPECT_TRUE(ok);
    EXPECT_EQ(Decode("Zm9v\r\nYmFy\n", ok), "foobar");
    EXPECT_TRUE(ok);
    EXPECT_EQ(Decode("YQ==YQ==", ok), "aa");
    EXPECT_TRUE(ok);

    std::vector<unsigned char> bytes;
    const std::string text = "//4AgA==";
    ZEB::Base64Decode(text.begin(), text.end(), std::back_inserter(bytes), ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(bytes, (std::vector<unsigned char>{0xFF, 0xFE, 0x00, 0x80}));
}

TEST(Base64Test, DecodingFailsOnTruncatedGroupsAndMisplacedPadding)
{
    bool ok = true;
    EXPECT_EQ(Decode("YWJ", ok), "");
    EXPECT_FALSE(ok);
    EXPECT_EQ(Decode("Y=Jj", ok), "");
    EXPECT_FALSE(ok);
    EXPECT_EQ(Decode("YW=j", ok), "");
    EXPECT_FALSE(ok);
    // What was decoded before the fault stays.
    EXPECT_EQ(Decode("YWJjY", ok), "abc");
    EXPECT_FALSE(ok);
}

}  // namespace
