#pragma once

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

// Files as the platform's text mode stores them: CR LF on Windows.
inline std::string TextLines(const std::vector<std::string>& lines)
{
#ifdef _WIN32
    const char* end = "\r\n";
#else
    const char* end = "\n";
#endif
    std::string bytes;
    for (const std::string& line : lines)
        bytes += line + end;
    return bytes;
}

inline void WriteBytes(const char* path, const std::string& bytes)
{
    FILE* file = std::fopen(path, "wb");
    if (file == nullptr)
        return;
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}

inline std::string ReadBytes(const char* path)
{
    std::string bytes;
    FILE* file = std::fopen(path, "rb");
    if (file == nullptr)
        return "<missing>";
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.append(buffer, got);
    std::fclose(file);
    return bytes;
}

// The runtime's local time zone, in the TZ form both runtimes read
// ("UTC0", "JST-9").
inline void UseTimeZone(const char* zone)
{
#ifdef _WIN32
    static char setting[64];
    std::snprintf(setting, sizeof setting, "TZ=%s", zone);
    _putenv(setting);
    _tzset();
#else
    setenv("TZ", zone, 1);
    tzset();
#endif
}
