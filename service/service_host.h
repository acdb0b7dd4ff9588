#pragma once

#include <windows.h>

// The glue between the SCM and the service object: the one status record,
// the entry the dispatcher calls, the control handler and the status pump.
//
// dwCurrentState doubles as the run flag (SERVICE_STOPPED: stop requested;
// SERVICE_PAUSED: paused). It is shared between threads without a lock, so
// it is only read and written whole, through these two.
DWORD CurrentServiceState();
void SetCurrentServiceState(DWORD state);

void WINAPI ServiceMain(DWORD argc, char** argv);
void WINAPI ServiceCtrlHandler(DWORD control);

// Started by Init: re-sends the record with a growing checkpoint, 19 times
// in each 20 passes of 50 ms, 30000 passes at most, until EndStatusPump,
// which waits for it at most the given time.
void StartStatusPump();
void EndStatusPump(DWORD milliseconds);
