// The platform's resource forks, alias records and renames.
#include "platform/files/ExtendedAttributes.h"
#include "platform/files/FileAlias.h"
#include "platform/files/Rename.h"
#include "platform/files/ResourceFork.h"
#include "platform/formats/PropertyList.h"

#include "tests/support/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>

using tolktest::SystemRootTest;

namespace {

platform::Resource MakeResource(std::uint32_t type, std::int16_t id, const std::string& name, const std::string& data)
{
    platform::Resource resource;
    resource.type = type;
    resource.id = id;
    resource.name = name;
    resource.data = data;
    return resource;
}

// Whether this process may open files by handle (it needs the right to search every folder).
bool CanOpenByHandle(const std::string& path)
{
    struct {
        unsigned int bytes;
        int type;
        unsigned char data[128];
    } handle;
    handle.bytes = sizeof(handle.data);
    int mountId = 0;
    if (name_to_handle_at(AT_FDCWD, path.c_str(), reinterpret_cast<struct file_handle*>(&handle), &mountId, 0) != 0)
        return false;
    const int mountFd = open("/", O_RDONLY | O_DIRECTORY);
    const int fd = open_by_handle_at(mountFd, reinterpret_cast<struct file_handle*>(&handle), O_PATH);
    close(mountFd);
    if (fd < 0)
        return false;
    close(fd);
    return true;
}

}  // namespace

TEST(ResourceMapTest, RoundTripsAndRefusesDamagedMaps)
{
    platform::ResourceMap map;
    ASSERT_TRUE(map.Add(MakeResource(0x616c6973, 0, "", std::string("\0\1\2", 3))));
    ASSERT_TRUE(map.Add(MakeResource(0x69636e73, -16496, std::string(255, 'n'), "icon")));
    EXPECT_FALSE(map.Add(MakeResource(0x69636e73, -16496, "", "again")));
    EXPECT_FALSE(map.Add(MakeResource(0x69636e73, 1, std::string(256, 'n'), "")));

    const std::string bytes = map.Serialize();
    platform::ResourceMap read;
    ASSERT_TRUE(platform::ResourceMap::Parse(bytes, read));
    ASSERT_EQ(read.Resources().size(), 2u);
    EXPECT_EQ(read.Find(0x69636e73, -16496)->name, std::string(255, 'n'));
    EXPECT_EQ(read.Find(0x616c6973, 0)->data, std::string("\0\1\2", 3));
    EXPECT_EQ(read.Find(0x616c6973, 1), nullptr);

    // Every cut, a trailing byte, another magic: refused, the map left as it was.
    for (std::size_t length = 0; length < bytes.size(); ++length)
        EXPECT_FALSE(platform::ResourceMap::Parse(bytes.substr(0, length), read)) << length;
    EXPECT_FALSE(platform::ResourceMap::Parse(bytes + "x", read));
    EXPECT_FALSE(platform::ResourceMap::Parse("XMAP" + bytes.substr(4), read));
    EXPECT_EQ(read.Resources().size(), 2u);

    EXPECT_TRUE(read.Remove(0x616c6973, 0));
    EXPECT_FALSE(read.Remove(0x616c6973, 0));
}

class FileAliasTest : public SystemRootTest {
protected:
    std::string Scratch(const std::string& name) const { return sysroot_.Scratch() + "/" + name; }
    static std::string Resolved(const platform::FileAlias& record, const std::string& from = std::string())
    {
        std::string path;
        return record.Resolve(from, path) == 0 ? path : "(unresolved)";
    }
};

TEST_F(FileAliasTest, ARelativeRecordFollowsItsAliasFile)
{
    tolktest::MakeFolders(Scratch("a/b"));
    tolktest::WriteTextFile(Scratch("a/target"), "");
    tolktest::WriteTextFile(Scratch("a/b/alias"), "");
    platform::FileAlias record;
    ASSERT_EQ(platform::FileAlias::Make(Scratch("a/target"), Scratch("a/b/alias"), record), 0);
    EXPECT_TRUE(record.IsRelative());
    std::string bytes;
    ASSERT_TRUE(record.ToBytes(bytes));

    // A copy of the whole tree: the stored path still names the original, which wins; once it
    // is gone, the path from the alias file finds the copy.
    ASSERT_EQ(tolktest::RunProgram("/bin/cp", {"-a", Scratch("a"), Scratch("copy")}), 0);
    platform::FileAlias read;
    ASSERT_TRUE(platform::FileAlias::FromBytes(bytes, read));
    EXPECT_EQ(Resolved(read, Scratch("copy/b/alias")), Scratch("a/target"));
    ASSERT_EQ(unlink(Scratch("a/target").c_str()), 0);
    EXPECT_EQ(Resolved(read, Scratch("copy/b/alias")), Scratch("copy/target"));
    EXPECT_EQ(Resolved(read), "(unresolved)");

    // A folder where the file was is not the file.
    tolktest::MakeFolders(Scratch("a/target"));
    ASSERT_EQ(unlink(Scratch("copy/target").c_str()), 0);
    EXPECT_EQ(Resolved(read, Scratch("copy/b/alias")), "(unresolved)");
}

