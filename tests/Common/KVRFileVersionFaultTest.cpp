#include "Common/source/xplat/KVRFileVersion.h"

#include "tests/support/OtherUser.h"
#include "tests/support/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <string>

namespace {

class KVRFileVersionFaultTest : public tolktest::SystemRootTest {
protected:
    KVR_Result Get(const std::string& name, const std::string& content, KVR_FileVersion& version)
    {
        const std::string path = sysroot_.Scratch() + "/" + name;
        tolktest::WriteTextFile(path, content);
        KVR_FileType type = kKVR_FileTypeUnknown;
        return KVR_GetFileVersion(path.c_str(), &version, &type);
    }
};

TEST_F(KVRFileVersionFaultTest, ScriptVersionIsReadWhole)
{
    KVR_FileVersion version = {};
    ASSERT_EQ(Get("A.jsx", "@@@BUILDINFO@@@ built from 2.0 sources, version 12.3.4.5", version), kKVR_Success);
    EXPECT_EQ(version.majorVersion, 12u);
    EXPECT_EQ(version.fourthVersion, 5u);
    ASSERT_EQ(Get("B.otf", "x112.3;ORVX;", version), kKVR_Success);
    EXPECT_EQ(version.majorVersion, 112u);
}

TEST_F(KVRFileVersionFaultTest, VersionsOnlyInTheFirstBytesCount)
{
    KVR_FileVersion version = {};
    EXPECT_EQ(Get("late.pfb", std::string(4096, ' ') + "/version (1.2) readonly def", version), kKVR_NotRecognized);
    EXPECT_EQ(Get("short.icc", std::string(35, '\x07'), version), kKVR_NotRecognized);
    EXPECT_EQ(Get("short.dat", std::string(12, '\0') + "CmnD" + std::string(8, '\x01'), version), kKVR_NotRecognized);
    EXPECT_EQ(Get("empty.otf", "", version), kKVR_NotRecognized);
}

TEST_F(KVRFileVersionFaultTest, PartsBeyondThirtyTwoBitsAreNotReported)
{
    KVR_FileVersion version = {1, 2, 3, 4};
    EXPECT_EQ(Get("big.txt", "##Orvex File Version: 4294967296.1", version), kKVR_NotRecognized);
    EXPECT_EQ(version.majorVersion, 1u);
    EXPECT_EQ(Get("max.txt", "##Orvex File Version: 4294967294.1", version), kKVR_Success);
    EXPECT_EQ(version.majorVersion, 4294967294u);
}

TEST_F(KVRFileVersionFaultTest, UnreadableFileIsMissing)
{
    // The super-user reads every file: the file is looked at as a user who is not one.
    const std::string path = sysroot_.Scratch() + "/locked.pfb";
    const std::string open = sysroot_.Scratch() + "/open.pfb";
    tolktest::WriteTextFile(path, "/version (1.2) readonly def");
    tolktest::WriteTextFile(open, "/version (1.2) readonly def");
    ASSERT_EQ(chmod(path.c_str(), 0), 0);
    ASSERT_TRUE(tolktest::LetOthersThrough(sysroot_.Base()));
    const tolktest::AsUser missing = tolktest::RunUnprivileged([&path, &open]() {
        KVR_FileVersion version = {};
        KVR_FileType type = kKVR_FileTypeUnknown;
        // The same user reads the file beside it.
        return KVR_GetFileVersion(open.c_str(), &version, &type) == kKVR_Success &&
               KVR_GetFileVersion(path.c_str(), &version, &type) == kKVR_FileNotFound;
    });
    if (missing == tolktest::AsUser::kImpossible)
        GTEST_SKIP() << "cannot run as a user who is not root";
    EXPECT_EQ(missing, tolktest::AsUser::kTrue);
}

}  // namespace
