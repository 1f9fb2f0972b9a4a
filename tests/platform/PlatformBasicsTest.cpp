#include "platform/Bundle.h"
#include "platform/RunLoop.h"
#include "platform/SystemRoot.h"
#include "platform/files/Files.h"
#include "platform/formats/PropertyList.h"
#include "platform/formats/UnicodeText.h"

#include "tests/support/Deadline.h"
#include "tests/support/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <thread>

using platform::PropertyValue;
using platform::PropertyValuePtr;
using platform::UnicodeText;

TEST(SystemRootTest, ResolveAndUnresolve)
{
    tolktest::TempSystemRoot sysroot;
    const std::string root = sysroot.Root();
    EXPECT_EQ(platform::SystemRoot::Path(), root);
    EXPECT_EQ(platform::SystemRoot::Resolve("/"), root);
    EXPECT_EQ(platform::SystemRoot::Resolve("/Library/Fonts"), root + "/Library/Fonts");
    EXPECT_EQ(platform::SystemRoot::Unresolve(root + "/Library"), "/Library");
    EXPECT_EQ(platform::SystemRoot::Unresolve(root), "/");
    EXPECT_EQ(platform::SystemRoot::Unresolve(root + "x/Library"), root + "x/Library");
    EXPECT_EQ(platform::SystemRoot::Unresolve("/elsewhere"), "/elsewhere");
}

TEST(SystemRootTest, DefaultIsTheMachineRoot)
{
    const char* saved = getenv(platform::SystemRoot::kEnvironmentVariable);
    const std::string kept = saved != nullptr ? saved : "";
    setenv(platform::SystemRoot::kEnvironmentVariable, "relative/root", 1);
    EXPECT_EQ(platform::SystemRoot::Path(), "/");
    EXPECT_EQ(platform::SystemRoot::Resolve("/Library"), "/Library");
    if (saved != nullptr)
        setenv(platform::SystemRoot::kEnvironmentVariable, kept.c_str(), 1);
    else
        unsetenv(platform::SystemRoot::kEnvironmentVariable);
}

TEST(UnicodeTextTest, CaseInsensitiveComparisonBeyondASCII)
{
    UnicodeText upper;
    UnicodeText lower;
    ASSERT_TRUE(UnicodeText::FromUTF8("\xC3\x89T\xC3\x89", upper));  // "ÉTÉ"
    ASSERT_TRUE(UnicodeText::FromUTF8("\xC3\xA9t\xC3\xA9", lower));  // "été"
    EXPECT_EQ(UnicodeText::Compare(upper, lower, true), 0);
    EXPECT_NE(UnicodeText::Compare(upper, lower, false), 0);
    UnicodeText shorter;
    ASSERT_TRUE(UnicodeText::FromUTF8("\xC3\xA9t", shorter));
    EXPECT_EQ(UnicodeText::Compare(shorter, lower, false), -1);
    EXPECT_EQ(UnicodeText::Compare(lower, shorter, true), 1);
}

// Every sequence of the bytes as DecodeUTF8 reads it: "U+XXXX" for a character, "bad/N" for N
// bytes refused as one.
std::string ReadUTF8(const std::string& bytes, unsigned options)
{
    std::string read;
    for (std::size_t at = 0; at < bytes.size();) {
        const UnicodeText::UTF8Sequence sequence =
            UnicodeText::DecodeUTF8(bytes.data() + at, bytes.size() - at, options);
        char item[16];
        if (sequence.valid)
            std::snprintf(item, sizeof(item), "U+%04X", static_cast<unsigned>(sequence.codePoint));
        else
            std::snprintf(item, sizeof(item), "bad/%zu", sequence.length);
        read += (read.empty() ? "" : " ") + std::string(item);
        at += sequence.length;
    }
    return read;
}

