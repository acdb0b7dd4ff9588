#include "setup/uninstall_scripts.h"

#include "setup/folders.h"
#include "setup/install_error.h"
#include "tests/setup/test_files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

TEST(ScriptTexts, AreTheBatchLinesByteForByte)
{
    EXPECT_EQ("del \"C:\\Ombrix\\Merlow\\merlowsp.exe\"\n",
              DeletionLine("C:\\Ombrix\\Merlow\\merlowsp.exe"));
    EXPECT_EQ("@echo off\n"
              "\"C:\\Ombrix\\Merlow\\merlowsp.exe\" delDepend\n"
              "\"%SystemRoot%\\System32\\net.exe\" stop merlowsp\n"
              "\"C:\\Ombrix\\Merlow\\merlowsp.exe\" delete\n"
              "\"%SystemRoot%\\System32\\cmd.exe\" /d /c call \"C:\\Ombrix\\Merlow\\upsombxfile.bat\"\n"
              "del \"C:\\Ombrix\\Merlow\\upsombxfile.bat\"\n"
              "\n\n\n",
              CompanionUninstallScriptText("C:\\Ombrix\\Merlow\\merlowsp.exe", "C:\\Ombrix\\Merlow\\"));
    EXPECT_EQ("\"%SystemRoot%\\System32\\cmd.exe\" /d /c call \"D:\\A\\unmerlowsp.bat\"\n",
              HookLine("D:\\A\\unmerlowsp.bat"));
    EXPECT_EQ("cmd /c \"D:\\A\\unmerlowsp.bat\"\n", EarlierHookLine("D:\\A\\unmerlowsp.bat"));
    EXPECT_EQ("@echo off\n"
              "\"%SystemRoot%\\System32\\cmd.exe\" /d /c call \"D:\\A\\unmerlowsp.bat\"\n"
              "del \"D:\\A\\unmerlowsp.bat\"\n"
              "\n\n\n",
              HookBlock("D:\\A\\unmerlowsp.bat"));
}

TEST(ScriptTexts, KeepFolderNamesThatTheInterpreterWouldSplit)
{
    // One pair of quotes after call: the outer interpreter keeps the & and
    // the parentheses inside it, and call takes the whole path.
    const char folder[] = "C:\\Program Files (x86)\\T & x\\";
    const std::string text =
        CompanionUninstallScriptText("C:\\Program Files (x86)\\T & x\\merlowsp.exe", folder);
    EXPECT_NE(std::string::npos,
              text.find("\n\"%SystemRoot%\\System32\\cmd.exe\" /d /c call "
                        "\"C:\\Program Files (x86)\\T & x\\upsombxfile.bat\"\n"));
    EXPECT_NE(std::string::npos,
              text.find("\n\"C:\\Program Files (x86)\\T & x\\merlowsp.exe\" delete\n"));
}

TEST(ScriptTexts, KeepDoubleByteFolderNamesWhole)
{
    // 表 (95 5C) in the folder: the bytes go through unchanged.
    EXPECT_EQ("del \"C:\\\x95\x5C\\merlowsp.exe\"\n", DeletionLine("C:\\\x95\x5C\\merlowsp.exe"));
    EXPECT_EQ("\"%SystemRoot%\\System32\\cmd.exe\" /d /c call \"C:\\\x95\x5C\\unmerlowsp.bat\"\n",
              HookLine("C:\\\x95\x5C\\unmerlowsp.bat"));
}

TEST(WriteCompanionUninstallScript, WritesTheSevenLinesInTextMode)
{
    char path[kPathBuffer];
    ASSERT_TRUE(WriteCompanionUninstallScript("", "D:\\A\\B\\merlowsp.exe", "D:\\A\\B\\", path));
    EXPECT_EQ(std::string("unmerlowsp.bat"), path);
    EXPECT_EQ(Stored(CompanionUninstallScriptText("D:\\A\\B\\merlowsp.exe", "D:\\A\\B\\")),
              ReadBytes(path));
    std::remove(path);
    EXPECT_EQ(0, GetInstallError());

    EXPECT_FALSE(WriteCompanionUninstallScript("no-such-folder/", "x", "y", path));
    EXPECT_EQ(kErrorBatchFile, GetInstallError());
    SetInstallError(0);
}

