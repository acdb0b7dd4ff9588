#include "service/companion_service.h"

#include "common/critical_section.h"
#include "common/merlow_service.h"
#include "common/unique_handle.h"
#include "schedule/adjust_schedule.h"
#include "service/event_source.h"
#include "service/service_host.h"
#include "supervision/child_programs.h"
#include "supervision/dependency_list.h"
#include "supervision/run_loop.h"
#include "supervision/service_control.h"
#include "supervision/startup_config.h"

#include <event_messages.h>

#include <cstdio>
#include <ctime>

namespace {

// Made before main runs and never destroyed: the run thread may still wait
// on its children while the process ends.
CompanionService& theService = *new CompanionService;

void ReportCompanionEvent(DWORD eventId)
{
    const char* strings[] = {kCompanionServiceName};
    ReportServiceEvent(EVENTLOG_INFORMATION_TYPE, eventId, 1, 0, strings, nullptr);
}

void ReportScheduleAdded()
{
    ReportCompanionEvent(MSG_SCHEDULE_ADDED);
}

// A warning that names what failed (a program text, a file) and the
// Windows error, after the service's name.
void ReportFailure(DWORD eventId, const char* subject, DWORD error)
{
    char number[16];
    std::snprintf(number, sizeof number, "%lu", static_cast<unsigned long>(error));
    const char* strings[] = {kCompanionServiceName, subject, number};
    ReportServiceEvent(EVENTLOG_WARNING_TYPE, eventId, 3, 0, strings, nullptr);
}

void ReportProgramNotStarted(const char* programText, DWORD error)
{
    ReportFailure(MSG_PROGRAM_NOT_STARTED, programText, error);
}

void ReportScheduleNotSaved(const char* path, unsigned long error)
{
    ReportFailure(MSG_SCHEDULE_NOT_SAVED, path, static_cast<DWORD>(error));
}


// The run loop's calls, made for real.
//
// The start-up work can run on the run thread (dependency missing, phase
// B) while the STOP control arrives on the handler's thread, and both use
// the child table. They stay apart this way: a stop signals stopRequested,
// which ends the child waits at once, and then waits for the start-up work
// to end before it closes anything; start-up work that has not begun when
// the stop comes is not begun at all. So no handle is closed while another
// thread waits on it, and every child started is closed by the stop.
class CompanionHost final : public SupervisionHost {
public:
    explicit CompanionHost(CompanionService& service)
        : service_(service),
          stopRequested_(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
          startupEnded_(CreateEventA(nullptr, TRUE, TRUE, nullptr)),
          restartEnded_(CreateEventA(nullptr, TRUE, TRUE, nullptr))
    {
    }

    std::uint32_t CurrentState() override { return CurrentServiceState(); }
    void Sleep(int milliseconds) override { ::Sleep(static_cast<DWORD>(milliseconds)); }
    std::int64_t Now() override { return static_cast<std::int64_t>(std::time(nullptr)); }

    int QueryManagerState(std::uint32_t* state) override
    {
        DWORD current = 0;
        if (QueryServiceState(kManagerServiceName, &current) != 0)
            return -1;
        *state = current;
        return 0;
    }
    int StopManager() override { return StopServiceByName(kManagerServiceName); }
    int StartManager() override { return StartServiceByName(kManagerServiceName); }
    int IsDependencyMissing() override
    {
        return ::IsDependencyMissing(kManagerServiceName, kCompanionServiceName);
    }
    void AddDependency() override
    {
        EditDependency(kManagerServiceName, kCompanionServiceName, DEPEND_ADD);
    }

    void AdjustSchedule() override
    {
        ::AdjustSchedule(ReportScheduleAdded, ReportScheduleNotSaved);
    }
    void ReportStarted() override { ReportCompanionEvent(MSG_SERVICE_STARTED); }
    void ReportStopped() override { ReportCompanionEvent(MSG_SERVICE_STOPPED); }
    std::int32_t ReadWaitTime() override
    {
        char path[MAX_PATH];
        StartupConfigPath(path);
        return ::ReadWaitTime(path);
    }
    void StartStatusPump() override { ::StartStatusPump(); }
    void EndStatusPump(int milliseconds) override { ::EndStatusPump(milliseconds); }

    void StartupWork() override
    {
        {
            Locked locked(lock_);
            if (stopping_)
                return;
            startupRunning_ = true;
            ResetEvent(startupEnded_.get());
        }
        RunStartupScript(&service_.scriptProcessForServiceLife);
        service_.childCount = kChildCapacity;
        LaunchChildPrograms(service_.children, &service_.childCount, ReportProgramNotStarted);
        WaitChildPrograms(service_.children, service_.childCount, stopRequested_.get());
        Locked locked(lock_);
        startupRunning_ = false;
        SetEvent(startupEnded_.get());
    }

    void CloseChildren() override
    {
        bool wait = false;
        {
            Locked locked(lock_);
            stopping_ = true;
            SetEvent(stopRequested_.get());
            wait = startupRunning_;
        }
        if (wait) {
            // Without the two events the waits of the start-up work cannot
            // be ended or seen to end: its children are left as they are
            // rather than closed under a thread that waits on them.
            if (!stopRequested_ || !startupEnded_)
                return;
            WaitForSingleObject(startupEnded_.get(), INFINITE);
        }
        CloseChildPrograms(service_.children, service_.childCount);
    }

    bool BeginManagerRestart() override
    {
        Locked locked(lock_);
        if (stopping_)
            return false;
        restartRunning_ = true;
        ResetEvent(restartEnded_.get());
        return true;
    }

    void EndManagerRestart() override
    {
        Locked locked(lock_);
        restartRunning_ = false;
        SetEvent(restartEnded_.get());
    }

    void WaitManagerRestart(int milliseconds) override
    {
        bool wait = false;
        {
            Locked locked(lock_);
            stopping_ = true;
            wait = restartRunning_;
        }
        if (wait && restartEnded_)
            WaitForSingleObject(restartEnded_.get(), static_cast<DWORD>(milliseconds));
    }

private:
    CompanionService& service_;
    CriticalSection lock_;
    bool stopping_ = false;
    bool startupRunning_ = false;
    bool restartRunning_ = false;
    unique_handle stopRequested_;
    unique_handle startupEnded_;
    unique_handle restartEnded_;
};

// Never destroyed: the run thread and the pump may still be running when
// the dispatcher returns and the process ends.
CompanionHost& Host()
{
    static CompanionHost* const host = new CompanionHost(theService);
    return *host;
}

}  // namespace

CompanionService* const currentService = &theService;

DWORD CompanionService::Init(DWORD argc, char** argv)
{
    std::int32_t period = checkPeriod;
    std::int32_t missing = 0;
    const DWORD result = SupervisionInit(Host(), static_cast<int>(argc), argv, &period, &missing);
    checkPeriod = period;
    dependencyMissing = missing;
    return result;
}

void CompanionService::Run()
{
    SupervisionRun(Host(), checkPeriod, dependencyMissing);
}

int CompanionService::Stop()
{
    SupervisionStop(Host());
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
