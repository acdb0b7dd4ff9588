#include "common/system_folder.h"

#include "common/system_command.h"

#include <windows.h>

int GetSystemFolder(char* folder, std::size_t size)
{
    if (size == 0)
        return 0;
    folder[0] = '\0';
    char directory[MAX_PATH];
    const UINT length = GetSystemDirectoryA(directory, sizeof directory);
    // 0 is a failure; a length of the buffer or more is the size it needs.
    if (length == 0 || length >= sizeof directory)
        return 0;
    return SystemFolderPath(directory, folder, size);
}
