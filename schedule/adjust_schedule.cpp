#include "schedule/adjust_schedule.h"

#include "common/file_commit.h"
#include "schedule/schedule_table.h"

namespace {

// How often the file is read again when it changed before its rewrite.
constexpr int kTries = 3;

}  // namespace

int AdjustScheduleFile(const char* path, std::int64_t now, std::int32_t correction,
                       ScheduleAddedReporter reportScheduleAdded,
                       ScheduleNotSavedReporter reportNotSaved)
{
    // The file's times are 32-bit: a clock past 2038 (or before 1970)
    // would be compared and written wrapped round.
    if (now < 0 || now > INT32_MAX)
        return 0;
    bool reported = false;
    for (int attempt = 0; attempt < kTries; ++attempt) {
        ScheduleTable table;
        // A table loaded only in part would lose the rest in the rewrite.
        if (table.Load(path) != 1)
            break;
        if (table.FindRestoreBasis(static_cast<std::int32_t>(now), correction) != 1)
            break;
        if (!reported)
            reportScheduleAdded();
        reported = true;
        // -1: somebody wrote to the file since it was read; correct what
        // is there now rather than replace it.
        const int saved = table.Save(path);
        if (saved == 0)
            reportNotSaved(path, LastSystemError());
        if (saved != -1)
            break;
    }
    return reported ? 1 : 0;
}
