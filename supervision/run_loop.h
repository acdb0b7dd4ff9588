#pragma once

#include <cstdint>

// The decisions of the companion's start, run and stop: when to do the
// start-up work, when to stop and restart the UPS manager service, when to
// re-assert the dependency. Every wait, clock read and call outside goes
// through SupervisionHost, so tests can drive the loop with a virtual clock.

// dwCurrentState values the loop looks at.
inline constexpr std::uint32_t kStateStopped = 1;  // a stop was requested
inline constexpr std::uint32_t kStateStopPending = 3;
inline constexpr std::uint32_t kStateRunning = 4;
inline constexpr std::uint32_t kStatePaused = 7;

inline constexpr int kPollsForRunning = 5000;  // about 41 min 40 s
inline constexpr int kPollsForStopped = 1000;  // about 8 min 20 s
inline constexpr int kPollInterval = 500;
inline constexpr int kLoopInterval = 500;
inline constexpr int kWaitStep = 100;
inline constexpr int kPumpEndWait = 500;
// After a stop request the UPS manager service is started again only once
// it has left STOP_PENDING, at most this many polls (10 s); Stop waits at
// most kRestartWait for that start. Both keep the control handler well
// within the 30 s the SCM grants it.
inline constexpr int kPollsWhileStopping = 20;
inline constexpr int kRestartWait = 15000;
inline constexpr std::int32_t kDefaultCheckPeriod = 60;

class SupervisionHost {
public:
    virtual std::uint32_t CurrentState() = 0;  // the service's dwCurrentState
    virtual void Sleep(int milliseconds) = 0;
    virtual std::int64_t Now() = 0;  // calendar time, whole seconds since 1970

    // The UPS manager service "Merlow" and the companion's place in its
    // dependency list.
    virtual int QueryManagerState(std::uint32_t* state) = 0;  // 0 or -1
    virtual int StopManager() = 0;
    virtual int StartManager() = 0;
    virtual int IsDependencyMissing() = 0;
    virtual void AddDependency() = 0;

    virtual void AdjustSchedule() = 0;
    virtual void ReportStarted() = 0;
    virtual void ReportStopped() = 0;
    virtual std::int32_t ReadWaitTime() = 0;
    virtual void StartStatusPump() = 0;
    virtual void EndStatusPump(int milliseconds) = 0;
    virtual void StartupWork() = 0;     // startup.bat, launch and wait for the programs
    virtual void CloseChildren() = 0;   // at stop

    // The restart of the UPS manager service in phase B, kept apart from a
    // stop: Begin is false once the stop has closed the children (the
    // restart is then not begun at all); WaitManagerRestart, from Stop,
    // waits at most the given time for a restart under way to have ended.
    virtual bool BeginManagerRestart() = 0;
    virtual void EndManagerRestart() = 0;
    virtual void WaitManagerRestart(int milliseconds) = 0;

protected:
    ~SupervisionHost() = default;
};

// Init: takes the check period from the first start parameter (argv[1]),
// corrects the schedule, looks at the dependency, starts the status pump
// and, with the dependency in place, does the start-up work. Always 0.
std::uint32_t SupervisionInit(SupervisionHost& host, int argc, const char* const* argv,
                              std::int32_t* checkPeriod, std::int32_t* dependencyMissing);

// Run: with the dependency missing, waits for the UPS manager service to
// run, stops it, adds the dependency, does the start-up work and starts it
// again; then re-asserts the dependency once per period until a stop.
void SupervisionRun(SupervisionHost& host, std::int32_t checkPeriod,
                    std::int32_t dependencyMissing);

// Stop: re-asserts the dependency, reports the stop, closes the programs,
// and waits (bounded) for a restart of the UPS manager service under way.
void SupervisionStop(SupervisionHost& host);

// 1 when the whole time has passed in steps of 100 ms, 0 when a stop
// request ended it early. Below 100 ms there is no wait at all.
int InterruptibleWait(SupervisionHost& host, int milliseconds);
