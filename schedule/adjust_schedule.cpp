#include "schedule/adjust_schedule.h"

#include "common/file_commit.h"
#include "schedule/schedule_table.h"

int AdjustScheduleFile(const char* path, std::int32_t now, std::int32_t correction,
                       ScheduleAddedReporter reportScheduleAdded,
                       ScheduleNotSavedReporter reportNotSaved)
{
    ScheduleTable table;
    // A table loaded only in part would lose the rest in the rewrite.
    if (table.Load(path) != 1)
        return 0;
    if (table.FindRestoreBasis(now, correction) != 1)
        return 0;
    reportScheduleAdded();
    if (!table.Save(path)) {
        const unsigned long error = LastSystemError();
        reportNotSaved(path, error);
    }
    return 1;
}
