// Hostile and damaged image files: nothing may land outside the folder they are laid out in.
#include "platform/files/DiskImages.h"

#include "tests/support/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

// Writes plain ustar archives entry by entry, so that tests can make the names and links that
// no well-behaved archiver would.
class TarWriter {
public:
    void File(const std::string& name, const std::string& data, unsigned mode = 0644, unsigned owner = 0,
              unsigned group = 0)
    {
        Header(name, '0', data.size(), mode, "", owner, group);
        bytes_ += data;
        bytes_.append((512 - data.size() % 512) % 512, '\0');
    }
    void Link(const std::string& name, const std::string& target) { Header(name, '2', 0, 0777, target); }
    void Folder(const std::string& name, unsigned mode = 0755, unsigned owner = 0, unsigned group = 0)
    {
        Header(name, '5', 0, mode, "", owner, group);
    }
    std::string Finish() { return bytes_ + std::string(1024, '\0'); }

private:
    void Header(const std::string& name, char type, std::size_t size, unsigned mode, const std::string& link,
                unsigned owner = 0, unsigned group = 0)
    {
        char header[512];
        std::memset(header, 0, sizeof(header));
        std::strncpy(header, name.c_str(), 99);
        std::snprintf(header + 100, 8, "%07o", mode);
        std::snprintf(header + 108, 8, "%07o", owner);
        std::snprintf(header + 116, 8, "%07o", group);
        std::snprintf(header + 124, 12, "%011lo", static_cast<unsigned long>(size));
        std::snprintf(header + 136, 12, "%011o", 0u);
        header[156] = type;
        std::strncpy(header + 157, link.c_str(), 99);
        std::memcpy(header + 257, "ustar", 6);
        std::memcpy(header + 263, "00", 2);
        std::memset(header + 148, ' ', 8);
        unsigned sum = 0;
        for (unsigned char byte : header)
            sum += byte;
        std::snprintf(header + 148, 8, "%06o", sum);
        bytes_.append(header, sizeof(header));
    }

    std::string bytes_;
};

class DiskImagesFaultTest : public tolktest::SystemRootTest {
protected:
    platform::DiskImageLayOutResult LayOutTar(const std::string& archive)
    {
        image_ = sysroot_.Scratch() + "/hostile.tar";
        tolktest::WriteTextFile(image_, archive);
        target_ = sysroot_.Scratch() + "/mount/inner";
        tolktest::MakeFolders(target_);
        std::string error;
        return platform::LayOutDiskImage(image_, false, "", target_, error);
    }

    std::string image_;
    std::string target_;
};

TEST_F(DiskImagesFaultTest, NamesLeadingOutOfTheFolderFailTheImage)
{
    TarWriter parent;
    parent.File("ok.txt", "fine");
    parent.File("../escaped.txt", "outside");
    EXPECT_EQ(LayOutTar(parent.Finish()), platform::kImageLayOutFailed);
    EXPECT_FALSE(fs::exists(sysroot_.Scratch() + "/mount/escaped.txt"));

    TarWriter absolute;
    absolute.File(sysroot_.Scratch() + "/absolute.txt", "outside");
    fs::remove_all(sysroot_.Scratch() + "/mount");
    EXPECT_EQ(LayOutTar(absolute.Finish()), platform::kImageLayOutFailed);
    EXPECT_FALSE(fs::exists(sysroot_.Scratch() + "/absolute.txt"));
}

TEST_F(DiskImagesFaultTest, NothingIsWrittenThroughALinkTheImageMade)
{
    TarWriter archive;
    archive.Link("door", sysroot_.Scratch());
    archive.File("door/through.txt", "outside");
    EXPECT_EQ(LayOutTar(archive.Finish()), platform::kImageLayOutFailed);
    EXPECT_FALSE(fs::exists(sysroot_.Scratch() + "/through.txt"));
}

TEST_F(DiskImagesFaultTest, SetIdBitsAndOwnersAreKept)
{
    // A payload script that takes modes and owners from the image must find them as they are.
    TarWriter archive;
    archive.Folder("bin");
    archive.File("bin/sudo", "#!/bin/sh\n", 04755);
    archive.Folder("shared", 02775, 0, 50);
    archive.File("shared/own", "mine", 0640, 1234, 1235);
    ASSERT_EQ(LayOutTar(archive.Finish()), platform::kImageLaidOut);
    const bool root = geteuid() == 0;
    struct stat info;
    ASSERT_EQ(stat((target_ + "/bin/sudo").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 04755u);
    EXPECT_EQ(info.st_uid, root ? 0u : geteuid());
    ASSERT_EQ(stat((target_ + "/shared").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 02775u);
    EXPECT_EQ(info.st_gid, root ? 50u : getegid());
    ASSERT_EQ(stat((target_ + "/shared/own").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    // Only root may give files away; another user's copy is that user's.
    EXPECT_EQ(info.st_uid, root ? 1234u : geteuid());
    EXPECT_EQ(info.st_gid, root ? 1235u : getegid());
}

TEST_F(DiskImagesFaultTest, ATruncatedImageFails)
{
    TarWriter archive;
    archive.File("big.bin", std::string(100000, 'b'));
    const std::string whole = archive.Finish();
    EXPECT_EQ(LayOutTar(whole.substr(0, 20000)), platform::kImageLayOutFailed);
}

}  // namespace
