// TempSystemRoot: a system root and a home folder of their own in a temporary folder, made
// with scripts/make-sysroot, and the process pointed at them (TOLK_SYSTEM_ROOT, HOME) for the
// object's lifetime (the user domain is the process's own again after it). Every test that
// touches system locations runs inside one.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tolktest {

class TempSystemRoot {
public:
    TempSystemRoot();
    ~TempSystemRoot();
    TempSystemRoot(const TempSystemRoot&) = delete;
    TempSystemRoot& operator=(const TempSystemRoot&) = delete;

    const std::string& Base() const { return base_; }  // holds root/, home/ and scratch/
    const std::string& Root() const { return root_; }
    const std::string& Home() const { return home_; }
    const std::string& Scratch() const { return scratch_; }  // a folder outside the root

    // A fixed system location under the root ("/Library" -> "<root>/Library").
    std::string Path(const std::string& systemPath) const;

    // Replaces the root's platform settings with the given property-list text.
    void WritePlatformSettings(const std::string& plistText) const;

private:
    std::string base_;
    std::string root_;
    std::string home_;
    std::string scratch_;
    std::string savedRoot_;
    std::string savedHome_;
    bool hadRoot_ = false;
    bool hadHome_ = false;
};

// A test fixture with a TempSystemRoot.
class SystemRootTest : public ::testing::Test {
protected:
    TempSystemRoot sysroot_;
};

// Small file helpers for building fixtures.
void WriteTextFile(const std::string& path, const std::string& text);
std::string ReadTextFile(const std::string& path);
void MakeFolders(const std::string& path);
// The tree below a folder as sorted lines "path kind", kind being "dir", "link->target" or the
// file's contents; how tests compare a laid-out image with its source. With modes and owners,
// the path itself comes first (a file or link too) and every line also says its mode and owner:
// taken before and after a run, it shows whether anything there changed.
std::vector<std::string> DescribeTree(const std::string& path, bool modesAndOwners = false);
// Runs a program with arguments and waits; its exit status (or -1 when it could not run).
int RunProgram(const std::string& program, const std::vector<std::string>& arguments);

}  // namespace tolktest
