// The built Setup installing the example suite with trees and images that a payload maker may
// hand it: a payload is installed as it is, or the run fails, names its cause and is taken back.
#include "SilentExampleFixture.h"

#include "platform/files/DiskImages.h"

#include <boost/crc.hpp>

#include <sys/mount.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

using ::testing::HasSubstr;

namespace {

namespace fs = std::filesystem;

const char kResources[] = "/Assets/Orvex Sketchbook.app/Contents/Resources";

// Valid names of every odd kind, each file holding its own name.
const std::vector<std::string> kOddNames = {"a\001b\tc",    "q\"'uote",         "line\xE2\x80\xA8sep", "caf\xC3\xA9",
                                            "cafe\xCC\x81", "\xF0\x9F\x98\x80", std::string(255, 'n')};

void Write(const std::string& path, const std::string& bytes)
{
    tolktest::WriteTextFile(path, bytes);
}

// The folder image made into an image file of the format, at the same name.
void ToFileImage(const std::string& image, platform::DiskImageFormat format)
{
    std::string error;
    ASSERT_TRUE(platform::WriteDiskImage(image, image + ".file", format, "", error)) << error;
    fs::remove_all(image);
    fs::rename(image + ".file", image);
}

void OddNames(const std::string& image)
{
    for (const std::string& name : kOddNames)
        Write(image + kResources + "/" + name, name);
}

void NotUTF8(const std::string& image)
{
    Write(image + kResources + "/caf\xE9.txt", "Latin-1");
}

void PathTooLong(const std::string& image)
{
    std::string folder = image + kResources;
    for (int level = 0; level < 12; ++level)
        folder += "/" + std::string(90, 'd');
    tolktest::MakeFolders(folder);
    Write(folder + "/deep.txt", "deep");
}

void ManyZeros(const std::string& image)
{
    Write(image + kResources + "/Zeros", std::string(4 << 20, '\0'));
    ToFileImage(image, platform::kDiskImageZip);
}

// The checksum of Welcome.txt no longer matches its data, which is whole.
void DamagedZip(const std::string& image)
{
    boost::crc_32_type crc;
    const std::string welcome = tolktest::ReadTextFile(image + kResources + "/Welcome.txt");
    crc.process_bytes(welcome.data(), welcome.size());
    ToFileImage(image, platform::kDiskImageZip);
    std::string bytes = tolktest::ReadTextFile(image);
    const std::uint32_t sum = crc.checksum();
    const std::string stored = {char(sum), char(sum >> 8), char(sum >> 16), char(sum >> 24)};
    std::string wrong = stored;
    wrong[0] ^= 1;
    for (std::string::size_type at = bytes.find(stored); at != std::string::npos; at = bytes.find(stored, at + 4))
        bytes.replace(at, 4, wrong);
    Write(image, bytes);
}

void CutISO(const std::string& image)
{
    ToFileImage(image, platform::kDiskImageISO);
    fs::resize_file(image, 40000);
}

// The name in the header of the tar image's last member changed: its checksum fails.
void DamagedTarHeader(const std::string& image)
{
    ToFileImage(image, platform::kDiskImageTar);
    std::string bytes = tolktest::ReadTextFile(image);
    const std::string::size_type magic = bytes.rfind("ustar");
    ASSERT_NE(magic, std::string::npos);
    bytes[magic - 257] ^= 1;
    Write(image, bytes);
}

// The compressed tar's data is whole, but the checksum that closes its stream is not.
void DamagedGzipStream(const std::string& image)
{
    ToFileImage(image, platform::kDiskImageTarGzip);
    std::string bytes = tolktest::ReadTextFile(image);
    bytes[bytes.size() - 8] ^= 1;
    Write(image, bytes);
}

// Cut before the volume descriptor that says how long the image is.
void ISOCutEarly(const std::string& image)
{
    ToFileImage(image, platform::kDiskImageISO);
    fs::resize_file(image, 30000);
}

struct Medium {
    const char* name;
    void (*make)(const std::string& image);  // changes the Sketchbook payload's image
    bool copied;                             // the root lays images out as copies
    const char* smallFolder;                 // a folder of the root that holds 1 MB, or null
    bool longInstallFolder;                  // an install folder name of 300 bytes
    std::vector<std::string> cause;          // what the cause line says; empty: the suite installs
};

const Medium kMedia[] = {
    {"OddButValidNames", OddNames, true, nullptr, false, {}},
    {"NotUTF8Mounted",
     NotUTF8,
     false,
     nullptr,
     false,
     {"QENGetPathChildren: the name \"caf\\xE9.txt\" in the folder \"", kResources, "\" is not UTF-8 text"}},
    {"NotUTF8Copied",
     NotUTF8,
     true,
     nullptr,
     false,
     {"QENGetPathChildren: the name \"caf\\xE9.txt\" in the folder \"", kResources, "\" is not UTF-8 text"}},
    {"PathTooLong",
     PathTooLong,
     false,
     nullptr,
     false,
     {"QENGetPathChildren: the path \"", "dd\" is longer than 1024 bytes"}},
    {"NameTooLong", nullptr, false, nullptr, true, {"the name \"nnnn", "\" is longer than 255 bytes"}},
    {"FullTemporaryFolder",
     ManyZeros,
     false,
     "/private/tmp",
     false,
     {"Unable to mount the payload image", "cannot copy Assets/Orvex Sketchbook.app/Contents/Resources/Zeros into ",
      "No space left on device"}},
    {"FullInstallFolder",
     ManyZeros,
     false,
     "/Applications",
     false,
     {"Unable to copy \"", "/Resources/Zeros\" to \"", "No space left on device"}},
    {"DamagedZip",
     DamagedZip,
     false,
     nullptr,
     false,
     {"cannot copy Assets/Orvex Sketchbook.app/Contents/Resources/Welcome.txt from ", "ZIP bad CRC"}},
    {"CutImage", CutISO, false, nullptr, false, {"OrvexSketchbook.dmg is cut short: it holds 40000 of its "}},
    {"ImageCutBeforeItSaysItsLength", ISOCutEarly, false, nullptr, false, {"OrvexSketchbook.dmg holds no entries"}},
    {"DamagedTarHeader", DamagedTarHeader, false, nullptr, false, {"cannot read ", "OrvexSketchbook.dmg"}},
    {"DamagedGzipStream", DamagedGzipStream, false, nullptr, false, {"OrvexSketchbook.dmg is damaged"}},
};

void PrintTo(const Medium& medium, std::ostream* out)
{
    *out << medium.name;
}

class SilentSetupMediaFaultTest : public silenttest::SilentExampleTest, public ::testing::WithParamInterface<Medium> {};

TEST_P(SilentSetupMediaFaultTest, InstallsThePayloadAsItIsOrNamesTheCause)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root";
    const Medium& medium = GetParam();
    const std::string image = medium_ + "/payloads/OrvexSketchbook/OrvexSketchbook.dmg";
    if (medium.make != nullptr)
        medium.make(image);
    if (medium.copied) {
        const std::string settings = sysroot_.Path("/.tolk/platform.plist");
        std::string text = tolktest::ReadTextFile(settings);
        text.replace(text.find("<dict>"), 6, "<dict><key>disk-image-mounts</key><false/>");
        Write(settings, text);
    }
    std::vector<std::string> arguments = {"--mode=silent", "--installerParent=" + medium_,
                                          "--deploymentFile=" + medium_ + "/deployment/install.xml"};
    if (medium.longInstallFolder)
        arguments.push_back("--INSTALLDIR=" + sysroot_.Path("/Applications/") + std::string(300, 'n'));
    std::function<bool()> inChild;
    if (medium.smallFolder != nullptr) {
        const std::string small = sysroot_.Path(medium.smallFolder);
        inChild = [small]() {
            return unshare(CLONE_NEWNS) == 0 && mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                   mount("tmpfs", small.c_str(), "tmpfs", 0, "size=1m,mode=1777") == 0;
        };
    }
    const tolktest::ProgramResult result = tolktest::RunCapturingOutput(SETUP_PROGRAM, arguments, "", "", inChild);
    if (result.exitCode == tolktest::RunningProgram::kChildSetUpFailed)
        GTEST_SKIP() << "cannot mount a small temporary folder here";

    if (medium.cause.empty()) {
        ASSERT_EQ(result.exitCode, 0) << result.errorOutput;
        for (const std::string& name : kOddNames)
            EXPECT_EQ(tolktest::ReadTextFile(App("/Resources/" + name)), name);
        return;
    }
    EXPECT_EQ(result.exitCode, 22) << result.errorOutput;
    const std::string::size_type at = result.errorOutput.find("Setup: cause: ");
    ASSERT_NE(at, std::string::npos) << result.errorOutput;
    const std::string cause = result.errorOutput.substr(at, result.errorOutput.find('\n', at) - at);
    for (const std::string& part : medium.cause)
        EXPECT_THAT(cause, HasSubstr(part));
    ExpectNothingOfTheSuite();
}

INSTANTIATE_TEST_SUITE_P(Media, SilentSetupMediaFaultTest, ::testing::ValuesIn(kMedia),
                         [](const ::testing::TestParamInfo<Medium>& info) { return std::string(info.param.name); });

}  // namespace
