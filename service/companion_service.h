#pragma once

#include "common/unique_handle.h"
#include "supervision/child_process.h"
#include "supervision/run_loop.h"

#include <windows.h>

// The one service object. The host reaches it only through currentService
// and these operations, whose order is fixed.
class CompanionService {
public:
    virtual void Run();                            // the run thread
    virtual void PauseContinue(int pausing);       // PAUSE (1) and CONTINUE (0)
    virtual int Stop();                            // the STOP control; returns childCount
    virtual void Interrogate();                    // INTERROGATE
    virtual void OtherControl(DWORD control);      // any code but 1 to 5
    virtual DWORD Init(DWORD argc, char** argv);   // during the start; 0 or a Win32 error
    virtual const char* ServiceName();             // "MERLOWSP"

    DWORD lastError = 0;
    LONG checkPeriod = kDefaultCheckPeriod;  // seconds between re-assertions of the dependency
    // startup.bat's cmd.exe is never waited for nor ended: its handles are
    // held, not closed, while the service runs.
    unique_process scriptProcessForServiceLife;
    ChildProcess children[kChildCapacity];
    LONG childCount = 0;
    LONG dependencyMissing = 0;
};

extern CompanionService* const currentService;
