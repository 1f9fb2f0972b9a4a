// Helpers for the logging tests: a fixture whose log headers read a clock the test sets (in
// UTC, starting at Tue Dec 8 08:11:04 2026), and readers of plain and gzip files.
#pragma once

#include "tests/support/GzipFile.h"
#include "tests/support/TempSystemRoot.h"

#include <string>
#include <vector>

namespace logtest {

class LogTest : public tolktest::SystemRootTest {
protected:
    void SetUp() override;
    void TearDown() override;

    static void AdvanceSeconds(int seconds);
    std::string LogPath(const std::string& name) const { return sysroot_.Scratch() + "/" + name; }

private:
    std::string savedTZ_;
    bool hadTZ_ = false;
};

std::vector<std::string> Lines(const std::string& text);
bool FileExists(const std::string& path);
// Several megabytes of log lines with a stretch of incompressible bytes in the middle, the same
// on every call.
std::string LargeLogText();
using tolktest::ReadGzip;

}  // namespace logtest
