#pragma once

// How a run of the installer ended. A run with /quiet shows no message
// box and ends with the code of the box it would have shown; any other run
// shows its box and ends with 0. A failed installation ends with the
// installer error code itself (1001, 2000, 2001, 3000).
//
// The codes stay clear of what deployment tools read in an exit code
// (3010 and 1641 restart, 1618 retry, 1602 and 1603 from MSI setups) and
// of 1, which any failed command returns.
inline constexpr int kExitInstalled = 0;
inline constexpr int kExitNoManagerFolder = 10;
inline constexpr int kExitNotNeeded = 11;
inline constexpr int kExitSameVersion = 12;
inline constexpr int kExitNewerVersion = 13;
inline constexpr int kExitCopyFailed = 14;

// True when a word of the command line (the part after the program's name)
// is /quiet or /q, in any letter case. Other words are ignored.
bool IsQuietSwitch(const char* commandLine);

// Whether the run shows its message box; set once, before anything is shown.
void SetQuietRun(bool quiet);
bool IsQuietRun();

// The run's one outcome: set where its message is shown, read at the end.
void SetSetupOutcome(int exitCode);
int GetSetupOutcome();
