#pragma once

#include <cstdint>

// The restore-time correction of the schedule file, once per start of the
// companion service: inside the window of an open 107 entry it adds a
// shorter one that starts now, reports MSG_SCHEDULE_ADDED and rewrites
// upstrm.dat. Whatever happens, the caller goes on.
void AdjustSchedule();

// What AdjustSchedule does, given its inputs: the schedule file's path,
// the current time and the correction in seconds. reportScheduleAdded is
// called once an entry is made, before the file is rewritten. 1 when an
// entry was made (the rewrite may still have failed), else 0; the file is
// then untouched.
int AdjustScheduleFile(const char* path, std::int32_t now, std::int32_t correction,
                       void (*reportScheduleAdded)());
