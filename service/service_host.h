#pragma once

#include <windows.h>

// The glue between the SCM and the service object: the one status record,
// the entry the dispatcher calls, the control handler and the status pump.
//
// dwCurrentState doubles as the run flag (SERVICE_STOPPED: stop requested;
// SERVICE_PAUSED: paused). It, dwCheckPoint and statusPumpActive are shared
// between threads without a lock, so they are only read and written whole,
// through the interlocked functions below.

extern SERVICE_STATUS serviceStatus;
extern SERVICE_STATUS_HANDLE statusHandle;
extern volatile LONG statusPumpActive;

DWORD CurrentServiceState();
void SetCurrentServiceState(DWORD state);

void WINAPI ServiceMain(DWORD argc, char** argv);
void WINAPI ServiceCtrlHandler(DWORD control);

// Started by Init: while statusPumpActive is 1, re-sends the record with a
// growing checkpoint, 19 times in each 20 passes of 50 ms, 30000 passes at
// most. StartStatusPump sets the flag and starts it; EndStatusPump clears
// the flag and waits for the thread at most the given time.
DWORD WINAPI StatusPump(void*);
void StartStatusPump();
void EndStatusPump(DWORD milliseconds);
