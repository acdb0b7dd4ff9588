#include "setup/manager_folder.h"

#include "common/path_split.h"
#include "setup/folders.h"
#include "setup/install_error.h"
#include "setup/registry_string.h"
#include "supervision/merlow_service.h"

bool GetManagerFolder(char* destination)
{
    char imagePath[259];
    if (!ReadRegistryString(HKEY_LOCAL_MACHINE, kManagerServiceKey, kManagerImagePathValue,
                            imagePath, sizeof imagePath) ||
        DriveAndDirectory(imagePath, destination, kPathBuffer) != 0) {
        destination[0] = '\0';
        SetInstallError(kErrorImagePath);
        return false;
    }
    return true;
}
