#include "service/service_host.h"

#include "common/critical_section.h"
#include "common/merlow_service.h"
#include "common/unique_handle.h"
#include "service/companion_service.h"
#include "supervision/dependency_list.h"
#include "supervision/service_control.h"

namespace {

// dwCheckPoint and statusPumpActive, like dwCurrentState, are shared
// between threads without a lock: read and written whole, interlocked.
SERVICE_STATUS serviceStatus;
SERVICE_STATUS_HANDLE statusHandle;
volatile LONG statusPumpActive = 1;

// Owned here for the life of the process: in the path where Init leaves the
// pump running, nobody else waits for it.
unique_handle pumpThread;

// Held from a change of state to its report (the handler holds it through
// the whole control, Stop included): the pump only sends while it can take
// it, so the SCM never sees a state before it has been reported, above all
// no STOPPED while Stop still works and the process goes on. Made before
// main runs, so it is ready whoever calls first, and never deleted: the
// pump may still be running while the process ends.
CriticalSection& reportLock = *new CriticalSection;

volatile LONG* Shared(DWORD* field)
{
    return reinterpret_cast<volatile LONG*>(field);
}

void Report()
{
    if (!SetServiceStatus(statusHandle, &serviceStatus))
        currentService->lastError = GetLastError();
}

DWORD WINAPI RunThread(void*)
{
    currentService->Run();
    return 0;
}

void SetCheckPoint(DWORD value)
{
    InterlockedExchange(Shared(&serviceStatus.dwCheckPoint), static_cast<LONG>(value));
}

DWORD WINAPI StatusPump(void*)
{
    for (int i = 1; InterlockedCompareExchange(&statusPumpActive, 0, 0) == 1; ) {
        // A pass during a control or a report is left out; once STOPPED
        // has been reported the process is ending and nothing follows it.
        if (i % 20 != 0 && reportLock.TryEnter()) {
            const bool stopped = CurrentServiceState() == SERVICE_STOPPED;
            if (!stopped) {
                InterlockedIncrement(Shared(&serviceStatus.dwCheckPoint));
                SetServiceStatus(statusHandle, &serviceStatus);
            }
            reportLock.Leave();
            if (stopped)
                break;
        }
        Sleep(50);
        if (++i > 30000)
            break;
    }
    return 0;
}

}  // namespace

DWORD CurrentServiceState()
{
    return static_cast<DWORD>(InterlockedCompareExchange(Shared(&serviceStatus.dwCurrentState), 0, 0));
}

void SetCurrentServiceState(DWORD state)
{
    InterlockedExchange(Shared(&serviceStatus.dwCurrentState), static_cast<LONG>(state));
}

void WINAPI ServiceMain(DWORD argc, char** argv)
{
    serviceStatus.dwServiceType = SERVICE_WIN32_OWN_PROCESS | SERVICE_WIN32_SHARE_PROCESS;
    SetCurrentServiceState(SERVICE_START_PENDING);
    serviceStatus.dwControlsAccepted = SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_PAUSE_CONTINUE;
    serviceStatus.dwWin32ExitCode = 0;
    serviceStatus.dwServiceSpecificExitCode = 0;
    SetCheckPoint(0);
    serviceStatus.dwWaitHint = 0;

    statusHandle = RegisterServiceCtrlHandlerA(currentService->ServiceName(), ServiceCtrlHandler);
    if (statusHandle == nullptr) {
        currentService->lastError = GetLastError();
        return;
    }

    currentService->lastError = currentService->Init(argc, argv);
    Locked locked(reportLock);
    if (currentService->lastError != 0) {
        SetCurrentServiceState(SERVICE_STOPPED);
        SetCheckPoint(0);
        serviceStatus.dwWaitHint = 0;
        serviceStatus.dwWin32ExitCode = currentService->lastError;
        serviceStatus.dwServiceSpecificExitCode = currentService->lastError;
        SetServiceStatus(statusHandle, &serviceStatus);
        return;
    }

    // Made before RUNNING is reported and let go after it. Without it
    // nothing would report the start or keep the dependency in place, so
    // the service ends: what Init started is closed by Stop, and the SCM
    // sees STOPPED with the error.
    unique_handle run(CreateThread(nullptr, 0, RunThread, nullptr, CREATE_SUSPENDED, nullptr));
    if (!run) {
        const DWORD err = GetLastError();
        SetCurrentServiceState(SERVICE_STOPPED);
        currentService->Stop();
        SetCheckPoint(0);
        serviceStatus.dwWaitHint = 0;
        serviceStatus.dwWin32ExitCode = err;
        serviceStatus.dwServiceSpecificExitCode = err;
        currentService->lastError = err;
        SetServiceStatus(statusHandle, &serviceStatus);
        return;
    }

    SetCurrentServiceState(SERVICE_RUNNING);
    SetCheckPoint(0);
    serviceStatus.dwWaitHint = 0;
    Report();

    // The run thread lives until the process ends; it is never waited for.
    ResumeThread(run.get());
}

void WINAPI ServiceCtrlHandler(DWORD control)
{
    Locked locked(reportLock);
    switch (control) {
    case SERVICE_CONTROL_STOP:
        serviceStatus.dwWin32ExitCode = 0;
        SetCurrentServiceState(SERVICE_STOPPED);
        SetCheckPoint(0);
        serviceStatus.dwWaitHint = 0;
        currentService->Stop();
        break;
    case SERVICE_CONTROL_PAUSE:
        SetCurrentServiceState(SERVICE_PAUSED);
        currentService->PauseContinue(1);
        break;
    case SERVICE_CONTROL_CONTINUE:
        SetCurrentServiceState(SERVICE_RUNNING);
        currentService->PauseContinue(0);
        break;
    case SERVICE_CONTROL_INTERROGATE:
        currentService->Interrogate();
        break;
    case SERVICE_CONTROL_SHUTDOWN:
        EditDependency(kManagerServiceName, kCompanionServiceName, DEPEND_ADD);
        break;
    default:
        currentService->OtherControl(control);
        break;
    }
    Report();
}

void StartStatusPump()
{
    InterlockedExchange(&statusPumpActive, 1);
    pumpThread.reset(CreateThread(nullptr, 0, StatusPump, nullptr, 0, nullptr));
}

void EndStatusPump(DWORD milliseconds)
{
    InterlockedExchange(&statusPumpActive, 0);
    if (pumpThread)
        WaitForSingleObject(pumpThread.get(), milliseconds);
}
