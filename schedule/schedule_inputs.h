#pragma once

#include <cstdint>

// What the schedule adjustment reads from Windows: the program directory's
// files, the UPS manager service's parameters and merlowsp.ini.

struct UpsParameters {
    char upsDevice[128];          // only its presence counts
    std::int32_t upsDownDelay;    // seconds
};

// upstrm.dat in the program directory, in a buffer of MAX_PATH bytes. 0
// (output empty) when the path cannot be formed.
int ScheduleFilePath(char* output);

// 1 only when both "UpsDevice" and "UpsDownDelay" were read.
int ReadUpsParameters(UpsParameters* parameters);

// "RestoreTimeCorrection " of section "MERLOW" in merlowsp.ini in the
// program directory; 0 when the file or key is missing. Always 1.
int ReadRestoreTimeCorrection(std::int32_t* value);
