#pragma once

#include <cstdint>

// One line of upstrm.dat in memory. Fields 1 to 17 are numbers, 18 is the
// action text and 19 the start time; the last four members never reach
// the file. The UPS manager service gives most fields their meaning; this
// program only carries them.
struct ScheduleRecord {
    std::int32_t madeTime;       // 1
    std::int32_t madeTm[9];      // 2-10: struct tm order, seconds first
    std::int32_t serial1;        // 11
    std::int32_t serial2;        // 12
    std::int32_t kindFlags;      // 13
    std::int32_t state;          // 14: 1 open, 19 done
    std::int32_t number15;       // 15
    std::int32_t number16;       // 16
    std::int32_t number17;       // 17
    char action[128];            // 18: at most 127 characters
    std::int32_t nextIndex;      // following record in file order, 0 for none
    std::int32_t present;
    std::int32_t startTime;      // 19
    std::int32_t minutes;        // window length of a 107 entry
    // Field 19 as localtime gives stampTime back: the runtime's own
    // normalisation of the text it was read from. Spares a localtime call
    // a line when the record is written back unchanged; empty for none.
    char stamp[20];
    std::int32_t stampTime;
    // Field 19 as the file had it, when the runtime gives no timestamp
    // for it (not one, or outside 1970 to 2038): 1 + where the text starts
    // among the table's kept texts, 0 for none. Such a field is written
    // back as it came.
    std::int32_t keptStamp;
};

inline constexpr int kActionMax = 127;
