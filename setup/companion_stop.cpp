#include "setup/companion_stop.h"

#include "common/merlow_service.h"

namespace {

// MERLOWSP opened for its status; empty when the manager or the service
// cannot be opened.
unique_schandle OpenCompanionForStatus()
{
    unique_schandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    return unique_schandle(
        manager ? OpenServiceA(manager.get(), kCompanionServiceName, SERVICE_QUERY_STATUS)
                : nullptr);
}

// true while MERLOWSP is registered and not yet stopped. A service that
// cannot be asked counts as stopped: waiting would not tell more.
bool CompanionActive()
{
    const unique_schandle service = OpenCompanionForStatus();
    SERVICE_STATUS status;
    return service && QueryServiceStatus(service.get(), &status) &&
           status.dwCurrentState != SERVICE_STOPPED;
}

DWORD Remaining(DWORD startMs, DWORD deadlineMs)
{
    const DWORD elapsed = GetTickCount() - startMs;
    return elapsed < deadlineMs ? deadlineMs - elapsed : 0;
}

}  // namespace

unique_handle OpenCompanionProcess()
{
    const unique_schandle service = OpenCompanionForStatus();
    SERVICE_STATUS_PROCESS status;
    DWORD needed = 0;
    if (!service ||
        !QueryServiceStatusEx(service.get(), SC_STATUS_PROCESS_INFO,
                              reinterpret_cast<BYTE*>(&status), sizeof status, &needed) ||
        status.dwProcessId == 0)
        return unique_handle();
    return unique_handle(OpenProcess(SYNCHRONIZE, FALSE, status.dwProcessId));
}

void WaitForCompanionStop(const unique_handle& process, DWORD startMs, DWORD deadlineMs)
{
    // The process ending is what frees its executable; STOPPED can come a
    // moment before that.
    if (process)
        WaitForSingleObject(process.get(), Remaining(startMs, deadlineMs));
    while (CompanionActive() && Remaining(startMs, deadlineMs) != 0)
        Sleep(100);
}