TEST_F(FileAliasTest, AnObjectMovedOnItsVolumeIsFoundByHandle)
{
    tolktest::MakeFolders(Scratch("from"));
    tolktest::MakeFolders(Scratch("to"));
    tolktest::WriteTextFile(Scratch("from/file"), "");
    if (!CanOpenByHandle(Scratch("from/file")))
        GTEST_SKIP() << "this process may not open files by handle";
    platform::FileAlias record;
    ASSERT_EQ(platform::FileAlias::Make(Scratch("from/file"), std::string(), record), 0);
    ASSERT_EQ(rename(Scratch("from/file").c_str(), Scratch("to/renamed").c_str()), 0);
    EXPECT_EQ(Resolved(record), Scratch("to/renamed"));
    ASSERT_EQ(unlink(Scratch("to/renamed").c_str()), 0);
    EXPECT_EQ(Resolved(record), "(unresolved)");
}

TEST_F(FileAliasTest, DamagedRecordsAreRefused)
{
    tolktest::WriteTextFile(Scratch("file"), "");
    platform::FileAlias record;
    ASSERT_EQ(platform::FileAlias::Make(Scratch("file"), std::string(), record), 0);
    EXPECT_EQ(platform::FileAlias::Make(Scratch("missing"), std::string(), record), ENOENT);
    std::string bytes;
    ASSERT_TRUE(record.ToBytes(bytes));
    platform::FileAlias read;
    EXPECT_FALSE(platform::FileAlias::FromBytes("", read));
    EXPECT_FALSE(platform::FileAlias::FromBytes(bytes.substr(0, bytes.size() / 2), read));
    EXPECT_FALSE(platform::FileAlias::FromBytes("<plist><dict/></plist>", read));

    // A path with a NUL in it would name another object than the one recorded.
    platform::PropertyValuePtr value;
    ASSERT_TRUE(platform::ParsePropertyList(bytes, value));
    const std::string poisoned = Scratch("file") + std::string(1, '\0') + "x";
    value->Set("path", platform::PropertyValue::MakeData(std::vector<std::uint8_t>(poisoned.begin(), poisoned.end())));
    ASSERT_TRUE(platform::SerializePropertyListBinary(*value, bytes));
    EXPECT_FALSE(platform::FileAlias::FromBytes(bytes, read));
}

class RenameTest : public SystemRootTest {
protected:
    std::string Scratch(const std::string& name) const { return sysroot_.Scratch() + "/" + name; }
};

TEST_F(RenameTest, RenamesNeverReplaceAndExchangeBothWays)
{
    tolktest::WriteTextFile(Scratch("a"), "A");
    tolktest::WriteTextFile(Scratch("b"), "B");
    ASSERT_EQ(symlink(Scratch("nowhere").c_str(), Scratch("dangling").c_str()), 0);
    EXPECT_EQ(platform::RenameNoReplace(Scratch("a"), Scratch("b")), EEXIST);
    EXPECT_EQ(platform::RenameNoReplace(Scratch("a"), Scratch("dangling")), EEXIST);
    EXPECT_EQ(tolktest::ReadTextFile(Scratch("b")), "B");
    EXPECT_EQ(platform::RenameNoReplace(Scratch("a"), Scratch("c")), 0);
    EXPECT_EQ(platform::RenameNoReplace(Scratch("a"), Scratch("d")), ENOENT);

    ASSERT_EQ(platform::ExchangePaths(Scratch("b"), Scratch("c")), 0);
    EXPECT_EQ(tolktest::ReadTextFile(Scratch("b")), "A");
    EXPECT_EQ(tolktest::ReadTextFile(Scratch("c")), "B");
    EXPECT_EQ(platform::ExchangePaths(Scratch("b"), Scratch("missing")), ENOENT);
}
