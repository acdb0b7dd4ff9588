#include "schedule/schedule_inputs.h"

#include "common/decimal.h"
#include "common/merlow_service.h"
#include "common/unique_handle.h"
#include "schedule/program_path.h"
#include "schedule/schedule_file.h"

#include <windows.h>

#include <cstring>

namespace {

constexpr char kIniFile[] = "merlowsp.ini";

int ProgramDirectoryFile(char* output, const char* name)
{
    char module[kPathSize];
    const DWORD length = GetModuleFileNameA(nullptr, module, sizeof module);
    if (length == 0) {
        std::memcpy(output, name, std::strlen(name) + 1);
        return 1;
    }
    // A path cut at the buffer's end (XP leaves it without its NUL) names
    // some other folder.
    if (length >= sizeof module) {
        output[0] = '\0';
        return 0;
    }
    return ProgramFilePath(output, kPathSize, module, name);
}

}  // namespace

int ScheduleFilePath(char* output)
{
    return ProgramDirectoryFile(output, kScheduleFile);
}

int ReadUpsParameters(UpsParameters* parameters)
{
    HKEY raw = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kManagerParametersKey, 0, KEY_READ, &raw) != ERROR_SUCCESS)
        return 0;
    unique_hkey key(raw);

    DWORD size = sizeof parameters->upsDevice - 1;
    const bool device = RegQueryValueExA(key.get(), kUpsDeviceValue, nullptr, nullptr,
                                         reinterpret_cast<BYTE*>(parameters->upsDevice),
                                         &size) == ERROR_SUCCESS;
    parameters->upsDevice[device ? size : 0] = '\0';

    // The bytes need not end in a NUL, whatever their type says.
    char delay[256];
    size = sizeof delay - 1;
    const bool delayRead = RegQueryValueExA(key.get(), kUpsDownDelayValue, nullptr, nullptr,
                                            reinterpret_cast<BYTE*>(delay), &size) == ERROR_SUCCESS;
    if (delayRead) {
        delay[size] = '\0';
        parameters->upsDownDelay = ParseDecimal(delay);
    }
    return device && delayRead ? 1 : 0;
}

int ReadRestoreTimeCorrection(std::int32_t* value)
{
    *value = 0;
    char path[kPathSize];
    if (ProgramDirectoryFile(path, kIniFile))
        *value = static_cast<std::int32_t>(
            GetPrivateProfileIntA("MERLOW", "RestoreTimeCorrection ", 0, path));
    return 1;
}
