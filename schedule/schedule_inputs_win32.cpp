#include "schedule/schedule_inputs.h"

#include "common/decimal.h"
#include "common/merlow_service.h"
#include "common/program_directory.h"
#include "common/unique_handle.h"

#include <windows.h>

namespace {

constexpr char kIniFile[] = "merlowsp.ini";

}  // namespace

int ScheduleFilePath(char* output)
{
    return GetProgramFilePath(kScheduleFileName, output);
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
    char path[MAX_PATH];
    if (GetProgramFilePath(kIniFile, path))
        *value = static_cast<std::int32_t>(
            GetPrivateProfileIntA("MERLOW", "RestoreTimeCorrection ", 0, path));
    return 1;
}
