#include "setup/folders.h"

#include "setup/install_error.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string ProductFolder(const char* managerFolder)
{
    char out[kPathBuffer] = "untouched";
    EXPECT_EQ(0, ProductFolderOf(managerFolder, out, sizeof out));
    return out;
}

}  // namespace

TEST(ProductFolderOf, IsTheParentOfTheManagerFolder)
{
    EXPECT_EQ("D:\\A\\", ProductFolder("D:\\A\\B\\"));
    EXPECT_EQ("D:\\A\\", ProductFolder("D:\\A\\B"));
    EXPECT_EQ("C:\\", ProductFolder("C:\\Ombrix\\"));
    EXPECT_EQ("C:", ProductFolder("C:\\"));
    EXPECT_EQ("", ProductFolder("Merlow\\"));
    // A quote is an ordinary character here (ImagePath is unquoted before).
    EXPECT_EQ("\"C:\\Ombrix\\", ProductFolder("\"C:\\Ombrix\\Merlow\\"));
}

TEST(ProductFolderOf, StepsOverDoubleByteCharactersEndingInA5C)
{
    // 表 is 95 5C and ソ 83 5C: their trail bytes are no separators.
    EXPECT_EQ("C:\\\x95\x5C\\", ProductFolder("C:\\\x95\x5C\\\x83\x5C\\"));
    EXPECT_EQ("C:\\\x83\x5C\x95\x5C\\", ProductFolder("C:\\\x83\x5C\x95\x5C\\Merlow\\"));
    // A folder that ends in such a character has no trailing backslash to drop.
    EXPECT_EQ("C:\\", ProductFolder("C:\\\x83\x5C"));
}

TEST(ProductFolderOf, RefusesWhatWouldNotFit)
{
    char out[8] = "x";
    EXPECT_EQ(-1, ProductFolderOf("C:\\abcdefgh\\B\\", out, sizeof out));
    EXPECT_EQ(std::string(), out);
}

TEST(ProductFolderOf, FitsWhenOnlyTheParentFits)
{
    // "C:\A\" fits in six bytes, the manager folder "C:\A\B\" does not.
    char out[6] = "x";
    EXPECT_EQ(0, ProductFolderOf("C:\\A\\B\\", out, sizeof out));
    EXPECT_EQ(std::string("C:\\A\\"), out);
    EXPECT_EQ(0, ProductFolderOf("\x83\x5C\\", out, 1));
    EXPECT_EQ(std::string(), out);
}

TEST(CompanionPath, JoinsFolderAndProgramName)
{
    char out[kPathBuffer];
    ASSERT_EQ(0, CompanionPath(out, "C:\\Ombrix\\Merlow\\"));
    EXPECT_EQ(std::string("C:\\Ombrix\\Merlow\\merlowsp.exe"), out);
    ASSERT_EQ(0, JoinPath(out, "", "files\\"));
    EXPECT_EQ(std::string("files\\"), out);  // no program directory: relative
    const std::string longFolder(kPathBuffer - 5, 'a');
    EXPECT_EQ(-1, CompanionPath(out, longFolder.c_str()));
    EXPECT_EQ(std::string(), out);
}

TEST(InstallError, KeepsTheLastCodeStored)
{
    EXPECT_EQ(0, GetInstallError());
    SetInstallError(kErrorUninstallString);
    SetInstallError(kErrorHook);
    EXPECT_EQ(2001, GetInstallError());
    SetInstallError(0);
}
