#pragma once

#include "schedule/schedule_record.h"

#include <cstring>

// Whether two records agree in what a line of upstrm.dat carries: every
// field but the in-memory ones.
inline bool SameFields(const ScheduleRecord& a, const ScheduleRecord& b)
{
    return a.madeTime == b.madeTime && std::memcmp(a.madeTm, b.madeTm, sizeof a.madeTm) == 0 &&
           a.serial1 == b.serial1 && a.serial2 == b.serial2 && a.kindFlags == b.kindFlags &&
           a.state == b.state && a.number15 == b.number15 && a.number16 == b.number16 &&
           a.number17 == b.number17 && std::strcmp(a.action, b.action) == 0 &&
           a.startTime == b.startTime;
}
