#include "setup/manager_folder.h"

#include "common/merlow_service.h"
#include "common/path_split.h"
#include "common/registry_string.h"
#include "setup/folders.h"
#include "setup/image_path.h"
#include "setup/install_error.h"

#include <cstring>

namespace {

// A REG_EXPAND_SZ ImagePath ("%ProgramFiles%\...") is expanded as the SCM
// expands it; an expansion that would not fit a path counts as unreadable.
bool ExpandImagePath(const char* value, DWORD type, char* destination)
{
    const std::size_t length = std::strlen(value);
    if (length >= MAX_PATH)
        return false;
    std::memcpy(destination, value, length + 1);
    if (type != REG_EXPAND_SZ)
        return true;
    char text[MAX_PATH];
    std::memcpy(text, value, length + 1);
    // Only 64-bit Windows defines ProgramW6432; there the SCM, a native
    // process, sees %ProgramFiles% as that folder, and this 32-bit one
    // would see the "(x86)" folder.
    if (GetEnvironmentVariableA("ProgramW6432", nullptr, 0) != 0)
        UseNativeProgramFiles(text);
    // The ANSI function may need one byte beyond the expanded text.
    const DWORD limit = MAX_PATH - 1;
    const DWORD needed = ExpandEnvironmentStringsA(text, destination, limit);
    return needed != 0 && needed <= limit;
}

}  // namespace

bool GetManagerFolder(char* destination)
{
    // The 259-byte limit is on the value as stored; quotes and variables
    // are dealt with after it is read.
    char imagePath[259];
    DWORD type = REG_NONE;
    char expanded[MAX_PATH];
    char program[MAX_PATH];
    if (!ReadRegistryString(HKEY_LOCAL_MACHINE, kManagerServiceKey, kManagerImagePathValue,
                            imagePath, sizeof imagePath, &type) ||
        !ExpandImagePath(imagePath, type, expanded) ||
        ImagePathProgram(expanded, program, sizeof program) != 0 ||
        DriveAndDirectory(program, destination, kPathBuffer) != 0) {
        destination[0] = '\0';
        SetInstallError(kErrorImagePath);
        return false;
    }
    return true;
}
