#include "schedule/schedule_file.h"

#include <cstring>
#include <ctime>

namespace {

// The runtime's scanner is slow (microseconds a call under the Windows
// runtime) and the file has one timestamp a line, so the scan and the
// formatting are done here, exactly as "%2d.%2d.%4d_%2d:%2d:%2d", "%d"
// and "%02d" do them.

bool IsBlank(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// One "%<width>d": blanks skipped, then a sign and digits within width
// characters. false when no digit came, which ends the scan.
bool ScanNumber(const char*& at, int width, int* value)
{
    const char* p = at;
    while (IsBlank(*p))
        ++p;
    int used = 0;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p++ == '-';
        ++used;
    }
    int number = 0;
    int digits = 0;
    for (; used < width && *p >= '0' && *p <= '9'; ++p, ++used, ++digits)
        number = number * 10 + (*p - '0');
    if (digits == 0)
        return false;
    *value = negative ? -number : number;
    at = p;
    return true;
}

// printf's "%0<width>d".
char* PutNumber(char* out, std::int32_t value, int width = 1)
{
    std::uint32_t magnitude = static_cast<std::uint32_t>(value);
    if (value < 0) {
        *out++ = '-';
        magnitude = 0u - magnitude;
        --width;
    }
    char digits[10];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    for (; width > n; --width)
        *out++ = '0';
    while (n > 0)
        *out++ = digits[--n];
    return out;
}

// "dd.mm.yyyy_hh:mm:ss" of a broken-down local time.
void PutTimestamp(char* out, const std::tm& local)
{
    out = PutNumber(out, local.tm_mday, 2);
    *out++ = '.';
    out = PutNumber(out, local.tm_mon + 1, 2);
    *out++ = '.';
    out = PutNumber(out, local.tm_year + 1900, 4);
    *out++ = '_';
    out = PutNumber(out, local.tm_hour, 2);
    *out++ = ':';
    out = PutNumber(out, local.tm_min, 2);
    *out++ = ':';
    out = PutNumber(out, local.tm_sec, 2);
    *out = '\0';
}

}  // namespace

std::int32_t ParseTimestamp(const char* text, char* stamp)
{
    stamp[0] = '\0';
    std::tm broken = {};
    int* const fields[] = {&broken.tm_mday, &broken.tm_mon, &broken.tm_year,
                           &broken.tm_hour, &broken.tm_min, &broken.tm_sec};
    const int widths[] = {2, 2, 4, 2, 2, 2};
    const char separators[] = ".._::";
    const char* at = text;
    for (int k = 0; k < 6; ++k) {
        if (!ScanNumber(at, widths[k], fields[k]) || (k < 5 && *at++ != separators[k]))
            break;
    }
    broken.tm_year -= 1900;
    broken.tm_mon -= 1;
    broken.tm_isdst = -1;
    const std::time_t value = std::mktime(&broken);
    // A 64-bit time_t (the host's) can hold what the 32-bit file cannot.
    if (value == static_cast<std::time_t>(-1) || value < INT32_MIN || value > INT32_MAX)
        return -1;
    // mktime leaves the fields as the local time of its result, so they
    // are what localtime gives. Before 1970 the Windows runtime's
    // localtime gives nothing, so those are left to it.
    if (value >= 0 && broken.tm_year >= -1900 && broken.tm_year <= 9999 - 1900)
        PutTimestamp(stamp, broken);
    return static_cast<std::int32_t>(value);
}

std::int32_t ParseTimestamp(const char* text)
{
    char stamp[kTimestampSize];
    return ParseTimestamp(text, stamp);
}

char* FormatTimestamp(char* output, std::size_t size, std::int32_t time)
{
    if (size == 0)
        return output;
    output[0] = '\0';
    const std::time_t value = time;
    const std::tm* local = std::localtime(&value);
    if (local != nullptr && size >= kTimestampSize)
        PutTimestamp(output, *local);
    return output;
}

bool LineReader::Fill()
{
    begin_ = 0;
    end_ = std::fread(block_, 1, sizeof block_, stream_);
    return end_ > 0;
}

bool LineReader::AtEnd()
{
    return begin_ == end_ && !Fill();
}

int LineReader::Read(char* buffer, int size)
{
    if (size <= 0)
        return 0;
    const std::size_t room = static_cast<std::size_t>(size) - 1;
    std::size_t taken = 0;
    while (taken < room && !AtEnd()) {
        std::size_t part = end_ - begin_;
        if (part > room - taken)
            part = room - taken;
        const char* start = block_ + begin_;
        const void* newline = std::memchr(start, '\n', part);
        if (newline != nullptr)
            part = static_cast<std::size_t>(static_cast<const char*>(newline) - start) + 1;
        std::memcpy(buffer + taken, start, part);
        taken += part;
        begin_ += part;
        if (newline != nullptr)
            break;
    }
    buffer[taken] = '\0';
    return static_cast<int>(taken);
}

int ReadScheduleLine(LineReader& reader, char* buffer, int size, int* length)
{
    const int read = reader.Read(buffer, size);
    *length = read;
    if (read < 2 || std::strlen(buffer) != static_cast<std::size_t>(read))
        return 0;
    if (buffer[read - 1] == '\n') {
        buffer[read - 1] = '\0';
        return 1;
    }
    // The buffer is full and no newline came: unless the file ends here,
    // this is only the start of a longer line.
    return read < size - 1 || reader.AtEnd() ? 1 : 0;
}

const char* NextField(const char* text, char delimiter, char* output, std::size_t size)
{
    if (size == 0)
        return nullptr;
    std::size_t n = 0;
    for (; text[n] != delimiter && text[n] != '\0'; ++n) {
        if (n + 1 >= size) {
            output[n] = '\0';
            return nullptr;
        }
        output[n] = text[n];
    }
    output[n] = '\0';
    return text + n;
}

void FormatScheduleLine(char (&output)[kScheduleLineSize], const ScheduleRecord& record,
                        std::int32_t time, const char* field19)
{
    const std::int32_t numbers[] = {
        record.madeTime,  record.madeTm[0], record.madeTm[1], record.madeTm[2], record.madeTm[3],
        record.madeTm[4], record.madeTm[5], record.madeTm[6], record.madeTm[7], record.madeTm[8],
        record.serial1,   record.serial2,   record.kindFlags, record.state,     record.number15,
        record.number16,  record.number17,
    };
    // 17 numbers of up to 11 characters, an action of up to 127 and a
    // timestamp or a kept field 19 stay below the 1024 of the buffer.
    char* out = output;
    for (std::int32_t number : numbers) {
        out = PutNumber(out, number);
        *out++ = ';';
    }
    const void* end = std::memchr(record.action, '\0', kActionMax);
    const std::size_t action =
        end != nullptr ? static_cast<std::size_t>(static_cast<const char*>(end) - record.action)
                       : static_cast<std::size_t>(kActionMax);
    std::memcpy(out, record.action, action);
    out += action;
    *out++ = ';';
    if (field19 != nullptr) {
        const void* kept = std::memchr(field19, '\0', kKeptStampMax + 1);
        const std::size_t length = kept != nullptr ? static_cast<std::size_t>(
                                                         static_cast<const char*>(kept) - field19)
                                                   : kKeptStampMax;
        std::memcpy(out, field19, length);
        out[length] = '\0';
    } else if (record.stamp[0] != '\0' && record.stampTime == time)
        std::memcpy(out, record.stamp, sizeof record.stamp);
    else
        FormatTimestamp(out, kTimestampSize, time);
    out += std::strlen(out);
    *out++ = '\n';
    *out = '\0';
}
