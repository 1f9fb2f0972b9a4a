#include "Common/source/mac/BundleUtils.h"
#include "Common/source/mac/MacUtils.h"
#include "Common/source/mac/RefreshInFinderObject.h"

#include "platform/Folders.h"
#include "platform/RunLoop.h"
#include "platform/desktop/Finder.h"

#include "tests/support/Deadline.h"
#include "tests/support/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <stdexcept>
#include <thread>

using platform::PropertyValue;
using platform::PropertyValuePtr;
using tolktest::SystemRootTest;

namespace {

void ExpectThrowsText(const std::function<void()>& call, const char* message)
{
    try {
        call();
        ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), message);
    }
}

}  // namespace

TEST(MacUtilsTextTest, Conversions)
{
    const std::string accented = "Caf\xC3\xA9 \xF0\x9F\x98\x80";  // e-acute and a character beyond the basic plane
    platform::UnicodeText text = MacUtils::UTF8StdStringCreateCFStringRef(accented);
    EXPECT_EQ(text.Length(), 7u);  // four letters, a space and a surrogate pair
    EXPECT_EQ(MacUtils::CFStringRefToUTF8StdString(text), accented);
    EXPECT_EQ(MacUtils::CFStringRefToUTF8StdString(platform::UnicodeText()), "");
    EXPECT_EQ(MacUtils::UTF8StringToVectorUniChar("ab\xC3\xA9"), (std::vector<std::uint16_t>{'a', 'b', 0xE9}));

    const char* refused = "Unable to convert std::string to CFString.";
    ExpectThrowsText([] { MacUtils::UTF8StdStringCreateCFStringRef("bad \xFF byte"); }, refused);
    ExpectThrowsText([] { MacUtils::UTF8StdStringCreateCFStringRef("\xC0\xAF"); }, refused);       // overlong "/"
    ExpectThrowsText([] { MacUtils::UTF8StdStringCreateCFStringRef("\xED\xA0\x80"); }, refused);   // a surrogate
    ExpectThrowsText([] { MacUtils::UTF8StdStringCreateCFStringRef("cut\xE2\x82"); }, refused);    // truncated
    // A NUL byte inside would cut the text short: refused, not truncated.
    ExpectThrowsText([] { MacUtils::UTF8StdStringCreateCFStringRef(std::string("a\0b", 3)); }, refused);
    ExpectThrowsText([] { MacUtils::UTF8StringToVectorUniChar(std::string("\0", 1)); }, refused);
}

TEST(MacUtilsTextTest, HFSNames)
{
    std::string name;
    EXPECT_TRUE(MacUtils::ConvertPOSIXNameToHFSName("a:b:c", name));
    EXPECT_EQ(name, "a/b/c");
    EXPECT_TRUE(MacUtils::ConvertPOSIXNameToHFSName("plain", name));
    EXPECT_EQ(name, "plain");
}

class PropertyListFileTest : public SystemRootTest {
protected:
    FileSystemPath Scratch(const std::string& name) const { return FileSystemPath(sysroot_.Scratch() + "/" + name); }
};

TEST_F(PropertyListFileTest, WriteThenReadBothForms)
{
    PropertyValuePtr dictionary = PropertyValue::MakeDictionary();
    dictionary->Set("Name", PropertyValue::MakeString("Caf\xC3\xA9 <&>"));
    dictionary->Set("Count", PropertyValue::MakeInteger(-42));
    dictionary->Set("Flag", PropertyValue::MakeBoolean(true));
    PropertyValuePtr list = PropertyValue::MakeArray();
    list->ArrayItems().push_back(PropertyValue::MakeReal(2.5));
    list->ArrayItems().push_back(PropertyValue::MakeData({0, 1, 255}));
    dictionary->Set("List", list);

    ASSERT_TRUE(MacUtils::WritePropertyListFile(Scratch("out.plist"), dictionary));
    EXPECT_NE(tolktest::ReadTextFile(Scratch("out.plist").AsUTF8String()).find("<plist"), std::string::npos);

    PropertyValuePtr mutableCopy;
    ASSERT_TRUE(MacUtils::ReadPropertyListFile(Scratch("out.plist"), mutableCopy));
    EXPECT_TRUE(*mutableCopy == *dictionary);
    mutableCopy->Set("Added", PropertyValue::MakeString("x"));

    platform::ConstPropertyValuePtr readOnly;
    ASSERT_TRUE(MacUtils::ReadPropertyListFile(Scratch("out.plist"), readOnly));
    EXPECT_TRUE(*readOnly == *dictionary);

    // A binary property list reads the same.
    std::string binary;
    ASSERT_TRUE(platform::SerializePropertyListBinary(*dictionary, binary));
    tolktest::WriteTextFile(Scratch("binary.plist").AsUTF8String(), binary);
    ASSERT_TRUE(MacUtils::ReadPropertyListFile(Scratch("binary.plist"), readOnly));
    EXPECT_TRUE(*readOnly == *dictionary);

    // The root's type is not examined.
    tolktest::WriteTextFile(Scratch("array.plist").AsUTF8String(),
                            "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>a</string></array></plist>");
    ASSERT_TRUE(MacUtils::ReadPropertyListFile(Scratch("array.plist"), readOnly));
    EXPECT_EQ(readOnly->GetType(), PropertyValue::kArray);
}