TEST(UnicodeTextTest, DecodeUTF8ReadsTheEdgeSequencesByEachOption)
{
    struct Case {
        std::string bytes;
        const char* strict;
        const char* halves;   // kSurrogateHalves; null: as strict
        const char* literal;  // kNoLineSeparators; null: as strict
    };
    const Case cases[] = {
        {std::string("\0A", 2), "U+0000 U+0041", nullptr, nullptr},
        {"\xC2\x80\xDF\xBF", "U+0080 U+07FF", nullptr, nullptr},
        {"\xE0\xA0\x80\xF0\x90\x80\x80\xF4\x8F\xBF\xBF", "U+0800 U+10000 U+10FFFF", nullptr, nullptr},
        // Overlong forms: "/" in two, three and four bytes, U+07FF in three, U+FFFF in four.
        {"\xC0\xAF\xC1\xBF", "bad/1 bad/1 bad/1 bad/1", nullptr, nullptr},
        {"\xE0\x80\xAF", "bad/3", nullptr, nullptr},
        {"\xE0\x9F\xBF", "bad/3", nullptr, nullptr},
        {"\xF0\x80\x80\xAF", "bad/4", nullptr, nullptr},
        {"\xF0\x8F\xBF\xBF", "bad/4", nullptr, nullptr},
        // Surrogates: the first and the last alone, a pair as two sequences, the character below.
        {"\xED\xA0\x80", "bad/3", "U+D800", nullptr},
        {"\xED\xBF\xBF", "bad/3", "U+DFFF", nullptr},
        {"\xED\xA0\xBD\xED\xB8\x80", "bad/3 bad/3", "U+D83D U+DE00", nullptr},
        {"\xED\x9F\xBF", "U+D7FF", nullptr, nullptr},
        // Above U+10FFFF: from a lead that could start a character, and from leads that cannot.
        {"\xF4\x90\x80\x80", "bad/4", nullptr, nullptr},
        {"\xF5\x80\x80\x80", "bad/1 bad/1 bad/1 bad/1", nullptr, nullptr},
        {"\xF8\x88\x80\x80\x80\xFF", "bad/1 bad/1 bad/1 bad/1 bad/1 bad/1", nullptr, nullptr},
        // Cut sequences, at the end and before another character.
        {"\xC3", "bad/1", nullptr, nullptr},
        {"\xE2\x82\x41", "bad/2 U+0041", nullptr, nullptr},
        {"\xF0\x9F\x98", "bad/3", nullptr, nullptr},
        {"\xED\xA0", "bad/2", nullptr, nullptr},
        // Stray continuation bytes.
        {"\x80\xBF\x41", "bad/1 bad/1 U+0041", nullptr, nullptr},
        {"\xC3\xA9\xA9", "U+00E9 bad/1", nullptr, nullptr},
        // The line separators, and their neighbour.
        {"\xE2\x80\xA8\xE2\x80\xA9", "U+2028 U+2029", nullptr, "bad/3 bad/3"},
        {"\xE2\x80\xA7", "U+2027", nullptr, nullptr},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ReadUTF8(c.bytes, UnicodeText::kStrictUTF8), c.strict) << c.bytes;
        EXPECT_EQ(ReadUTF8(c.bytes, UnicodeText::kSurrogateHalves), c.halves ? c.halves : c.strict) << c.bytes;
        EXPECT_EQ(ReadUTF8(c.bytes, UnicodeText::kNoLineSeparators), c.literal ? c.literal : c.strict) << c.bytes;
    }
    // Nothing past the size is read: a sequence cut there is refused whatever follows.
    const UnicodeText::UTF8Sequence cut = UnicodeText::DecodeUTF8("\xE2\x82\xAC", 2);
    EXPECT_FALSE(cut.valid);
    EXPECT_EQ(cut.length, 2u);
}

TEST(PropertyListTest, ValuesSurviveBothForms)
{
    PropertyValuePtr root = PropertyValue::MakeDictionary();
    root->Set("negative", PropertyValue::MakeInteger(-7));
    root->Set("large", PropertyValue::MakeInteger(5000000000LL));
    root->Set("date", PropertyValue::MakeDate(1000.0));
    root->Set("text", PropertyValue::MakeString("\xE2\x82\xAC & <tag>"));
    PropertyValuePtr nested = PropertyValue::MakeDictionary();
    nested->Set("empty", PropertyValue::MakeArray());
    root->Set("nested", nested);

    for (int binary = 0; binary < 2; ++binary) {
        std::string bytes;
        ASSERT_TRUE(binary ? platform::SerializePropertyListBinary(*root, bytes) : platform::SerializePropertyListXML(*root, bytes));
        PropertyValuePtr back;
        ASSERT_TRUE(platform::ParsePropertyList(bytes, back));
        EXPECT_EQ(back->Get("negative")->IntegerValue(), -7);
        EXPECT_EQ(back->Get("large")->IntegerValue(), 5000000000LL);
        EXPECT_DOUBLE_EQ(back->Get("date")->DateValue(), 1000.0);  // XML dates keep whole seconds
        EXPECT_TRUE(*back == *root) << (binary ? "binary" : "XML");
    }
}

TEST(PropertyListTest, CloneIsDeep)
{
    PropertyValuePtr root = PropertyValue::MakeDictionary();
    PropertyValuePtr list = PropertyValue::MakeArray();
    root->Set("list", list);
    PropertyValuePtr copy = root->Clone();
    list->ArrayItems().push_back(PropertyValue::MakeString("later"));
    EXPECT_TRUE(copy->Get("list")->ArrayItems().empty());
    EXPECT_FALSE(*copy == *root);
}

TEST(FilesTest, AtomicWriteKeepsTheModeOfTheFileItReplaces)
{
    tolktest::TempSystemRoot sysroot;
    const std::string path = sysroot.Scratch() + "/file";
    tolktest::WriteTextFile(path, "old");
    chmod(path.c_str(), 0600);
    ASSERT_TRUE(platform::WriteFileAtomically(path, "new"));
    struct stat info;
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    std::string bytes;
    ASSERT_TRUE(platform::ReadWholeFile(path, bytes));
    EXPECT_EQ(bytes, "new");
    EXPECT_FALSE(platform::ReadWholeFile(sysroot.Scratch(), bytes));
    EXPECT_EQ(bytes, "new");
}

