#include "schedule/schedule_table.h"

#include "common/decimal.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <new>

// Times and lengths are 32-bit values; sums and products of them are
// taken in 64 bits, so that a hostile length cannot wrap a window round.

namespace {

constexpr std::int32_t kOpen = 1;
constexpr std::int32_t kDone = 19;
constexpr std::int32_t kKind1 = 1;
constexpr std::int32_t kKind4 = 4;
constexpr std::int32_t kKind8 = 8;
constexpr std::int32_t kAllKinds = -1;

std::int64_t WindowEnd(std::int32_t start, std::int32_t minutes)
{
    return static_cast<std::int64_t>(start) + static_cast<std::int64_t>(minutes) * 60;
}

int Match107(const ScheduleRecord& record, std::int32_t state, std::int32_t* minutes,
             std::int32_t mask)
{
    if (std::strncmp(record.action, "107", 3) != 0 || record.state != state ||
        (record.kindFlags & mask) == 0)
        return 0;
    // The length starts at the fifth character, whatever the fourth is.
    *minutes = std::strlen(record.action) > 4 ? ParseDecimal(record.action + 4) : 0;
    return 1;
}

}  // namespace

int ScheduleTable::MatchOpen107(std::int32_t index, std::int32_t* minutes, std::int32_t mask) const
{
    return index >= 1 && index <= count ? Match107(records[index], kOpen, minutes, mask) : 0;
}

int ScheduleTable::MatchDone107(std::int32_t index, std::int32_t* minutes, std::int32_t mask) const
{
    return index >= 1 && index <= count ? Match107(records[index], kDone, minutes, mask) : 0;
}

void ScheduleTable::MarkDone(std::int32_t number, const std::int32_t* indices)
{
    for (std::int32_t n = 0; n < number; ++n)
        records[indices[n]].state = kDone;
}

int ScheduleTable::IsClear(std::int32_t candidate, std::int32_t mask) const
{
    const std::int32_t start = records[candidate].startTime;
    const std::int64_t end = WindowEnd(start, records[candidate].minutes);
    for (std::int32_t i = 1; i <= count; ++i) {
        std::int32_t minutes = 0;
        if (!MatchOpen107(i, &minutes, mask) && !MatchDone107(i, &minutes, mask))
            continue;
        if (start < WindowEnd(records[i].startTime, minutes) && end > records[i].startTime)
            return 0;
    }
    return 1;
}

std::int32_t ScheduleTable::FirstClear(std::int32_t number, const std::int32_t* indices,
                                       std::int32_t mask) const
{
    for (std::int32_t n = 0; n < number; ++n) {
        if (IsClear(indices[n], mask))
            return indices[n];
    }
    return 0;
}

int ScheduleTable::FindRestoreBasis(std::int32_t now, std::int32_t correction)
{
    std::memset(&pending, 0, sizeof pending);
    if (count <= 0 || !records)
        return 0;
    std::unique_ptr<std::int32_t[]> kind1(new (std::nothrow) std::int32_t[count]);
    std::unique_ptr<std::int32_t[]> kind4(new (std::nothrow) std::int32_t[count]);
    std::unique_ptr<std::int32_t[]> kind8(new (std::nothrow) std::int32_t[count]);
    if (!kind1 || !kind4 || !kind8)
        return 0;
    std::int32_t n1 = 0;
    std::int32_t n4 = 0;
    std::int32_t n8 = 0;
    for (std::int32_t i = 1; i <= count; ++i) {
        std::int32_t minutes = 0;
        if (!MatchOpen107(i, &minutes, kAllKinds))
            continue;
        ScheduleRecord& record = records[i];
        record.minutes = minutes;
        if (!(record.startTime < now && now < WindowEnd(record.startTime, minutes)))
            continue;
        if (record.kindFlags & kKind1)
            kind1[n1++] = i;
        else if (record.kindFlags & kKind4)
            kind4[n4++] = i;
        else if (record.kindFlags & kKind8)
            kind8[n8++] = i;
    }

    std::int32_t basis = 0;
    if (n1 > 0) {
        MarkDone(n1, kind1.get());
        basis = kind1[0];
    } else if (n8 > 0) {
        basis = FirstClear(n8, kind8.get(), kKind1);
    } else if (n4 > 0) {
        basis = FirstClear(n4, kind4.get(), kKind1 | kKind8);
    }
    if (basis == 0)
        return 0;
    return MakeRestoreEntry(records[basis].startTime, records[basis].minutes, now, correction);
}

int ScheduleTable::MakeRestoreEntry(std::int32_t start, std::int32_t minutes, std::int32_t now,
                                    std::int32_t correction)
{
    pending = ScheduleRecord();
    pending.present = 1;
    pending.madeTime = now;
    const std::time_t value = now;
    if (const std::tm* local = std::localtime(&value)) {
        const int fields[] = {local->tm_sec,  local->tm_min,  local->tm_hour,
                              local->tm_mday, local->tm_mon,  local->tm_year,
                              local->tm_wday, local->tm_yday, local->tm_isdst};
        for (int k = 0; k < 9; ++k)
            pending.madeTm[k] = fields[k];
    }
    // The serial numbers count on past the largest unsigned value in the file.
    pending.serial1 = static_cast<std::int32_t>(maxSerial1 + 1u);
    pending.serial2 = static_cast<std::int32_t>(maxSerial2 + 1u);
    pending.kindFlags = 33;
    pending.state = kOpen;
    pending.number15 = now;
    pending.number16 = 300;
    pending.number17 = 1;

    // The new window ends where the old one does, less the correction
    // (up to 59 seconds later, as whole minutes are kept). A correction
    // that eats the rest of the window still leaves one minute; one that
    // leaves less than a minute leaves 0.
    const std::int64_t elapsed = static_cast<std::int64_t>(now) - start + correction;
    std::int64_t length = minutes - elapsed / 60;
    if (length < 0)
        length = 1;
    if (length > INT32_MAX)
        length = INT32_MAX;
    pending.minutes = static_cast<std::int32_t>(length);
    std::snprintf(pending.action, sizeof pending.action, "107,%d", pending.minutes);
    pending.startTime = now;
    return 1;
}
