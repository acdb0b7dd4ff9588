#include "setup/folders.h"

#include "common/path_split.h"

#include <cstdio>
#include <cstring>

int JoinPath(char* destination, const char* folder, const char* name)
{
    const int length = std::snprintf(destination, kPathBuffer, "%s%s", folder, name);
    if (length < 0 || static_cast<std::size_t>(length) >= kPathBuffer) {
        destination[0] = '\0';
        return -1;
    }
    return 0;
}

int CompanionPath(char* destination, const char* folder)
{
    const int length =
        std::snprintf(destination, kPathBuffer, "%s%s.exe", folder, kCompanionBaseName);
    if (length < 0 || static_cast<std::size_t>(length) >= kPathBuffer) {
        destination[0] = '\0';
        return -1;
    }
    return 0;
}

int ProductFolderOf(const char* managerFolder, char* destination, std::size_t destinationSize)
{
    char folder[kPathBuffer];
    const std::size_t length = std::strlen(managerFolder);
    if (length >= sizeof folder) {
        if (destinationSize > 0)
            destination[0] = '\0';
        return -1;
    }
    std::memcpy(folder, managerFolder, length + 1);
    // The last byte can be the trail byte of a double-byte character
    // (ソ is 83 5C); only a backslash that is a character of its own goes.
    // The test splits into a buffer of the folder's own size: a destination
    // that holds only the shorter result must not keep the backslash.
    char whole[kPathBuffer];
    if (length > 0 && folder[length - 1] == '\\' &&
        DriveAndDirectory(folder, whole, sizeof whole) == 0 && std::strlen(whole) == length)
        folder[length - 1] = '\0';
    return DriveAndDirectory(folder, destination, destinationSize);
}
