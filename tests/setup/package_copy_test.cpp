#include "setup/package_copy.h"

#include "setup/folders.h"
#include "setup/install_error.h"
#include "tests/setup/test_files.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

class PackageCopy : public ::testing::Test {
protected:
    void SetUp() override
    {
        CreateDirectoryA("pkgtest", nullptr);
        CreateDirectoryA("pkgtest\\files", nullptr);
        CreateDirectoryA("pkgtest\\target", nullptr);
        SetInstallError(0);
    }
    void TearDown() override
    {
        for (const char* name : {"a.txt", ".hidden", "sub", "upsombxfile.bat"}) {
            for (const char* folder : {"pkgtest\\files\\", "pkgtest\\target\\"}) {
                const std::string path = folder + std::string(name);
                SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(path.c_str());
            }
        }
        RemoveDirectoryA("pkgtest\\files\\sub");
        RemoveDirectoryA("pkgtest\\files");
        RemoveDirectoryA("pkgtest\\target");
        RemoveDirectoryA("pkgtest");
        SetInstallError(0);
    }
    char list_[kPathBuffer] = {};
};

}  // namespace

TEST_F(PackageCopy, CopiesAndListsEveryEntryButDotNames)
{
    WriteBytes("pkgtest\\files\\a.txt", "A\r\n");
    WriteBytes("pkgtest\\files\\.hidden", "H");
    ASSERT_TRUE(CopyPackageFiles("pkgtest\\files\\", "pkgtest\\target\\", list_));
    EXPECT_EQ(std::string("pkgtest\\target\\upsombxfile.bat"), list_);
    EXPECT_EQ("A\r\n", ReadBytes("pkgtest\\target\\a.txt"));
    EXPECT_EQ("<missing>", ReadBytes("pkgtest\\target\\.hidden"));
    EXPECT_EQ("del \"pkgtest\\target\\a.txt\"\r\n", ReadBytes(list_));
    EXPECT_EQ(0, GetInstallError());
}

TEST_F(PackageCopy, StopsAtASubfolderWhoseLineEndsTheList)
{
    CreateDirectoryA("pkgtest\\files\\sub", nullptr);
    EXPECT_FALSE(CopyPackageFiles("pkgtest\\files\\", "pkgtest\\target\\", list_));
    EXPECT_EQ("del \"pkgtest\\target\\sub\"\r\n", ReadBytes(list_));
    EXPECT_EQ(0, GetInstallError());  // a failed copy stores no code
}

TEST_F(PackageCopy, MissingOrEmptyPackageGivesAnEmptyList)
{
    WriteBytes("pkgtest\\target\\upsombxfile.bat", "old\r\n");
    EXPECT_TRUE(CopyPackageFiles("pkgtest\\files\\", "pkgtest\\target\\", list_));
    EXPECT_EQ("", ReadBytes(list_));
    EXPECT_TRUE(CopyPackageFiles("pkgtest\\nothing\\", "pkgtest\\target\\", list_));
    EXPECT_EQ("", ReadBytes(list_));
}

TEST_F(PackageCopy, ListThatCannotBeCreatedStores2000AndCopiesNothing)
{
    WriteBytes("pkgtest\\files\\a.txt", "A");
    EXPECT_FALSE(CopyPackageFiles("pkgtest\\files\\", "pkgtest\\missing\\", list_));
    EXPECT_EQ(kErrorBatchFile, GetInstallError());
}

TEST_F(PackageCopy, PatternThatCannotBeFormedIsAFailedCopy)
{
    // "%s*" of a 1023-byte folder does not fit: enumerating nothing would
    // report an empty package as copied.
    WriteBytes("pkgtest\\files\\a.txt", "A");
    const std::string folder = "pkgtest\\files\\" + std::string(kPathBuffer - 1 - 14, 'x');
    ASSERT_EQ(kPathBuffer - 1, folder.size());
    EXPECT_FALSE(CopyPackageFiles(folder.c_str(), "pkgtest\\target\\", list_));
    EXPECT_EQ("", ReadBytes(list_));
    EXPECT_EQ(0, GetInstallError());
}

TEST_F(PackageCopy, ReadOnlyPackageFilesGiveUsableCopies)
{
    // A package from a CD: every file read-only. The earlier copy that the
    // upgrade replaces is read-only too.
    WriteBytes("pkgtest\\files\\a.txt", "new\r\n");
    ASSERT_TRUE(SetFileAttributesA("pkgtest\\files\\a.txt", FILE_ATTRIBUTE_READONLY));
    WriteBytes("pkgtest\\target\\a.txt", "old\r\n");
    ASSERT_TRUE(SetFileAttributesA("pkgtest\\target\\a.txt", FILE_ATTRIBUTE_READONLY));

    ASSERT_TRUE(CopyPackageFiles("pkgtest\\files\\", "pkgtest\\target\\", list_));
    EXPECT_EQ("new\r\n", ReadBytes("pkgtest\\target\\a.txt"));
    EXPECT_EQ("del \"pkgtest\\target\\a.txt\"\r\n", ReadBytes(list_));
    // The package itself is left as it was.
    EXPECT_EQ(0u, GetFileAttributesA("pkgtest\\target\\a.txt") & FILE_ATTRIBUTE_READONLY);
    EXPECT_NE(0u, GetFileAttributesA("pkgtest\\files\\a.txt") & FILE_ATTRIBUTE_READONLY);

    // A second run (same package again) overwrites its own copy; the
    // uninstall's plain delete removes it.
    ASSERT_TRUE(CopyPackageFiles("pkgtest\\files\\", "pkgtest\\target\\", list_));
    EXPECT_TRUE(DeleteFileA("pkgtest\\target\\a.txt"));
    EXPECT_EQ(0, GetInstallError());
}
