#include "common/dll_search.h"

#include "common/unique_handle.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

// A copy of this test program under a DLL name that no system DLL has, in
// its own folder, the first place a bare name used to be looked for.
// (Wine loads its builtin version of a real system DLL name wherever a
// copy lies, so such a name shows nothing there.)
std::string PlantBesideMe(const char* name)
{
    char self[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, self, sizeof self);
    EXPECT_TRUE(length != 0 && length < sizeof self);
    std::string planted(self);
    planted.erase(planted.find_last_of('\\') + 1);
    planted += name;
    EXPECT_TRUE(CopyFileA(self, planted.c_str(), FALSE)) << GetLastError();
    return planted;
}

}  // namespace

TEST(RestrictDllSearch, ADllBesideTheProgramIsNoLongerFoundByName)
{
    const std::string before = PlantBesideMe("mlwplant1.dll");
    const std::string after = PlantBesideMe("mlwplant2.dll");
    // The plant loads while the search is unrestricted: the test can fail.
    EXPECT_TRUE(unique_module(LoadLibraryA("mlwplant1.dll")));
    RestrictDllSearch();
    EXPECT_FALSE(unique_module(LoadLibraryA("mlwplant2.dll")));
    // System DLLs still load by name.
    EXPECT_TRUE(unique_module(LoadLibraryA("version.dll")));
    DeleteFileA(before.c_str());
    DeleteFileA(after.c_str());
}