TEST(WriteCompanionUninstallScript, ReplacesAnOldScriptWholeAndLeavesNoTemporary)
{
    // A crash during an earlier run left its temporary; the old script is
    // longer than the new one, so a rewrite in place would show its tail.
    WriteBytes("unmerlowsp.tmp", "stale\r\n");
    WriteBytes("unmerlowsp.bat", std::string(4096, 'x'));
    char path[kPathBuffer];
    ASSERT_TRUE(WriteCompanionUninstallScript("", "D:\\A\\B\\merlowsp.exe", "D:\\A\\B\\", path));
    EXPECT_EQ(Stored(CompanionUninstallScriptText("D:\\A\\B\\merlowsp.exe", "D:\\A\\B\\")),
              ReadBytes(path));
    std::FILE* left = std::fopen("unmerlowsp.tmp", "rb");
    EXPECT_EQ(nullptr, left);
    if (left != nullptr)
        std::fclose(left);
    std::remove(path);
}

namespace {

struct Copy {
    bool matched;
    std::string output;
};

Copy CopyScript(const std::string& script, const std::vector<std::string>& hookLines)
{
    WriteBytes("hook_in.tmp", script);
    std::FILE* in = std::fopen("hook_in.tmp", "rb");
    std::FILE* out = std::fopen("hook_out.tmp", "wb");
    bool written = false;
    Copy copy{CopyLookingForHook(in, out, hookLines, &written), ""};
    EXPECT_TRUE(written);
    std::fclose(in);
    std::fclose(out);
    copy.output = ReadBytes("hook_out.tmp");
    std::remove("hook_in.tmp");
    std::remove("hook_out.tmp");
    return copy;
}

}  // namespace

TEST(CopyLookingForHook, MatchesOnlyTheWholeLineWithItsEnd)
{
    const std::string hook = "cmd /c \"D:\\A\\unmerlowsp.bat\"\n";
    const std::string hooked = "@echo off\n" + hook + "rem x\n";
    Copy copy = CopyScript(hooked, {hook});
    EXPECT_TRUE(copy.matched);
    EXPECT_EQ(hooked, copy.output);

    // The same text without its line end, as the last line: no match.
    copy = CopyScript("@echo off\ncmd /c \"D:\\A\\unmerlowsp.bat\"", {hook});
    EXPECT_FALSE(copy.matched);
    EXPECT_EQ("@echo off\ncmd /c \"D:\\A\\unmerlowsp.bat\"", copy.output);

    EXPECT_FALSE(CopyScript("CMD /C \"D:\\A\\unmerlowsp.bat\"\n", {hook}).matched);
    EXPECT_FALSE(CopyScript(" " + hook, {hook}).matched);
    EXPECT_FALSE(CopyScript("", {hook}).matched);
}

TEST(CopyLookingForHook, EitherHookLineMatchesInEitherLineEnd)
{
    const char script[] = "C:\\Program Files (x86)\\Ombrix\\unmerlowsp.bat";
    const std::vector<std::string> hooks = {HookLine(script), EarlierHookLine(script)};
    for (const std::string& line : {HookLine(script), EarlierHookLine(script)}) {
        const std::string crlf = line.substr(0, line.size() - 1) + "\r\n";
        for (const std::string& form : {line, crlf}) {
            const std::string hooked = "@echo off\r\n" + form + "del x\r\n";
            Copy copy = CopyScript(hooked, hooks);
            EXPECT_TRUE(copy.matched) << form;
            EXPECT_EQ(hooked, copy.output);
        }
    }
    // Another script's hook line is no match.
    EXPECT_FALSE(CopyScript(EarlierHookLine("D:\\unmerlowsp.bat"), hooks).matched);
}

TEST(CopyLookingForHook, CopiesLongLinesAndZeroBytesUnchanged)
{
    const std::string hook = "cmd /c \"x\"\n";
    // Lines are read in pieces of at most 1023 bytes, and each piece is
    // compared on its own.
    const std::string longLine = std::string(2000, 'a') + "\n";
    const std::string withZero = std::string("echo a\0b\n", 9);
    Copy copy = CopyScript(longLine + withZero, {hook});
    EXPECT_FALSE(copy.matched);
    EXPECT_EQ(longLine + withZero, copy.output);

    copy = CopyScript(std::string(1023, 'b') + hook, {hook});
    EXPECT_TRUE(copy.matched);
}
