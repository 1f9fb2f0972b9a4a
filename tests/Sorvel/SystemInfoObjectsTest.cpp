#include "Sorvel/source/mac/CPUPropertiesLO.h"
#include "Sorvel/source/mac/DisplayPropertiesLO.h"
#include "Sorvel/source/mac/MemoryPropertiesLO.h"
#include "Sorvel/source/mac/OSPlatformSpecificPropertiesLO.h"

#include "platform/Folders.h"
#include "platform/Gestalt.h"
#include "platform/HostInfo.h"

#include "tests/support/TempSystemRoot.h"

#include <gtest/gtest.h>

using platform::FourCharCode;

namespace {

class SystemInfoObjectsTest : public tolktest::SystemRootTest {
protected:
    void SetVersion(const std::string& version)
    {
        tolktest::WriteTextFile(sysroot_.Path("/System/Library/CoreServices/SystemVersion.plist"),
                                "<plist version=\"1.0\"><dict><key>ProductVersion</key><string>" + version +
                                    "</string></dict></plist>");
    }

    // Reads one property of a fresh "OSX" object.
    Mivor::Variant Get(std::uint32_t id)
    {
        OSPlatformSpecificPropertiesLO* object = new OSPlatformSpecificPropertiesLO;
        Mivor::Variant result;
        Mivor::Error error;
        EXPECT_EQ(object->get(id, result, &error), 0);
        EXPECT_FALSE(error.isSet());
        object->release();
        return result;
    }
};

TEST_F(SystemInfoObjectsTest, GestaltAnswers)
{
    SetVersion("10.4.11");
    std::int32_t value = 0;
    ASSERT_EQ(platform::Gestalt(FourCharCode('s', 'y', 's', 'v'), value), 0);
    EXPECT_EQ(value, 0x1049);
    ASSERT_EQ(platform::Gestalt(FourCharCode('s', 'y', 's', '3'), value), 0);
    EXPECT_EQ(value, 11);
    SetVersion("10.5");
    ASSERT_EQ(platform::Gestalt(FourCharCode('s', 'y', 's', 'v'), value), 0);
    EXPECT_EQ(value, 0x1050);
    EXPECT_NE(platform::Gestalt(FourCharCode('s', 'y', 's', '3'), value), 0);
    EXPECT_NE(platform::Gestalt(FourCharCode('p', 'p', 'c', 'f'), value), 0);
    EXPECT_NE(platform::Gestalt(FourCharCode('x', 'x', 'x', 'x'), value), 0);
}

TEST_F(SystemInfoObjectsTest, VersionProperties)
{
    SetVersion("10.4.11");
    EXPECT_EQ(Get(FourCharCode('v', 'm', 'a', 'j')).getInt(), 10);
    EXPECT_EQ(Get(FourCharCode('v', 'd', 'o', 't')).getInt(), 11);
    Mivor::Variant version = Get(FourCharCode('v', 'e', 'r', 's'));
    ASSERT_TRUE(version.isString());
    EXPECT_EQ(version.getString().encode(Mivor::Encoder::getUtf8()), "10.4.11");

    // Without a third part the text stays "1.0.0" while the parts read are answered.
    SetVersion("10.5");
    EXPECT_EQ(Get(FourCharCode('v', 'e', 'r', 's')).getString().encode(Mivor::Encoder::getUtf8()), "1.0.0");
    EXPECT_EQ(Get(FourCharCode('v', 'm', 'i', 'n')).getInt(), 5);

    EXPECT_EQ(Get(FourCharCode('i', 's', '6', '4')).getType(), Mivor::Variant::kBoolean);
    EXPECT_FALSE(Get(FourCharCode('i', 's', '6', '4')).getBool());
    EXPECT_FALSE(Get(FourCharCode('i', 's', 's', 'v')).getBool());
    tolktest::WriteTextFile(sysroot_.Path("/System/Library/CoreServices/ServerVersion.plist"), "");
    EXPECT_TRUE(Get(FourCharCode('i', 's', 's', 'v')).getBool());
}

TEST_F(SystemInfoObjectsTest, UnknownIDLeavesTheResultAlone)
{
    OSPlatformSpecificPropertiesLO* object = new OSPlatformSpecificPropertiesLO;
    Mivor::Variant result;
    result.setInt(7);
    Mivor::Error error;
    EXPECT_EQ(object->get(FourCharCode('n', 'o', 'p', 'e'), result, &error), 0);
    EXPECT_EQ(result.getInt(), 7);

    Mivor::LiveObject* copy = nullptr;
    EXPECT_EQ(object->clone(copy, false), 0);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->getClassName(), "OSX");
    copy->release();
    object->release();
}

TEST_F(SystemInfoObjectsTest, HostGetters)
{
    Mivor::Variant result;
    EXPECT_EQ(MemoryPropertiesLO::ImplGetTotalSystemRAM(result), 0);
    EXPECT_GT(result.getUInt(), 0u);

    sysroot_.WritePlatformSettings("<plist version=\"1.0\"><dict><key>display</key><dict><key>width</key>"
                                   "<integer>1440</integer><key>height</key><integer>900</integer></dict></dict></plist>");
    EXPECT_EQ(DisplayPropertiesLO::ImplGetWidth(result), 0);
    EXPECT_EQ(result.getInt(), 1440);
    EXPECT_EQ(DisplayPropertiesLO::ImplGetHeight(result), 0);
    EXPECT_EQ(result.getInt(), 900);

    // The processor's own answers.
    platform::ProcessorFeatures cpu;
    ASSERT_TRUE(platform::ReadProcessorFeatures(cpu));
    EXPECT_EQ(CPUPropertiesLO::ImplIsSSE2Supported(result), 0);
    EXPECT_EQ(result.getBool(), cpu.sse2);
    EXPECT_EQ(CPUPropertiesLO::ImplIsAltiVecSupported(result), 0);
    EXPECT_EQ(result.getBool(), cpu.altiVec);
    EXPECT_EQ(CPUPropertiesLO::ImplIsNXSupported(result), 0);
    EXPECT_EQ(result.getBool(), cpu.nx);
}

TEST(ProcessorFeaturesTest, ReadFromTheProcessorDescription)
{
    // An Intel processor (3dnowprefetch is not 3DNow), a PowerPC G4 and an ARM processor, whose
    // description has none of the features asked about.
    const platform::ProcessorFeatures intel = platform::ParseProcessorFeatures(
        "processor\t: 0\nflags\t\t: fpu pae mmx sse sse2 nx 3dnowprefetch\n\nprocessor\t: 1\nflags\t\t: 3dnow\n");
    EXPECT_TRUE(intel.mmx && intel.nx && intel.pae && intel.sse && intel.sse2);
    EXPECT_FALSE(intel.amd3DNow || intel.altiVec);
    const platform::ProcessorFeatures g4 = platform::ParseProcessorFeatures("cpu\t\t: 7447A, altivec supported\n");
    EXPECT_TRUE(g4.altiVec);
    EXPECT_FALSE(g4.mmx || g4.sse);
    const platform::ProcessorFeatures arm = platform::ParseProcessorFeatures("Features\t: fp asimd evtstrm aes\n");
    EXPECT_FALSE(arm.mmx || arm.nx || arm.pae || arm.sse || arm.sse2 || arm.amd3DNow || arm.altiVec);
}

}  // namespace
