#include "FileSystemPath.h"
#include "FileSystemUtils.h"

#include <gtest/gtest.h>

TEST(FileSystemPathTest, Placeholder) { EXPECT_EQ(FileSystemPath("/a/").AsUTF8String(), "/a"); }
