#include "schedule/adjust_schedule.h"

#include "schedule/schedule_table.h"

int AdjustScheduleFile(const char* path, std::int32_t now, std::int32_t correction,
                       ScheduleAddedReporter reportScheduleAdded)
{
    ScheduleTable table;
    // A table loaded only in part would lose the rest in the rewrite.
    if (table.Load(path) != 1)
        return 0;
    if (table.FindRestoreBasis(now, correction) != 1)
        return 0;
    reportScheduleAdded();
    table.Save(path);
    return 1;
}
