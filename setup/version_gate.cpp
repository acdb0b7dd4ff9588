#include "setup/version_gate.h"

#include "common/unique_handle.h"
#include "setup/message_box.h"
#include "setup/messages.h"
#include "setup/outcome.h"
#include "setup/upgrade.h"

bool ReadFixedFileInfo(const char* path, FixedFileInfo* out)
{
    // As a data file: only its resources are wanted, so none of its imports
    // is loaded and none of its code can run in the installer.
    unique_module module(LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!module)
        return false;
    HRSRC found = FindResourceA(module.get(), MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(16));
    if (found == nullptr)
        return false;
    const DWORD size = SizeofResource(module.get(), found);
    HGLOBAL loaded = LoadResource(module.get(), found);
    const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
    return data != nullptr &&
           FindFixedFileInfo(static_cast<const unsigned char*>(data), size, out);
}

bool IsManagerVersionBelow(const char* path, std::uint32_t limit)
{
    FixedFileInfo info;
    return ReadFixedFileInfo(path, &info) && info.fileVersionMS < limit;
}

int CompareVersions(const char* installedPath, const char* newPath, int selector)
{
    FixedFileInfo installed;
    FixedFileInfo offered;
    if (!ReadFixedFileInfo(installedPath, &installed) || !ReadFixedFileInfo(newPath, &offered))
        return -2;
    if (selector == kProductVersionPair)
        return CompareVersionPair(installed.productVersionMS, installed.productVersionLS,
                                  offered.productVersionMS, offered.productVersionLS);
    if (selector == kFileVersionPair)
        return CompareVersionPair(installed.fileVersionMS, installed.fileVersionLS,
                                  offered.fileVersionMS, offered.fileVersionLS);
    return -2;
}

bool CheckVersions(const char* managerProgram, const char* installedCompanion,
                   const char* newCompanion)
{
    if (!IsManagerVersionBelow(managerProgram, kManagerVersionLimit)) {
        ShowSetupMessage(kMessageNotNeeded, MB_ICONINFORMATION, kExitNotNeeded);
        return false;
    }
    switch (CompareVersions(installedCompanion, newCompanion, kProductVersionPair)) {
    case 0:
        ShowSetupMessage(kMessageSameVersion, MB_ICONINFORMATION, kExitSameVersion);
        return false;
    case 1:
        ShowSetupMessage(kMessageNewerVersion, MB_ICONINFORMATION, kExitNewerVersion);
        return false;
    case -1:
        RemovePreviousCompanion();
        RestoreManagerAutoStart();
        return true;
    default:  // nothing readable installed: a first installation
        return true;
    }
}
