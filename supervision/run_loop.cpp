#include "supervision/run_loop.h"

#include "common/decimal.h"

namespace {

bool StopRequested(SupervisionHost& host)
{
    return host.CurrentState() == kStateStopped;
}

// Phase A: 1 when the UPS manager service was seen running, 0 after a stop
// request or kPollsForRunning polls without it.
bool WaitForManagerRunning(SupervisionHost& host)
{
    for (int poll = 0; poll < kPollsForRunning; ++poll) {
        if (StopRequested(host))
            return false;
        std::uint32_t state = 0;
        if (host.QueryManagerState(&state) == 0 && state == kStateRunning)
            return true;
        host.Sleep(kPollInterval);
    }
    return false;
}

// Phase B: stop the UPS manager service, add the dependency and, once it
// has stopped, do the start-up work; start it again in any case.
void RestartManagerBehindCompanion(SupervisionHost& host)
{
    InterruptibleWait(host, host.ReadWaitTime());
    host.StopManager();
    host.AddDependency();
    for (int poll = 0; poll < kPollsForStopped; ++poll) {
        if (StopRequested(host))
            break;
        std::uint32_t state = 0;
        if (host.QueryManagerState(&state) == 0 && state == kStateStopped) {
            host.StartupWork();
            break;
        }
        host.Sleep(kPollInterval);
    }
    // Started while it is still stopping, it would refuse and stay down.
    if (StopRequested(host)) {
        for (int poll = 0; poll < kPollsWhileStopping; ++poll) {
            std::uint32_t state = 0;
            if (host.QueryManagerState(&state) != 0 || state != kStateStopPending)
                break;
            host.Sleep(kPollInterval);
        }
    }
    host.StartManager();
}

}  // namespace

std::uint32_t SupervisionInit(SupervisionHost& host, int argc, const char* const* argv,
                              std::int32_t* checkPeriod, std::int32_t* dependencyMissing)
{
    if (argc > 1 && argv != nullptr && argv[1] != nullptr)
        *checkPeriod = ParseDecimal(argv[1]);
    if (*checkPeriod == 0)
        *checkPeriod = 1;
    host.AdjustSchedule();
    *dependencyMissing = host.IsDependencyMissing();
    host.StartStatusPump();
    if (*dependencyMissing == 0) {
        host.StartupWork();
        host.EndStatusPump(kPumpEndWait);
    }
    return 0;
}

void SupervisionRun(SupervisionHost& host, std::int32_t checkPeriod,
                    std::int32_t dependencyMissing)
{
    host.ReportStarted();
    if (dependencyMissing == 1) {
        if (WaitForManagerRunning(host) && host.BeginManagerRestart()) {
            RestartManagerBehindCompanion(host);
            host.EndManagerRestart();
        } else {
            host.AddDependency();
        }
    }
    while (!StopRequested(host)) {
        if (host.CurrentState() != kStatePaused) {
            // A negative period acts as its absolute value here; the
            // arithmetic is 64-bit, so even INT32_MIN divides safely.
            if (host.Now() % static_cast<std::int64_t>(checkPeriod) == 0)
                host.AddDependency();
        }
        host.Sleep(kLoopInterval);
    }
}

void SupervisionStop(SupervisionHost& host)
{
    host.AddDependency();
    host.ReportStopped();
    host.CloseChildren();
    host.WaitManagerRestart(kRestartWait);
}

int InterruptibleWait(SupervisionHost& host, int milliseconds)
{
    const int steps = milliseconds / kWaitStep;
    for (int step = 0; step < steps; ++step) {
        if (StopRequested(host))
            return 0;
        host.Sleep(kWaitStep);
    }
    return 1;
}
