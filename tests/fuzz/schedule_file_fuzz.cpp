// A whole upstrm.dat through load, the restore-time correction and save:
// a file left alone keeps its bytes; a rewritten one loads back to the
// records it was saved from, the new entry before the first later one,
// with the lines no record took in kept after them; and saving what was
// loaded from it gives its bytes again.
//
// Input: flags (bit 0: zone UTC rather than JST; bit 1: "now" inside the
// window of a record rather than raw), a 32-bit time or offset, the
// correction (UPS down delay and restore-time correction together), the
// record to aim at, then the file's bytes.

#include "fuzz_support.h"
#include "schedule_fields.h"
#include "schedule/adjust_schedule.h"
#include "schedule/schedule_table.h"

#include <ctime>

namespace {

int reports = 0;

void CountReport()
{
    ++reports;
}

void IgnoreNotSaved(const char*, unsigned long)
{
}

std::vector<ScheduleRecord> InFileOrder(ScheduleTable& table)
{
    std::vector<ScheduleRecord> records;
    for (const ScheduleRecord* record = table.First(); record != nullptr;) {
        records.push_back(*record);
        FUZZ_CHECK(records.size() <= static_cast<std::size_t>(table.count));
        const std::int32_t next = record->nextIndex;
        record = next > 0 ? &table.records[next] : nullptr;
    }
    FUZZ_CHECK(records.size() == static_cast<std::size_t>(table.count));
    return records;
}

// The offset after the first n lines of bytes, or its end.
std::size_t AfterLines(const std::string& bytes, std::size_t n)
{
    std::size_t at = 0;
    for (; n > 0 && at < bytes.size(); --n) {
        const std::size_t newline = bytes.find('\n', at);
        at = newline == std::string::npos ? bytes.size() : newline + 1;
    }
    return at;
}

std::int32_t Clamp(std::int64_t value)
{
    return value > INT32_MAX   ? INT32_MAX
           : value < INT32_MIN ? INT32_MIN
                               : static_cast<std::int32_t>(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    const std::uint8_t flags = input.Byte();
    const std::int32_t raw = input.Int32();
    const std::int32_t correction = input.Int32();
    const std::uint8_t aim = input.Byte();
    const std::string original = input.Rest();

    setenv("TZ", flags & 1 ? "UTC0" : "JST-9", 1);
    tzset();
    static const std::string file = ScratchPath("upstrm.dat");
    const char* path = file.c_str();
    WriteFileBytes(path, original);

    if (original.find('\x1A') != std::string::npos) {
        // Text mode would end the file there: it is neither loaded nor
        // rewritten, and keeps every byte.
        ScheduleTable table;
        FUZZ_CHECK(table.Load(path) == 0);
        FUZZ_CHECK(table.Save(path) == 0);
        FUZZ_CHECK(AdjustScheduleFile(path, raw, correction, CountReport, IgnoreNotSaved) == 0);
        FUZZ_CHECK(FileBytes(path) == original);
        return 0;
    }

    ScheduleTable before;
    FUZZ_CHECK(before.Load(path) == 1);
    std::int32_t now = raw;
    if ((flags & 2) != 0 && before.count > 0) {
        const ScheduleRecord& target = before.records[1 + aim % before.count];
        now = Clamp(static_cast<std::int64_t>(target.startTime) + 1 +
                    static_cast<std::uint32_t>(raw) % (1u << 20));
    }
    // A clock before 1970 corrects nothing.
    const int made = now >= 0 ? before.FindRestoreBasis(now, correction) : 0;

    reports = 0;
    FUZZ_CHECK(AdjustScheduleFile(path, now, correction, CountReport, IgnoreNotSaved) == made);
    FUZZ_CHECK(reports == made);
    if (made) {
        const ScheduleRecord& entry = before.pending;
        FUZZ_CHECK(entry.present == 1 && entry.startTime == now && entry.state == 1);
        FUZZ_CHECK(std::strncmp(entry.action, "107,", 4) == 0);
    } else {
        FUZZ_CHECK(FileBytes(path) == original);
        FUZZ_CHECK(before.Save(path) == 1);
    }
    const std::string saved = FileBytes(path);

    std::vector<ScheduleRecord> expected = InFileOrder(before);
    // A field 19 kept empty (a 20th field followed it) ends the line in
    // ";", which reads back as no field 19 at all: as an 18-field line, it
    // gets one at the next save.
    bool emptied = false;
    for (ScheduleRecord& record : expected) {
        const char* kept = before.KeptStamp(record);
        if (kept != nullptr && *kept == '\0') {
            record.startTime = 0;
            emptied = true;
        }
    }
    const std::size_t loadedRecords = expected.size();
    if (made) {
        std::size_t at = 0;
        while (at < expected.size() && expected[at].startTime <= now)
            ++at;
        expected.insert(expected.begin() + static_cast<std::ptrdiff_t>(at), before.pending);
    }
    ScheduleTable after;
    FUZZ_CHECK(after.Load(path) == 1);
    const std::vector<ScheduleRecord> got = InFileOrder(after);
    FUZZ_CHECK(got.size() == expected.size());
    for (std::size_t k = 0; k < got.size(); ++k)
        FUZZ_CHECK(SameFields(got[k], expected[k]));
    FUZZ_CHECK(saved.substr(AfterLines(saved, got.size())) ==
               original.substr(AfterLines(original, loadedRecords)));

    FUZZ_CHECK(after.Save(path) == 1);
    FUZZ_CHECK(emptied || FileBytes(path) == saved);
    return 0;
}
