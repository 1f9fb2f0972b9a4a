#include "Common/source/xplat/KVRFileVersion.h"

#include "tests/support/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <string>

namespace {

KVR_FileVersion Version(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d)
{
    KVR_FileVersion version = {a, b, c, d};
    return version;
}

std::string Text(const KVR_FileVersion& v)
{
    return std::to_string(v.majorVersion) + "." + std::to_string(v.minorVersion) + "." + std::to_string(v.thirdVersion)
           + "." + std::to_string(v.fourthVersion);
}

// An ICC profile header of 128 bytes with the given creation date.
std::string ColorProfile(int year, int month, int day, int hours, int minutes, int seconds)
{
    std::string header(128, '\0');
    const int date[6] = {year, month, day, hours, minutes, seconds};
    for (int i = 0; i < 6; ++i) {
        header[24 + 2 * i] = static_cast<char>(date[i] >> 8);
        header[25 + 2 * i] = static_cast<char>(date[i] & 0xFF);
    }
    header.replace(36, 4, "acsp");
    return header;
}

// An ICU data file: header size, magic, then the data format and the two version quads.
std::string ICUData(const char* format, std::string formatVersion, std::string dataVersion)
{
    std::string data("\x00\x20\xDA\x27", 4);
    data += std::string(8, '\0');
    data += format;
    data += formatVersion + dataVersion;
    data += std::string(64, '\x01');
    return data;
}

class KVRFileVersionTest : public tolktest::SystemRootTest {
protected:
    std::string Write(const std::string& name, const std::string& content)
    {
        const std::string path = sysroot_.Scratch() + "/" + name;
        tolktest::WriteTextFile(path, content);
        return path;
    }

