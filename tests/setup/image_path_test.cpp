#include "setup/image_path.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

// What one of the path readers gives, or "<too long>" when it refused and
// left an empty result.
std::string Read(int (*reader)(const char*, char*, std::size_t), const char* value,
                 std::size_t size = 260)
{
    char destination[260] = "untouched";
    if (reader(value, destination, size) != 0) {
        EXPECT_EQ('\0', destination[0]);
        return "<too long>";
    }
    return destination;
}

std::string Program(const char* imagePath, std::size_t size = 260)
{
    return Read(ImagePathProgram, imagePath, size);
}

TEST(ImagePathProgram, QuotesAreRemovedAndArgumentsAfterThemDropped)
{
    EXPECT_EQ("C:\\Program Files\\Ombrix\\Merlow\\merlow.exe",
              Program("\"C:\\Program Files\\Ombrix\\Merlow\\merlow.exe\""));
    EXPECT_EQ("C:\\Program Files\\Merlow\\merlow.exe",
              Program("\"C:\\Program Files\\Merlow\\merlow.exe\" -service \"D:\\x y\\z\""));
    // Without its closing quote the rest of the value is the program.
    EXPECT_EQ("C:\\Ombrix Soft\\merlow.exe", Program("\"C:\\Ombrix Soft\\merlow.exe"));
    EXPECT_EQ("", Program("\"\""));
    EXPECT_EQ("", Program("\""));
}

TEST(ImagePathProgram, AnUnquotedValueIsUsedUnchanged)
{
    EXPECT_EQ("C:\\Ombrix\\Merlow\\merlow.exe", Program("C:\\Ombrix\\Merlow\\merlow.exe"));
    EXPECT_EQ("C:\\Ombrix\\Merlow\\merlow.exe -x", Program("C:\\Ombrix\\Merlow\\merlow.exe -x"));
    EXPECT_EQ("C:\\a\"b\"\\merlow.exe", Program("C:\\a\"b\"\\merlow.exe"));
    EXPECT_EQ("", Program(""));
}

TEST(ImagePathProgram, DoubleByteCharactersAreSteppedOverWhole)
{
    // ｵﾑ\表示ソフト\ in code page 932; 表 is 95 5C and ソ 83 5C.
    const char folder[] = "C:\\\xB5\xD1\\\x95\x5C\x8E\xA6\x83\x5C\x83\x74\x83\x67\\";
    EXPECT_EQ(std::string(folder) + "merlow.exe",
              Program((std::string("\"") + folder + "merlow.exe\" /a").c_str()));
}

TEST(ImagePathProgram, AProgramThatDoesNotFitGivesAnEmptyResult)
{
    EXPECT_EQ("C:\\m.exe", Program("\"C:\\m.exe\" arguments beyond the size", 9));
    EXPECT_EQ("<too long>", Program("\"C:\\m.exe\"", 8));
    EXPECT_EQ("<too long>", Program("C:\\m.exe", 8));
}

std::string Folder(const char* commandLine)
{
    return Read(CommandFolder, commandLine);
}

TEST(CommandFolder, AQuotedUninstallStringGivesTheFolderInsideTheQuotes)
{
    EXPECT_EQ("C:\\Program Files (x86)\\Ombrix\\",
              Folder("\"C:\\Program Files (x86)\\Ombrix\\unups.bat\""));
    // Arguments after the closing quote may hold separators of their own.
    EXPECT_EQ("C:\\Program Files (x86)\\Ombrix\\",
              Folder("\"C:\\Program Files (x86)\\Ombrix\\unups.bat\" /log D:\\x\\y"));
    // Unquoted, the value is split as it stands, arguments and all.
    EXPECT_EQ("C:\\Ombrix\\", Folder("C:\\Ombrix\\unups.bat"));
    EXPECT_EQ("C:\\Ombrix\\unups.bat /d\\", Folder("C:\\Ombrix\\unups.bat /d\\x"));
    EXPECT_EQ("", Folder("\"unups.bat\""));
    EXPECT_EQ("", Folder(""));
    // ｵﾑ\表示ソフト\: trail bytes 5C are no separators inside the quotes either.
    EXPECT_EQ("C:\\\xB5\xD1\\\x95\x5C\x8E\xA6\x83\x5C\\",
              Folder("\"C:\\\xB5\xD1\\\x95\x5C\x8E\xA6\x83\x5C\\unups.bat\""));
}

TEST(CommandFolder, AFolderThatDoesNotFitGivesAnEmptyResult)
{
    char destination[12] = "untouched";
    EXPECT_EQ(0, CommandFolder("\"C:\\Ombrix\\u.bat\"", destination, 11));
    EXPECT_EQ(std::string("C:\\Ombrix\\"), destination);
    EXPECT_EQ(-1, CommandFolder("\"C:\\Ombrix\\u.bat\"", destination, 10));
    EXPECT_EQ('\0', destination[0]);
}

std::string Native(const char* value)
{
    char text[260];
    std::snprintf(text, sizeof text, "%s", value);
    UseNativeProgramFiles(text);
    return text;
}

TEST(UseNativeProgramFiles, OnlyTheTwoProgramFilesNamesAreRenamed)
{
    EXPECT_EQ("\"%ProgramW6432%\\Ombrix\\merlow.exe\"", Native("\"%ProgramFiles%\\Ombrix\\merlow.exe\""));
    EXPECT_EQ("%ProgramW6432%\\a;%CommonProgramW6432%\\b",
              Native("%PROGRAMFILES%\\a;%commonprogramfiles%\\b"));
    EXPECT_EQ("%ProgramFiles(x86)%\\a %SystemRoot% %ProgramW6432%",
              Native("%ProgramFiles(x86)%\\a %SystemRoot% %ProgramW6432%"));
    EXPECT_EQ("C:\\ProgramFiles\\%ProgramFiles", Native("C:\\ProgramFiles\\%ProgramFiles"));
    EXPECT_EQ("", Native(""));
}

}  // namespace
