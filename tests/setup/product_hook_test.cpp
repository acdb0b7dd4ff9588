#include "setup/product_hook.h"

#include "setup/install_error.h"
#include "setup/uninstall_scripts.h"
#include "tests/setup/test_files.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

// The product folder hooktest\ with the UPS manager folder hooktest\Merlow\ below.
const char kManagerFolder[] = "hooktest\\Merlow\\";
const char kCompanion[] = "hooktest\\Merlow\\merlowsp.exe";
const char kProductScript[] = "hooktest\\unups.bat";
const char kTemporary[] = "hooktest\\merlowsp.tmp";
const char kCompanionScript[] = "hooktest\\unmerlowsp.bat";
const std::string kProductLines = "@echo off\r\necho product\r\n";

class Hook : public ::testing::Test {
protected:
    void SetUp() override
    {
        CreateDirectoryA("hooktest", nullptr);
        CreateDirectoryA("hooktest\\Merlow", nullptr);
        SetInstallError(0);
    }
    void TearDown() override
    {
        for (const char* path : {kProductScript, kTemporary, kCompanionScript})
            DeleteFileA(path);
        RemoveDirectoryA("hooktest\\Merlow");
        RemoveDirectoryA("hooktest");
        SetInstallError(0);
    }
};

std::string HookBlockStored()
{
    return Stored(HookBlock(kCompanionScript));
}

}  // namespace

TEST_F(Hook, FirstHookPutsTheBlockBeforeTheProductLines)
{
    WriteBytes(kProductScript, kProductLines);
    ASSERT_TRUE(HookProductUninstall(kManagerFolder, kCompanion));
    EXPECT_EQ(HookBlockStored() + kProductLines, ReadBytes(kProductScript));
    EXPECT_EQ(Stored(CompanionUninstallScriptText(kCompanion, kManagerFolder)),
              ReadBytes(kCompanionScript));
    EXPECT_EQ("<missing>", ReadBytes(kTemporary));
    EXPECT_EQ(0, GetInstallError());

    // An empty product script becomes exactly the block.
    WriteBytes(kProductScript, "");
    ASSERT_TRUE(HookProductUninstall(kManagerFolder, kCompanion));
    EXPECT_EQ(HookBlockStored(), ReadBytes(kProductScript));
}

TEST_F(Hook, HookedScriptStaysByteForByteAndTheCompanionScriptIsRewritten)
{
    // A lone line feed would become CR LF if the script were rewritten.
    const std::string hooked = "rem first\n" + Stored(HookLine(kCompanionScript)) + "rem\x1A tail\n";
    WriteBytes(kProductScript, hooked);
    WriteBytes(kCompanionScript, "stale");
    ASSERT_TRUE(HookProductUninstall(kManagerFolder, kCompanion));
    EXPECT_EQ(hooked, ReadBytes(kProductScript));
    EXPECT_EQ("<missing>", ReadBytes(kTemporary));
    EXPECT_EQ(Stored(CompanionUninstallScriptText(kCompanion, kManagerFolder)),
              ReadBytes(kCompanionScript));
}

TEST_F(Hook, HookLineWithoutLineEndDoesNotCount)
{
    std::string withoutEnd = Stored(HookLine(kCompanionScript));
    withoutEnd.resize(withoutEnd.find_first_of("\r\n"));
    WriteBytes(kProductScript, withoutEnd);
    ASSERT_TRUE(HookProductUninstall(kManagerFolder, kCompanion));
    EXPECT_EQ(HookBlockStored() + withoutEnd, ReadBytes(kProductScript));
}

TEST_F(Hook, MissingProductScriptStores2001AndWritesNoCompanionScript)
{
    EXPECT_FALSE(HookProductUninstall(kManagerFolder, kCompanion));
    EXPECT_EQ(kErrorHook, GetInstallError());
    EXPECT_EQ("<missing>", ReadBytes(kCompanionScript));
    EXPECT_EQ("<missing>", ReadBytes(kProductScript));
}

TEST_F(Hook, ScriptThatCannotBeReplacedStaysWhole)
{
    WriteBytes(kProductScript, kProductLines);
    // Held open without delete sharing, as an editor or a virus scanner
    // might: it can be read but not replaced. (Wine replaces a read-only
    // target, which Windows refuses, so the test does not use that.)
    HANDLE held = CreateFileA(kProductScript, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    const bool hooked = HookProductUninstall(kManagerFolder, kCompanion);
    CloseHandle(held);
    EXPECT_FALSE(hooked);
    EXPECT_EQ(kErrorHook, GetInstallError());
    EXPECT_EQ(kProductLines, ReadBytes(kProductScript));
    EXPECT_EQ("<missing>", ReadBytes(kTemporary));
}

TEST_F(Hook, TemporaryFileThatCannotTakeTheNameLeavesTheScriptWhole)
{
    WriteBytes(kProductScript, kProductLines);
    WriteBytes(kTemporary, "");
    // The new script is written but can't be renamed: the old one must not
    // have been deleted before.
    HANDLE held = CreateFileA(kTemporary, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    const bool hooked = HookProductUninstall(kManagerFolder, kCompanion);
    CloseHandle(held);
    EXPECT_FALSE(hooked);
    EXPECT_EQ(kErrorHook, GetInstallError());
    EXPECT_EQ(kProductLines, ReadBytes(kProductScript));
}

TEST_F(Hook, EveryByteOfTheOldScriptFollowsTheBlock)
{
    // Text mode would end the file at the 0x1A and turn the lone line feed
    // into CR LF; the product's lines after it must survive as they are.
    const std::string script = std::string("@echo off\r\nrem \x1A mark\r\necho after\nrem\0end\r\n", 43);
    WriteBytes(kProductScript, script);
    ASSERT_TRUE(HookProductUninstall(kManagerFolder, kCompanion));
    EXPECT_EQ(HookBlockStored() + script, ReadBytes(kProductScript));
    EXPECT_EQ(0, GetInstallError());
}

TEST_F(Hook, HookLineEndedByALoneLineFeedStillCounts)
{
    const std::string hooked = "rem first\r\n" + HookLine(kCompanionScript) + "rem tail\r\n";
    WriteBytes(kProductScript, hooked);
    ASSERT_TRUE(HookProductUninstall(kManagerFolder, kCompanion));
    EXPECT_EQ(hooked, ReadBytes(kProductScript));
}

TEST_F(Hook, ScriptHookedByAnEarlierReleaseIsNotHookedTwice)
{
    // What an earlier release left: its block, then the product's lines.
    const std::string earlier = "@echo off\r\n" + Stored(EarlierHookLine(kCompanionScript)) +
                                "del \"hooktest\\unmerlowsp.bat\"\r\n\r\n\r\n\r\n" + kProductLines;
    WriteBytes(kProductScript, earlier);
    ASSERT_TRUE(HookProductUninstall(kManagerFolder, kCompanion));
    EXPECT_EQ(earlier, ReadBytes(kProductScript));
    EXPECT_EQ("<missing>", ReadBytes(kTemporary));
    EXPECT_EQ(Stored(CompanionUninstallScriptText(kCompanion, kManagerFolder)),
              ReadBytes(kCompanionScript));
    EXPECT_EQ(0, GetInstallError());
}
