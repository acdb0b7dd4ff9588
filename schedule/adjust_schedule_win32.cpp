#include "schedule/adjust_schedule.h"

#include "schedule/schedule_inputs.h"

#include <windows.h>

#include <ctime>

namespace {

// UpsDownDelay + RestoreTimeCorrection, held to 32 bits.
std::int32_t ReadCorrection()
{
    UpsParameters parameters = {};
    if (!ReadUpsParameters(&parameters))
        return 0;
    std::int32_t extra = 0;
    ReadRestoreTimeCorrection(&extra);
    const std::int64_t sum = static_cast<std::int64_t>(parameters.upsDownDelay) + extra;
    return sum > INT32_MAX ? INT32_MAX : sum < INT32_MIN ? INT32_MIN : static_cast<std::int32_t>(sum);
}

}  // namespace

void AdjustSchedule(ScheduleAddedReporter reportScheduleAdded,
                    ScheduleNotSavedReporter reportNotSaved)
{
    char path[MAX_PATH];
    if (!ScheduleFilePath(path))
        return;
    AdjustScheduleFile(path, static_cast<std::int64_t>(std::time(nullptr)), ReadCorrection(),
                       reportScheduleAdded, reportNotSaved);
}
