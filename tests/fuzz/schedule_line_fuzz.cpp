// One line of upstrm.dat: what a record takes from it is written back as a
// line of 19 fields that a reader takes as one line and that gives the same
// record again, and writing that record again gives the same bytes.

#include "fuzz_support.h"
#include "schedule_fields.h"
#include "schedule/schedule_file.h"
#include "schedule/schedule_table.h"

#include <ctime>

namespace {

// The text between the 17th and 18th ";", whether a non-empty text
// follows the 18th, and the text up to the 19th.
void ActionAndStamp(const std::string& line, std::string* action, bool* stamped,
                    std::string* field19)
{
    std::size_t at = 0;
    for (int k = 0; k < 17 && at != std::string::npos; ++k) {
        at = line.find(';', at);
        if (at != std::string::npos)
            ++at;
    }
    *action = "";
    *stamped = false;
    *field19 = "";
    if (at == std::string::npos)
        return;
    const std::size_t end = line.find(';', at);
    *action = line.substr(at, end == std::string::npos ? std::string::npos : end - at);
    *stamped = end != std::string::npos && end + 1 < line.size();
    if (*stamped)
        *field19 = line.substr(end + 1, line.find(';', end + 1) - end - 1);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    setenv("TZ", "JST-9", 1);
    tzset();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // A line as the file reader hands it over: no newline, no NUL, at most
    // the characters of one read.
    std::string line(reinterpret_cast<const char*>(data), size);
    line = line.substr(0, line.find_first_of(std::string("\n\0", 2)));
    if (line.size() > kScheduleLineRead - 1)
        line.resize(kScheduleLineRead - 1);

    ScheduleTable table;
    ScheduleRecord record = {};
    const int parsed = table.ParseLine(line.c_str(), &record);
    std::string action;
    bool stamped = false;
    std::string field19;
    ActionAndStamp(line, &action, &stamped, &field19);
    if (parsed < 0) {
        FUZZ_CHECK(action.size() > kActionMax || field19.size() > kKeptStampMax);
        return 0;
    }
    // A field 19 without a timestamp is kept as it came.
    const char* kept = table.KeptStamp(record);
    FUZZ_CHECK((kept != nullptr) == (stamped && record.stamp[0] == '\0'));
    if (kept != nullptr)
        FUZZ_CHECK(field19 == kept);
    FUZZ_CHECK(parsed == (stamped ? 1 : 0));
    FUZZ_CHECK(action == record.action);

    // The remembered stamp is what the time gives.
    char stamp[kTimestampSize];
    if (record.stamp[0] != '\0')
        FUZZ_CHECK(std::strcmp(record.stamp,
                               FormatTimestamp(stamp, sizeof stamp, record.startTime)) == 0);

    char written[kScheduleLineSize];
    FormatScheduleLine(written, record, record.startTime, kept);
    const std::string text = written;
    FUZZ_CHECK(text.size() <= kScheduleLineRead - 1);
    FUZZ_CHECK(text.find('\n') == text.size() - 1);
    std::size_t separators = 0;
    for (char c : text)
        separators += c == ';';
    FUZZ_CHECK(separators == 18);

    ScheduleRecord again = {};
    // A field 19 kept empty ends the line, where it is no field.
    const bool emptied = kept != nullptr && *kept == '\0';
    FUZZ_CHECK(table.ParseLine(text.substr(0, text.size() - 1).c_str(), &again) == (emptied ? 0 : 1));
    if (emptied)
        record.startTime = 0;
    FUZZ_CHECK(SameFields(record, again));
    // Read back as an 18-field line, that one gets a field 19.
    char rewritten[kScheduleLineSize];
    FormatScheduleLine(rewritten, again, again.startTime, table.KeptStamp(again));
    FUZZ_CHECK(emptied || text == rewritten);
    return 0;
}