TEST_F(PropertyListFileTest, BadFilesLeaveTheOutputAlone)
{
    tolktest::WriteTextFile(Scratch("garbage.plist").AsUTF8String(), "this is not a property list");
    tolktest::WriteTextFile(Scratch("broken.plist").AsUTF8String(), "<plist version=\"1.0\"><dict><key>a</key>");
    tolktest::WriteTextFile(Scratch("empty.plist").AsUTF8String(), "");
    tolktest::WriteTextFile(Scratch("bad-binary.plist").AsUTF8String(), std::string("bplist00\x01\x02", 10));
    tolktest::MakeFolders(Scratch("folder.plist").AsUTF8String());
    PropertyValuePtr sentinel = PropertyValue::MakeString("sentinel");
    for (const char* name : {"missing.plist", "garbage.plist", "broken.plist", "empty.plist", "bad-binary.plist", "folder.plist"}) {
        PropertyValuePtr value = sentinel;
        EXPECT_FALSE(MacUtils::ReadPropertyListFile(Scratch(name), value)) << name;
        EXPECT_EQ(value, sentinel) << name;
    }
}

TEST_F(PropertyListFileTest, FailedWriteKeepsTheOldFile)
{
    tolktest::WriteTextFile(Scratch("keep.plist").AsUTF8String(), "old");
    EXPECT_FALSE(MacUtils::WritePropertyListFile(Scratch("keep.plist"), platform::ConstPropertyValuePtr()));
    EXPECT_FALSE(MacUtils::WritePropertyListFile(Scratch("no/such/folder.plist"), PropertyValue::MakeDictionary()));
    EXPECT_EQ(tolktest::ReadTextFile(Scratch("keep.plist").AsUTF8String()), "old");
}

// A Finder that records the items it was asked to update and can refuse one of them.
class RecordingFinder : public platform::FinderInterface {
public:
    int SendUpdateEvent(const platform::FileRef& item, bool waitForReply) override
    {
        std::lock_guard<std::mutex> lock(mutex);
        updates.push_back(item.path);
        waited.push_back(waitForReply);
        onMainThread.push_back(platform::RunLoop::IsMainThread());
        return item.path == refuse ? -1 : 0;
    }
    int SendCreateAliasEvent(const platform::FileRef&, const platform::FileRef&, const std::string&) override { return 0; }

    std::mutex mutex;  // guards the lists
    std::vector<std::string> updates;
    std::vector<bool> waited;
    std::vector<bool> onMainThread;
    std::string refuse;
};

class FinderRefreshTest : public SystemRootTest {
protected:
    void SetUp() override { platform::SetFinder(finder_); }
    void TearDown() override { platform::SetFinder(boost::shared_ptr<platform::FinderInterface>()); }

    boost::shared_ptr<RecordingFinder> finder_{new RecordingFinder};
};

TEST_F(FinderRefreshTest, ChainRefreshGoesFromTheRootDown)
{
    const std::string app = sysroot_.Path("/Applications/Foo.app");
    tolktest::MakeFolders(app);
    ASSERT_TRUE(RefreshInFinder(FileSystemPath(app)));
    ASSERT_GE(finder_->updates.size(), 3u);
    EXPECT_EQ(finder_->updates.front(), "/");
    EXPECT_EQ(finder_->updates[finder_->updates.size() - 2], sysroot_.Path("/Applications"));
    EXPECT_EQ(finder_->updates.back(), app);
    for (bool waited : finder_->waited)
        EXPECT_TRUE(waited);
}

TEST_F(FinderRefreshTest, ChainStopsAtTheFirstFailure)
{
    EXPECT_FALSE(RefreshInFinder(FileSystemPath(sysroot_.Path("/Applications/Missing.app"))));
    EXPECT_EQ(finder_->updates.back(), sysroot_.Path("/Applications"));

    finder_->updates.clear();
    finder_->refuse = sysroot_.Path("/Applications");
    EXPECT_FALSE(RefreshInFinder(FileSystemPath(sysroot_.Path("/Applications/Utilities"))));
    EXPECT_EQ(finder_->updates.back(), sysroot_.Path("/Applications"));
}

TEST_F(FinderRefreshTest, AnErrorInsideTheRefreshIsAFailedRefresh)
{
    const std::string file = sysroot_.Scratch() + "/plain";
    tolktest::WriteTextFile(file, "");
    EXPECT_FALSE(RefreshInFinder(FileSystemPath(file + "/x")));
}

TEST_F(FinderRefreshTest, WorkerThreadRefreshRunsOnTheMainThread)
{
    const std::string app = sysroot_.Path("/Applications");
    std::atomic<bool> done(false);
    bool result = false;
    std::thread worker([&]() {
        result = RefreshInFinder(FileSystemPath(app));
        done = true;
    });
    tolktest::JoinWhenDone(
        worker,
        [&]() {
            if (done)
                return true;
            platform::RunLoop::Main().RunFor(0.05);
            return false;
        },
        "the worker's refresh");
    EXPECT_TRUE(result);
    ASSERT_FALSE(finder_->onMainThread.empty());
    for (bool onMain : finder_->onMainThread)
        EXPECT_TRUE(onMain);
}

TEST_F(FinderRefreshTest, OneItemRefreshDoesNotWait)
{
    platform::FileRef item;
    ASSERT_EQ(platform::MakeFileRef(sysroot_.Root(), item), 0);
    EXPECT_TRUE(MacUtils::RefreshInFinder(item));
    ASSERT_EQ(finder_->waited.size(), 1u);
    EXPECT_FALSE(finder_->waited[0]);
}

TEST_F(FinderRefreshTest, TheQuietFinderMakesNoAliases)
{
    platform::SetFinder(boost::shared_ptr<platform::FinderInterface>());
    platform::FileRef item;
    ASSERT_EQ(platform::MakeFileRef(sysroot_.Root(), item), 0);
    EXPECT_TRUE(MacUtils::RefreshInFinder(item));
    EXPECT_NE(MacUtils::CreateAliasWithFinder(item, item, "alias"), 0);
}
