#include "common/text_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

std::string ReadBytes(const char* path)
{
    std::string bytes;
    FILE* file = std::fopen(path, "rb");
    if (file == nullptr)
        return bytes;
    char buffer[256];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.append(buffer, got);
    std::fclose(file);
    return bytes;
}

}  // namespace

// The Windows C runtime turns each line feed into CR LF in text mode; the
// host's does not. The same code runs in both builds, so each checks its own.
TEST(WriteTextFile, WritesLinesAsThePlatformStoresText)
{
    const char* path = "text_file_test.tmp";
    ASSERT_EQ(0, WriteTextFile(path, "@echo off\ncall x.bat\n"));
#ifdef _WIN32
    EXPECT_EQ("@echo off\r\ncall x.bat\r\n", ReadBytes(path));
#else
    EXPECT_EQ("@echo off\ncall x.bat\n", ReadBytes(path));
#endif
    std::remove(path);
}

TEST(WriteTextFile, ReplacesWhatWasThere)
{
    const char* path = "text_file_test2.tmp";
    ASSERT_EQ(0, WriteTextFile(path, "a much longer first text\n"));
    ASSERT_EQ(0, WriteTextFile(path, "b"));
    EXPECT_EQ("b", ReadBytes(path));
    std::remove(path);
}

TEST(WriteTextFile, ReportsAFileThatCannotBeOpened)
{
    EXPECT_EQ(-1, WriteTextFile("no-such-folder/x.bat", "x\n"));
}
