#pragma once

#include "supervision/child_process.h"

#include <windows.h>

// startup.bat and the programs of upsombx.conf, all started hidden from the
// program directory, and their end at the companion's stop.

// Starts "<system folder>cmd.exe" /d /s /c ""<program directory>startup.bat"";
// never waited for. 0, with nothing started, when the program directory
// or the system folder is unknown or the line does not fit.
int RunStartupScript(unique_process* scriptProcess);

// Called for each program line that could not be started, with its
// program text and the Windows error of the start.
using ProgramNotStartedReporter = void (*)(const char* programText, DWORD error);

// Starts the program lines of upsombx.conf, at most count of them; count
// becomes the number of table entries used (a line that could not be
// started takes an empty entry and is reported). Without the file nothing
// is started and count is left as it was; so too when the program
// directory is unknown. Always 1.
int LaunchChildPrograms(ChildProcess* children, LONG* count,
                        ProgramNotStartedReporter reportNotStarted);

// Waits for each program that has a wait time, one after another. A wait
// also ends when stopRequested (may be null) is signalled. Always 1.
int WaitChildPrograms(ChildProcess* children, LONG count, HANDLE stopRequested);

// Asks each program's first top-level window to close, gives them one
// second, ends those still running and closes every handle of the table
// (the entries are empty afterwards).
void CloseChildPrograms(ChildProcess* children, LONG count);

// The path of upsombx.conf beside the executable, into a buffer of
// MAX_PATH bytes. 0, with path empty, when it cannot be formed: the
// default wait time then holds and no program is started.
int StartupConfigPath(char* path);
