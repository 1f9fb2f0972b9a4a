#include "platform/files/LockedFile.h"

#include "tests/support/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

namespace {

// The memory this process holds of the file's mapping, in kB (smaps' Rss of it).
long ResidentKilobytesOf(const std::string& path)
{
    std::ifstream smaps("/proc/self/smaps");
    std::string line;
    bool inside = false;
    long total = 0;
    while (std::getline(smaps, line)) {
        // A mapping's first line: "start-end perms offset device inode [path]".
        const std::string::size_type dash = line.find('-');
        if (dash != std::string::npos && dash < line.find(' ') && std::isxdigit(static_cast<unsigned char>(line[0]))) {
            inside = line.size() >= path.size() && line.compare(line.size() - path.size(), path.size(), path) == 0;
            continue;
        }
        if (inside && line.compare(0, 4, "Rss:") == 0) {
            std::istringstream fields(line.substr(4));
            long kilobytes = 0;
            fields >> kilobytes;
            total += kilobytes;
        }
    }
    return total;
}

class LockedFileTest : public tolktest::SystemRootTest {};

}  // namespace

TEST_F(LockedFileTest, ALongRunsRecordsAllReachTheFileWhileFewStayInMemory)
{
    // An install of tens of thousands of files records each step; the writer hands back the
    // pages of its older records, which must still be in the file, synced and read back whole.
    platform::LockedFile file;
    std::string path;
    ASSERT_TRUE(file.Create(sysroot_.Scratch() + "/run-XXXXXX", path));
    std::string expected;
    for (int record = 0; record < 80000; ++record) {
        const std::string line = "performed\t/Applications/Suite/Contents/Resources/file" + std::to_string(record) + "\n";
        ASSERT_TRUE(file.Append(line));
        expected += line;
    }
    ASSERT_GT(expected.size(), 4u * platform::LockedFile::kFirstReserve);
    EXPECT_LT(ResidentKilobytesOf(path), 1024);
    ASSERT_TRUE(file.Sync());
    std::string read;
    ASSERT_TRUE(file.ReadAll(read));
    EXPECT_EQ(read, expected);
    file.Close();

    std::ifstream again(path);
    std::string text((std::istreambuf_iterator<char>(again)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text.substr(0, text.find('\0')), expected);
}
