#include "schedule/schedule_inputs.h"

#include "common/decimal.h"
#include "common/merlow_service.h"
#include "common/program_directory.h"
#include "common/registry_string.h"
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
    unique_hkey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kManagerParametersKey, 0, KEY_READ, key.put()) !=
        ERROR_SUCCESS)
        return 0;

    // Each value may take the bytes of its buffer but one as stored, so the
    // zero byte added after it always fits.
    const bool device =
        QueryRegistryString(key.get(), kUpsDeviceValue, parameters->upsDevice,
                            sizeof parameters->upsDevice, sizeof parameters->upsDevice - 1);
    char delay[256];
    const bool delayRead =
        QueryRegistryString(key.get(), kUpsDownDelayValue, delay, sizeof delay, sizeof delay - 1);
    if (delayRead)
        parameters->upsDownDelay = ParseDecimal(delay);
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
