#include "common/dll_search.h"

#include <windows.h>

void RestrictDllSearch()
{
    // Looked up, not imported: Windows 7 without KB2533623 lacks it, and a
    // missing import would stop the program from loading at all.
    using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
    const HMODULE kernel = GetModuleHandleA("kernel32.dll");
    const auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
        reinterpret_cast<void (*)()>(kernel != nullptr
                                         ? GetProcAddress(kernel, "SetDefaultDllDirectories")
                                         : nullptr));
    if (setDefault != nullptr && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32))
        return;
    // Without it: at least the current directory leaves the search.
    SetDllDirectoryA("");
}
