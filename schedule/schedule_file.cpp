#include "schedule/schedule_file.h"

#include <cstring>
#include <ctime>

std::int32_t ParseTimestamp(const char* text)
{
    std::tm broken = {};
    std::sscanf(text, "%2d.%2d.%4d_%2d:%2d:%2d", &broken.tm_mday, &broken.tm_mon,
                &broken.tm_year, &broken.tm_hour, &broken.tm_min, &broken.tm_sec);
    broken.tm_year -= 1900;
    broken.tm_mon -= 1;
    broken.tm_isdst = -1;
    const std::time_t value = std::mktime(&broken);
    // A 64-bit time_t (the host's) can hold what the 32-bit file cannot.
    if (value == static_cast<std::time_t>(-1) || value < INT32_MIN || value > INT32_MAX)
        return -1;
    return static_cast<std::int32_t>(value);
}

char* FormatTimestamp(char* output, std::size_t size, std::int32_t time)
{
    if (size == 0)
        return output;
    output[0] = '\0';
    const std::time_t value = time;
    const std::tm* local = std::localtime(&value);
    if (local != nullptr)
        std::snprintf(output, size, "%02d.%02d.%04d_%02d:%02d:%02d", local->tm_mday,
                      local->tm_mon + 1, local->tm_year + 1900, local->tm_hour, local->tm_min,
                      local->tm_sec);
    return output;
}

int ReadScheduleLine(std::FILE* stream, char* buffer, int size, int* length)
{
    *length = 0;
    if (size < 2)
        return 0;
    // fgets does not say how much it read, and a NUL byte in the file
    // would hide the rest of the line from strlen. With the buffer filled
    // beforehand, the last NUL in it is the one fgets put after the text.
    std::memset(buffer, '\x01', static_cast<std::size_t>(size));
    if (std::fgets(buffer, size, stream) == nullptr) {
        buffer[0] = '\0';
        return 0;
    }
    int read = size - 1;
    while (buffer[read] != '\0')
        --read;
    *length = read;
    if (std::strlen(buffer) != static_cast<std::size_t>(read) || read < 2)
        return 0;
    if (buffer[read - 1] == '\n') {
        buffer[read - 1] = '\0';
        return 1;
    }
    if (read == size - 1) {
        // The buffer is full and no newline came: unless the file ends
        // here, this is only the start of a longer line.
        const int next = std::getc(stream);
        if (next != EOF) {
            std::ungetc(next, stream);
            return 0;
        }
    }
    return 1;
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
                        std::int32_t time)
{
    char timestamp[kTimestampSize];
    FormatTimestamp(timestamp, sizeof timestamp, time);
    const std::int32_t* tm = record.madeTm;
    std::snprintf(output, sizeof output,
                  "%d;%d;%d;%d;%d;%d;%d;%d;%d;%d;%d;%d;%d;%d;%d;%d;%d;%s;%s\n",
                  record.madeTime, tm[0], tm[1], tm[2], tm[3], tm[4], tm[5], tm[6], tm[7], tm[8],
                  record.serial1, record.serial2, record.kindFlags, record.state, record.number15,
                  record.number16, record.number17, record.action, timestamp);
}
