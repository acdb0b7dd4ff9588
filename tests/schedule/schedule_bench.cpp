// Benchmark of the schedule correction, not a test: builds a schedule of
// N records, runs the whole adjustment on it and a plain read and write of
// the same file, and prints both times, their ratio and the peak memory.
//   schedule_bench N [repeats]
#include "schedule/adjust_schedule.h"
#include "schedule/schedule_file.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#ifdef _WIN32
#include <windows.h>
#include <psapi.h>
#else
#include <sys/resource.h>
#endif

namespace {

const char kPath[] = "schedule_bench.dat";
const char kCopy[] = "schedule_bench.copy";

double PeakMegabytes()
{
#ifdef _WIN32
    PROCESS_MEMORY_COUNTERS counters = {};
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PeakWorkingSetSize / 1048576.0;
#else
    rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
#endif
}

// Entries ten minutes apart around now, half of them short 107 windows of
// every kind and state, with one running kind-8 entry in the middle and no
// kind-1 entry after it: the adjustment then makes its full pass, one
// overlap pass and a rewrite with the new entry in the middle of the file.
long WriteSchedule(int records, std::int32_t now)
{
    FILE* file = std::fopen(kPath, "w");
    if (file == nullptr)
        return -1;
    const std::int32_t first = now - (records / 2) * 600 + 30;
    for (int n = 0; n < records; ++n) {
        const std::int32_t start = first + n * 600;
        const bool running = n == records / 2 - 1;
        const int past[] = {1, 4, 8, 33, 2};
        const int later[] = {4, 8, 2, 16, 12};
        const int* kinds = n < records / 2 - 1 ? past : later;
        char timestamp[kTimestampSize];
        std::fprintf(file, "%d;0;0;12;6;2;102;3;64;0;%d;%d;%d;%d;%d;300;1;%s;%s\n", start - 86400,
                     n, n, running ? 8 : kinds[n % 5], n % 3 == 0 ? 19 : 1, start,
                     running ? "107,120" : n % 2 ? "107,5" : "205,1,0",
                     FormatTimestamp(timestamp, sizeof timestamp, start));
    }
    const long size = std::ftell(file);
    std::fclose(file);
    return size;
}

// What any program that rewrites the file line by line must do.
void PlainReadAndWrite()
{
    FILE* in = std::fopen(kPath, "r");
    FILE* out = std::fopen(kCopy, "w");
    if (in != nullptr && out != nullptr) {
        char line[kScheduleLineSize];
        while (std::fgets(line, sizeof line, in) != nullptr)
            std::fputs(line, out);
    }
    if (in != nullptr)
        std::fclose(in);
    if (out != nullptr)
        std::fclose(out);
}

int reports = 0;

void CountReport()
{
    ++reports;
}

void IgnoreNotSaved(const char*, unsigned long)
{
}

template <typename Work>
double BestSeconds(int repeats, std::int32_t now, int records, Work work)
{
    double best = 1e30;
    for (int r = 0; r < repeats; ++r) {
        WriteSchedule(records, now);
        const auto started = std::chrono::steady_clock::now();
        work();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
        if (took.count() < best)
            best = took.count();
    }
    return best;
}

}  // namespace

int main(int argc, char** argv)
{
#ifdef _WIN32
    // Windows sets no TZ; Wine passes the Unix one on, in a form the
    // runtime misreads. Without it the runtime takes the system's zone.
    _putenv("TZ=");
    _tzset();
#endif
    const int records = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int repeats = argc > 2 ? std::atoi(argv[2]) : 5;
    const std::int32_t now = static_cast<std::int32_t>(std::time(nullptr));
    const long bytes = WriteSchedule(records, now);
    const double memoryBefore = PeakMegabytes();

    const double plain = BestSeconds(repeats, now, records, PlainReadAndWrite);
    const double adjust = BestSeconds(repeats, now, records, [now] {
        AdjustScheduleFile(kPath, now, 180, CountReport, IgnoreNotSaved);
    });
    const double memoryAfter = PeakMegabytes();

    std::printf("%7d records, %6.2f MB: adjustment %8.4f s, plain read+write %8.4f s, "
                "ratio %.2f, peak memory %.1f MB (+%.1f MB), %d entries added\n",
                records, bytes / 1048576.0, adjust, plain, adjust / plain, memoryAfter,
                memoryAfter - memoryBefore, reports);
    std::remove(kPath);
    std::remove(kCopy);
    return reports == repeats ? 0 : 1;
}