    // The code, and the type and version as text ("type:a.b.c.d").
    std::string Get(const std::string& path, KVR_Result expected = kKVR_Success)
    {
        KVR_FileVersion version = Version(kKVR_UnsetPart, kKVR_UnsetPart, kKVR_UnsetPart, kKVR_UnsetPart);
        KVR_FileType type = kKVR_FileTypeUnknown;
        EXPECT_EQ(KVR_GetFileVersion(path.c_str(), &version, &type), expected) << path;
        return std::to_string(type) + ":" + Text(version);
    }
};

TEST_F(KVRFileVersionTest, ReadsEveryKindOfVersionedFile)
{
    EXPECT_EQ(Get(Write("X.pfb", "%!FontType1-1.0: X\n/version (001.002) readonly def\n")), "4:1.2.0.0");
    EXPECT_EQ(Get(Write("X.OTF", std::string("OTTO\0\x01", 6) + "Version 1.010;ORVX;X-Bold")), "3:1.10.0.0");
    EXPECT_EQ(Get(Write("X.icc", ColorProfile(2006, 3, 15, 10, 20, 59))), "2:2006.3.15.621");
    EXPECT_EQ(Get(Write("Y.ICM", ColorProfile(2006, 3, 15, 10, 20, 30))), "2:2006.3.15.620");
    EXPECT_EQ(Get(Write("Z.pf", ColorProfile(1999, 12, 31, 0, 0, 0))), "2:1999.12.31.0");
    EXPECT_EQ(Get(Write("anything", "%!PS-3.0 Resource-CMap\nbegincmap\n/CMapVersion 10.003 def\n")),
              "8:10.3.0.0");
    EXPECT_EQ(Get(Write("map.txt", "#\n##Orvex File Version: 2.1.7\n0x20 0x0020\n")), "5:2.1.7.0");
    EXPECT_EQ(Get(Write("cnv.dat", ICUData("CmnD", std::string("\x01\x00\x00\x00", 4), std::string("\x03\x06\x00\x00", 4)))),
              "6:1000.3600.0.0");
    EXPECT_EQ(Get(Write("conv.cnv", ICUData("cnvt", std::string("\x06\x01\x00\x00", 4), std::string("\x03\x06\x00\x00", 4)))),
              "6:6100.3600.0.0");
    EXPECT_EQ(Get(Write("fonts.db", "Orvex Shared Font\nDatabase\nversion=3.4.5.6\n")), "7:3.4.5.6");
    EXPECT_EQ(Get(Write("Tool.jsx", "// @@@BUILDINFO@@@ Tool.jsx 12.3.4.5\n#target app\n")), "9:12.3.4.5");
}

TEST_F(KVRFileVersionTest, TheEarlierKindWinsAndPathTestsLookAtTheEnd)
{
    EXPECT_EQ(Get(Write("Map.otf", "begincmap\n/CMapVersion 1.2 def\n1.010;ORVX;")), "8:1.2.0.0");
    const std::string pfb = "/version (001.002) readonly def\n";
    EXPECT_EQ(Get(Write("X.pfb.bak", pfb), kKVR_NotRecognized), "0:" + Text(Version(~0u, ~0u, ~0u, ~0u)));
    EXPECT_EQ(Get(Write("X.otf.old", "1.010;ORVX;"), kKVR_NotRecognized), "0:" + Text(Version(~0u, ~0u, ~0u, ~0u)));
    EXPECT_EQ(Get(Write("X.icc.bak", ColorProfile(2006, 3, 15, 10, 20, 59)), kKVR_NotRecognized),
              "0:" + Text(Version(~0u, ~0u, ~0u, ~0u)));
    Get(Write("Script.jsx", "no marker here 1.2.3.4\n"), kKVR_NotRecognized);
}

TEST_F(KVRFileVersionTest, MissingFilesFoldersAndNullArgumentsHaveTheirOwnCodes)
{
    KVR_FileVersion version = Version(1, 2, 3, 4);
    KVR_FileType type = kKVR_FileTypeCMap;
    EXPECT_EQ(KVR_GetFileVersion((sysroot_.Scratch() + "/missing.pfb").c_str(), &version, &type), kKVR_FileNotFound);
    EXPECT_EQ(KVR_GetFileVersion(sysroot_.Scratch().c_str(), &version, &type), kKVR_FileNotFound);
    EXPECT_EQ(KVR_GetFileVersion("", &version, &type), kKVR_FileNotFound);
    EXPECT_EQ(KVR_GetFileVersion(nullptr, &version, &type), kKVR_BadArgument);
    const std::string path = Write("X.pfb", "/version (1.2) readonly def");
    EXPECT_EQ(KVR_GetFileVersion(path.c_str(), nullptr, &type), kKVR_BadArgument);
    EXPECT_EQ(KVR_GetFileVersion(path.c_str(), &version, nullptr), kKVR_BadArgument);
    EXPECT_EQ(Text(version), "1.2.3.4");
    EXPECT_EQ(type, kKVR_FileTypeCMap);
}

TEST(KVRCompareVersionsTest, ComparesPartsAsSignedNumbersAndRefusesUnsetParts)
{
    const KVR_FileVersion low = Version(1, 2, 0, 0);
    const KVR_FileVersion high = Version(1, 10, 0, 0);
    int result = 99;
    EXPECT_EQ(KVR_CompareVersions(&low, &high, &result), kKVR_Success);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(KVR_CompareVersions(&high, &low, &result), kKVR_Success);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(KVR_CompareVersions(&low, &low, &result), kKVR_Success);
    EXPECT_EQ(result, 0);
    const KVR_FileVersion negative = Version(0x80000000u, 0, 0, 0);
    EXPECT_EQ(KVR_CompareVersions(&negative, &low, &result), kKVR_Success);
    EXPECT_EQ(result, -1);

    const KVR_FileVersion unset = Version(1, 2, 3, kKVR_UnsetPart);
    result = 99;
    EXPECT_EQ(KVR_CompareVersions(&low, &unset, &result), kKVR_BadArgument);
    EXPECT_EQ(KVR_CompareVersions(&unset, &low, &result), kKVR_BadArgument);
    EXPECT_EQ(KVR_CompareVersions(nullptr, &low, &result), kKVR_BadArgument);
    EXPECT_EQ(KVR_CompareVersions(&low, &low, nullptr), kKVR_BadArgument);
    EXPECT_EQ(result, 99);
}

TEST_F(KVRFileVersionTest, CompareFilesChecksKindsWhenAsked)
{
    const std::string profile = Write("X.icc", ColorProfile(2006, 3, 15, 10, 20, 59));
    const std::string font = Write("X.otf", "1.010;ORVX;");
    const std::string newer = Write("Y.otf", "1.011;ORVX;");
    int result = 99;
    EXPECT_EQ(KVR_CompareFiles(profile.c_str(), font.c_str(), 1, &result), kKVR_TypeMismatch);
    EXPECT_EQ(result, 99);
    EXPECT_EQ(KVR_CompareFiles(profile.c_str(), font.c_str(), 0, &result), kKVR_Success);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(KVR_CompareFiles(font.c_str(), newer.c_str(), 1, &result), kKVR_Success);
    EXPECT_EQ(result, -1);
    const std::string missing = sysroot_.Scratch() + "/missing.otf";
    const std::string unknown = Write("plain.txt", "nothing to see");
    EXPECT_EQ(KVR_CompareFiles(missing.c_str(), unknown.c_str(), 0, &result), kKVR_FileNotFound);
    EXPECT_EQ(KVR_CompareFiles(font.c_str(), unknown.c_str(), 0, &result), kKVR_NotRecognized);
    EXPECT_EQ(KVR_CompareFiles(font.c_str(), newer.c_str(), 0, nullptr), kKVR_BadArgument);
}

}  // namespace
