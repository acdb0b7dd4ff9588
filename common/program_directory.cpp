#include "common/program_directory.h"

#include "common/path_split.h"
#include "common/program_path.h"

#include <windows.h>

namespace {

// A path cut at the buffer's end (XP leaves it without its NUL) names
// some other folder.
bool GetModulePath(char (&path)[MAX_PATH])
{
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    return length != 0 && length < sizeof path;
}

}  // namespace

int GetProgramDirectory(char* destination)
{
    char path[MAX_PATH] = {};
    if (!GetModulePath(path) || DriveAndDirectory(path, destination, MAX_PATH) != 0) {
        destination[0] = '\0';
        return 0;
    }
    return 1;
}

int GetProgramFilePath(const char* fileName, char* destination)
{
    char path[MAX_PATH] = {};
    if (!GetModulePath(path)) {
        destination[0] = '\0';
        return 0;
    }
    return ProgramFilePath(destination, MAX_PATH, path, fileName);
}
