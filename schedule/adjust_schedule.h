#pragma once

#include <cstdint>

// What the correction calls once it has made an entry, before the file is
// rewritten: the companion reports MSG_SCHEDULE_ADDED through it.
using ScheduleAddedReporter = void (*)();

// What the correction calls when the rewrite of the file failed (the file
// is then as it was), with its path and the system's error.
using ScheduleNotSavedReporter = void (*)(const char* path, unsigned long error);

// The restore-time correction of the schedule file, once per start of the
// companion service: inside the window of an open 107 entry it adds a
// shorter one that starts now, calls reportScheduleAdded and rewrites
// upstrm.dat, calling reportNotSaved when that fails. Whatever happens,
// the caller goes on.
void AdjustSchedule(ScheduleAddedReporter reportScheduleAdded,
                    ScheduleNotSavedReporter reportNotSaved);

// What AdjustSchedule does, given its inputs: the schedule file's path,
// the current time and the correction in seconds. reportScheduleAdded is
// called once an entry is made, before the file is rewritten, and
// reportNotSaved when the rewrite failed. When the file changes between
// its read and its rewrite, it is read and corrected again, up to three
// times in all, and otherwise left as it is. 1 when an entry was made (the
// rewrite may still have failed), else 0; the file is then untouched, as
// it is when now does not fit the file's 32-bit times.
int AdjustScheduleFile(const char* path, std::int64_t now, std::int32_t correction,
                       ScheduleAddedReporter reportScheduleAdded,
                       ScheduleNotSavedReporter reportNotSaved);