TEST(FilesTest, AtomicWriteOfPiecesGathersThemInOrderOrChangesNothing)
{
    tolktest::TempSystemRoot sysroot;
    const std::string path = sysroot.Scratch() + "/script";
    const std::string large(200 * 1024, 'L');
    std::string expected;
    ASSERT_TRUE(platform::WriteFileAtomically(path, [&](const platform::ByteSink& write) {
        for (int piece = 0; piece < 5000; ++piece) {
            const std::string small = "entry " + std::to_string(piece) + "\n";
            expected += small;
            if (!write(small.data(), small.size()))
                return false;
            if (piece == 2500) {
                expected += large;
                if (!write(large.data(), large.size()))
                    return false;
            }
        }
        return true;
    }));
    std::string bytes;
    ASSERT_TRUE(platform::ReadWholeFile(path, bytes));
    EXPECT_EQ(bytes, expected);

    // A producer that gives up half-way leaves the file as it was, and no new file beside it.
    EXPECT_FALSE(platform::WriteFileAtomically(
        path, [&](const platform::ByteSink& write) { return write(large.data(), large.size()) && false; }));
    ASSERT_TRUE(platform::ReadWholeFile(path, bytes));
    EXPECT_EQ(bytes, expected);
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(sysroot.Scratch()))
        files += entry.is_regular_file() ? 1 : 0;
    EXPECT_EQ(files, 1u);
}

TEST(FilesTest, ReadUntilEndHandsOverEveryPieceOrStopsWhereTheSinkRefuses)
{
    tolktest::TempSystemRoot sysroot;
    const std::string path = sysroot.Scratch() + "/file";
    std::string large;
    for (int line = 0; line < 20000; ++line)
        large += "line " + std::to_string(line) + "\n";  // more than one read's worth
    struct Case {
        const char* what;
        std::string content;
        std::size_t acceptedPieces;  // the sink refuses the piece after these
        bool whole;
    };
    const Case cases[] = {
        {"empty", "", 1, true},
        {"large", large, SIZE_MAX, true},
        {"refused at once", "x", 0, false},
        {"refused later", large, 1, false},
    };
    for (const Case& test : cases) {
        tolktest::WriteTextFile(path, test.content);
        const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        std::string gathered;
        std::size_t pieces = 0;
        const bool whole = platform::ReadUntilEnd(fd, [&](const char* bytes, std::size_t size) {
            if (pieces++ == test.acceptedPieces)
                return false;
            gathered.append(bytes, size);
            return true;
        });
        EXPECT_EQ(whole, test.whole) << test.what;
        if (test.whole)
            EXPECT_EQ(gathered, test.content) << test.what;
        else
            EXPECT_EQ(pieces, test.acceptedPieces + 1) << test.what;
        EXPECT_EQ(fcntl(fd, F_GETFD), FD_CLOEXEC) << test.what << ": the file stays open";
        close(fd);
    }

    // A failed read says why.
    const int writeOnly = open(path.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(writeOnly, 0);
    errno = 0;
    EXPECT_FALSE(platform::ReadUntilEnd(writeOnly, [](const char*, std::size_t) { return true; }));
    EXPECT_EQ(errno, EBADF);
    close(writeOnly);
}

TEST(BundleTest, MainBundleFromTheExecutableOrTheTestHook)
{
    platform::BundlePtr main = platform::Bundle::Main();
    ASSERT_TRUE(main);
    EXPECT_EQ(main->Path().substr(main->Path().size() - 6), "/tests");  // the test program's own folder

    tolktest::TempSystemRoot sysroot;
    const std::string app = sysroot.Scratch() + "/Setup.app";
    tolktest::MakeFolders(app + "/Contents/MacOS");
    platform::Bundle::SetMainBundlePathForTesting(app);
    ASSERT_TRUE(platform::Bundle::Main());
    EXPECT_EQ(platform::Bundle::Main()->SharedSupportPath(), app + "/Contents/SharedSupport");
    platform::Bundle::SetMainBundlePathForTesting("");
}

TEST(RunLoopTest, PerformAndWaitRunsOnTheLoopThreadAndCarriesErrors)
{
    std::atomic<bool> done(false);
    bool ranOnMain = false;
    bool caught = false;
    std::thread worker([&]() {
        platform::RunLoop::Main().PerformAndWait([&]() { ranOnMain = platform::RunLoop::IsMainThread(); });
        try {
            platform::RunLoop::Main().PerformAndWait([]() { throw std::runtime_error("inside"); });
        } catch (const std::runtime_error&) {
            caught = true;
        }
        done = true;
    });
    tolktest::JoinWhenDone(
        worker,
        [&]() {
            if (done)
                return true;
            platform::RunLoop::Current().RunFor(0.05);
            return false;
        },
        "the main loop running the worker's tasks");
    EXPECT_TRUE(ranOnMain);
    EXPECT_TRUE(caught);

    // On the loop's own thread the task runs at once.
    bool inline_ = false;
    platform::RunLoop::Main().PerformAndWait([&]() { inline_ = true; });
    EXPECT_TRUE(inline_);
    EXPECT_EQ(platform::RunLoop::Main().RunPending(), 0);
}
