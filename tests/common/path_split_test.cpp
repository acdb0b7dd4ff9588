#include "common/path_split.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Directory(const char* path, std::size_t size = 260)
{
    char out[300] = "untouched";
    EXPECT_EQ(0, DriveAndDirectory(path, out, size));
    return out;
}

}  // namespace

TEST(DriveAndDirectory, EndsAtTheLastSeparatorOutsideDoubleByteCharacters)
{
    EXPECT_EQ("C:\\Ombrix\\Merlow\\", Directory("C:\\Ombrix\\Merlow\\merlowsp.exe"));
    EXPECT_EQ("C:/a/", Directory("C:/a/b.exe"));
    EXPECT_EQ("C:", Directory("C:merlowsp.exe"));
    EXPECT_EQ("", Directory("merlowsp.exe"));
    // "ソ" (83 5C) ends in a byte that is a backslash in ASCII.
    EXPECT_EQ("C:\\\x83\x5C\\", Directory("C:\\\x83\x5C\\x.exe"));
    EXPECT_EQ("C:\\", Directory("C:\\\x83\x5C.exe"));
}

TEST(DriveAndDirectory, ResultThatWouldNotFitIsRefused)
{
    char out[8] = "x";
    EXPECT_EQ(-1, DriveAndDirectory("C:\\abcdef\\g", out, sizeof out));
    EXPECT_EQ(std::string(), out);
    EXPECT_EQ(-1, DriveAndDirectory("C:\\abcd\\g", out, sizeof out));  // 8 bytes and the end
    EXPECT_EQ(0, DriveAndDirectory("C:\\abc\\g", out, sizeof out));
    EXPECT_EQ(std::string("C:\\abc\\"), out);
}
