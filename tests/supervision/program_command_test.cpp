#include "supervision/program_command.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Join(const char* directory, const char* programText, std::size_t size = 600)
{
    char destination[600];
    if (JoinProgramCommandLine(directory, programText, destination, size) != 0) {
        EXPECT_EQ('\0', destination[0]);
        return "<too long>";
    }
    return destination;
}

TEST(JoinProgramCommandLine, WithoutABlankInTheDirectoryTheTwoAreJoined)
{
    EXPECT_EQ("C:\\Ombrix\\Merlow\\child.exe log a b", Join("C:\\Ombrix\\Merlow\\", "child.exe log a b"));
    // A blank line's text stays as it was: the directory and the line feed.
    EXPECT_EQ("C:\\Ombrix\\Merlow\\\n", Join("C:\\Ombrix\\Merlow\\", "\n"));
    EXPECT_EQ("child.exe", Join("", "child.exe"));
}

TEST(JoinProgramCommandLine, ABlankInTheDirectoryQuotesItWithTheFirstWord)
{
    EXPECT_EQ("\"C:\\Ombrix Soft\\Merlow\\child.exe\" log  a,b",
              Join("C:\\Ombrix Soft\\Merlow\\", "child.exe log  a,b"));
    EXPECT_EQ("\"C:\\Ombrix Soft\\child.exe\"", Join("C:\\Ombrix Soft\\", "child.exe"));
    EXPECT_EQ("\"C:\\Ombrix Soft\\child.exe\"\targ", Join("C:\\Ombrix Soft\\", "child.exe\targ"));
    EXPECT_EQ("\"C:\\Ombrix Soft\\sub\\child.exe\" \"quoted arg\"",
              Join("C:\\Ombrix Soft\\", "sub\\child.exe \"quoted arg\""));
}

TEST(JoinProgramCommandLine, DoubleByteNamesAreCopiedWhole)
{
    // "表示 ソフト\" in code page 932: 95 5C 8E A6, a blank, 83 5C 83 74 83 67 5C.
    const char directory[] = "C:\\\x95\x5C\x8E\xA6 \x83\x5C\x83\x74\x83\x67\\";
    EXPECT_EQ(std::string("\"") + directory + "\xB5\xD1.exe\" a", Join(directory, "\xB5\xD1.exe a"));
    EXPECT_EQ(std::string("C:\\\x83\x5C\\x.exe a"), Join("C:\\\x83\x5C\\", "x.exe a"));
}

TEST(JoinProgramCommandLine, AResultThatDoesNotFitIsEmpty)
{
    // "\"C:\\A B\\x.exe\" y" is 16 bytes and its end.
    EXPECT_EQ("\"C:\\A B\\x.exe\" y", Join("C:\\A B\\", "x.exe y", 17));
    EXPECT_EQ("<too long>", Join("C:\\A B\\", "x.exe y", 16));
    EXPECT_EQ("<too long>", Join("C:\\AB\\", "x.exe y", 13));
}

}  // namespace
