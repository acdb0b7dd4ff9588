#include "common/program_directory.h"

#include "common/path_split.h"

#include <windows.h>

int GetProgramDirectory(char* destination)
{
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    // A path cut at the buffer's end is no path.
    if (length == 0 || length >= sizeof path || DriveAndDirectory(path, destination, MAX_PATH) != 0)
        destination[0] = '\0';
    return 1;
}
