#include "service/companion_service.h"

#include "common/decimal.h"
#include "service/event_source.h"
#include "service/service_host.h"
#include "supervision/dependency_list.h"
#include "supervision/merlow_service.h"
#include "supervision/service_control.h"

#include <event_messages.h>

#include <ctime>

namespace {

// Built before main runs: zero-filled but for checkPeriod.
CompanionService theService;

void ReportCompanionEvent(DWORD eventId)
{
    const char* strings[] = {kCompanionServiceName};
    ReportServiceEvent(EVENTLOG_INFORMATION_TYPE, eventId, 1, 0, strings, nullptr);
}

}  // namespace

CompanionService* const currentService = &theService;

DWORD CompanionService::Init(DWORD argc, char** argv)
{
    if (argc > 1 && argv != nullptr && argv[1] != nullptr)
        checkPeriod = ParseDecimal(argv[1]);
    if (checkPeriod == 0)
        checkPeriod = 1;

    dependencyMissing = IsDependencyMissing(kManagerServiceName, kCompanionServiceName);

    StartStatusPump();
    if (dependencyMissing == 0)
        EndStatusPump(500);
    return 0;
}

void CompanionService::Run()
{
    ReportCompanionEvent(MSG_SERVICE_STARTED);
    while (CurrentServiceState() != SERVICE_STOPPED) {
        if (CurrentServiceState() != SERVICE_PAUSED) {
            // A negative period acts as its absolute value here.
            const long long now = static_cast<long long>(std::time(nullptr));
            if (now % checkPeriod == 0)
                EditDependency(kManagerServiceName, kCompanionServiceName, DEPEND_ADD);
        }
        Sleep(500);
    }
}

int CompanionService::Stop()
{
    EditDependency(kManagerServiceName, kCompanionServiceName, DEPEND_ADD);
    ReportCompanionEvent(MSG_SERVICE_STOPPED);
    return childCount;
}

void CompanionService::PauseContinue(int)
{
}

void CompanionService::Interrogate()
{
}

void CompanionService::OtherControl(DWORD)
{
}

const char* CompanionService::ServiceName()
{
    return kCompanionServiceName;
}
