#include "common/program_path.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

TEST(ProgramFilePath, JoinsTheExecutablesFolderAndTheName)
{
    char path[kPathSize];
    ASSERT_EQ(1, ProgramFilePath(path, sizeof path, "C:\\Ombrix\\Merlow\\merlowsp.exe", "upstrm.dat"));
    EXPECT_STREQ("C:\\Ombrix\\Merlow\\upstrm.dat", path);
    ASSERT_EQ(1, ProgramFilePath(path, sizeof path, "merlowsp.exe", "upstrm.dat"));
    EXPECT_STREQ("upstrm.dat", path);
}

// 表 is 95 5C in code page 932: its second byte is no separator.
TEST(ProgramFilePath, StepsOverDoubleByteCharacters)
{
    char path[kPathSize];
    ASSERT_EQ(1, ProgramFilePath(path, sizeof path, "C:\\\x95\\\\\x95\\\\merlowsp.exe", "upstrm.dat"));
    EXPECT_STREQ("C:\\\x95\\\\\x95\\\\upstrm.dat", path);
    ASSERT_EQ(1, ProgramFilePath(path, sizeof path, "C:\\ups\\\x95\\.exe", "upstrm.dat"));
    EXPECT_STREQ("C:\\ups\\upstrm.dat", path);
}

TEST(ProgramFilePath, RefusesAPathThatWouldNotFit)
{
    char path[kPathSize];
    std::string folder = "C:\\" + std::string(kPathSize - 15, 'd') + "\\";  // 249 characters
    ASSERT_EQ(1, ProgramFilePath(path, sizeof path, (folder + "m.exe").c_str(), "upstrm.dat"));
    EXPECT_EQ(kPathSize - 1, std::strlen(path));
    folder.insert(3, "d");
    std::memset(path, 'z', sizeof path);
    EXPECT_EQ(0, ProgramFilePath(path, sizeof path, (folder + "m.exe").c_str(), "upstrm.dat"));
    EXPECT_STREQ("", path);
}
