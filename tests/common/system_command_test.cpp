#include "common/system_command.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const char kSystem[] = "C:\\windows\\system32\\";

}  // namespace

TEST(SystemFolderPath, EndsInOneBackslash)
{
    char folder[16];
    ASSERT_EQ(1, SystemFolderPath("C:\\WINDOWS", folder, sizeof folder));
    EXPECT_STREQ("C:\\WINDOWS\\", folder);
    ASSERT_EQ(1, SystemFolderPath("C:\\", folder, sizeof folder));
    EXPECT_STREQ("C:\\", folder);
    // 表 is 95 5C: its second byte is no backslash, one is added.
    ASSERT_EQ(1, SystemFolderPath("C:\\\x95\x5C", folder, sizeof folder));
    EXPECT_STREQ("C:\\\x95\x5C\\", folder);
    // "C:\WINDOWS\" needs 12 bytes with its end.
    EXPECT_EQ(0, SystemFolderPath("C:\\WINDOWS", folder, 11));
    EXPECT_STREQ("", folder);
    EXPECT_EQ(1, SystemFolderPath("C:\\WINDOWS", folder, 12));
    EXPECT_EQ(0, SystemFolderPath("", folder, sizeof folder));
}

TEST(InterpreterCommandLine, QuotesThePathInsideAnOuterPair)
{
    char line[256];
    ASSERT_EQ(1, InterpreterCommandLine(kSystem, "C:\\Program Files (x86)\\T & x\\startup.bat", line,
                                        sizeof line));
    EXPECT_STREQ("\"C:\\windows\\system32\\cmd.exe\" /d /s /c "
                 "\"\"C:\\Program Files (x86)\\T & x\\startup.bat\"\"",
                 line);
    ASSERT_EQ(1, InterpreterCommandLine(kSystem, "C:\\\x83\x5C\\@x^y\\unmerlowsp.bat", line,
                                        sizeof line));
    EXPECT_STREQ("\"C:\\windows\\system32\\cmd.exe\" /d /s /c \"\"C:\\\x83\x5C\\@x^y\\unmerlowsp.bat\"\"",
                 line);
}

TEST(InterpreterCommandLine, RefusesWhatCannotBeQuotedOrWouldNotFit)
{
    char line[64];
    EXPECT_EQ(0, InterpreterCommandLine(kSystem, "\"C:\\A\\unmerlowsp.bat", line, sizeof line));
    EXPECT_STREQ("", line);
    EXPECT_EQ(0, InterpreterCommandLine("", "C:\\A\\startup.bat", line, sizeof line));
    EXPECT_EQ(0, InterpreterCommandLine(kSystem, "", line, sizeof line));
    // 43 bytes of interpreter, switches and quotes around the path, and the end.
    const std::string fits(64 - 43 - 1, 'p');
    ASSERT_EQ(1, InterpreterCommandLine(kSystem, fits.c_str(), line, sizeof line));
    EXPECT_EQ(63u, std::string(line).size());
    EXPECT_EQ(0, InterpreterCommandLine(kSystem, (fits + "p").c_str(), line, sizeof line));
    EXPECT_STREQ("", line);  // never a cut line
}

TEST(SystemProgramCommandLine, QuotesTheProgramAndAppendsTheArguments)
{
    char line[64];
    ASSERT_EQ(1, SystemProgramCommandLine(kSystem, "net.exe", "start merlowsp", line, sizeof line));
    EXPECT_STREQ("\"C:\\windows\\system32\\net.exe\" start merlowsp", line);
    EXPECT_EQ(0, SystemProgramCommandLine(kSystem, "net.exe", std::string(40, 'a').c_str(), line,
                                          sizeof line));
    EXPECT_STREQ("", line);
    EXPECT_EQ(0, SystemProgramCommandLine("C:\\\"x\\", "net.exe", "start", line, sizeof line));
}
