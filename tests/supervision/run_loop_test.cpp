#include "supervision/run_loop.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

// A host with a virtual clock in milliseconds: Sleep only moves the clock,
// so the 5000 polls of phase A cost microseconds. Every call outside is
// logged with the virtual moment it happened.
class FakeHost final : public SupervisionHost {
public:
    std::int64_t nowMs = 0;
    std::int64_t epochSeconds = 1700000000;  // a multiple of 60 and of 100
    std::function<std::uint32_t(std::int64_t)> serviceState = [](std::int64_t) {
        return kStateRunning;
    };
    std::function<int(std::int64_t, std::uint32_t*)> managerState = [](std::int64_t,
                                                                       std::uint32_t* state) {
        *state = kStateStopped;
        return 0;
    };
    std::int32_t waitTime = 10000;
    int dependencyMissing = 0;
    std::vector<std::pair<std::int64_t, std::string>> calls;

    std::uint32_t CurrentState() override { return serviceState(nowMs); }
    void Sleep(int milliseconds) override { nowMs += milliseconds; }
    std::int64_t Now() override { return epochSeconds + nowMs / 1000; }
    int QueryManagerState(std::uint32_t* state) override
    {
        ++queries;
        return managerState(nowMs, state);
    }
    int StopManager() override { return Log("stop-manager"), 0; }
    int StartManager() override { return Log("start-manager"), 0; }
    int IsDependencyMissing() override { return Log("is-missing"), dependencyMissing; }
    void AddDependency() override { Log("add-dependency"); }
    void AdjustSchedule() override { Log("adjust-schedule"); }
    void ReportStarted() override { Log("report-started"); }
    void ReportStopped() override { Log("report-stopped"); }
    std::int32_t ReadWaitTime() override { return Log("read-wait-time"), waitTime; }
    void StartStatusPump() override { Log("start-pump"); }
    void EndStatusPump(int milliseconds) override { Log("end-pump " + std::to_string(milliseconds)); }
    void StartupWork() override { Log("startup-work"); }
    void CloseChildren() override { Log("close-children"); }
    // Not logged, so that the sequences below stay those of the calls outside.
    bool BeginManagerRestart() override { return !refuseRestart; }
    void EndManagerRestart() override { restartEndedAt = nowMs; }
    void WaitManagerRestart(int milliseconds) override { restartWait = milliseconds; }

    bool refuseRestart = false;
    std::int64_t restartEndedAt = -1;
    int restartWait = -1;

    int queries = 0;

    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const auto& call : calls)
            names.push_back(call.second);
        return names;
    }
    int Count(const std::string& name) const
    {
        int n = 0;
        for (const auto& call : calls)
            n += call.second == name;
        return n;
    }
    std::int64_t MomentOf(const std::string& name) const
    {
        for (const auto& call : calls)
            if (call.second == name)
                return call.first;
        return -1;
    }

private:
    void Log(const std::string& name) { calls.emplace_back(nowMs, name); }
};

// A stop request from the given moment on.
std::function<std::uint32_t(std::int64_t)> StopAt(std::int64_t moment)
{
    return [moment](std::int64_t now) { return now >= moment ? kStateStopped : kStateRunning; };
}

using Names = std::vector<std::string>;

}  // namespace

TEST(SupervisionInit, CheckPeriodFromTheFirstStartParameter)
{
    struct Case {
        std::vector<const char*> argv;
        std::int32_t period;
    };
    const Case cases[] = {{{"MERLOWSP"}, 60},        {{"MERLOWSP", "30"}, 30},
                          {{"MERLOWSP", "0"}, 1},    {{"MERLOWSP", "word"}, 1},
                          {{"MERLOWSP", " -5x"}, -5}, {{"MERLOWSP", "2", "9"}, 2}};
    for (const Case& c : cases) {
        FakeHost host;
        std::int32_t period = kDefaultCheckPeriod, missing = -1;
        EXPECT_EQ(0u, SupervisionInit(host, static_cast<int>(c.argv.size()), c.argv.data(),
                                      &period, &missing));
        EXPECT_EQ(c.period, period) << c.argv.size();
    }
}

TEST(SupervisionInit, DependencyInPlaceDoesTheStartupWorkWhilePending)
{
    FakeHost host;
    std::int32_t period = 60, missing = -1;
    SupervisionInit(host, 0, nullptr, &period, &missing);
    EXPECT_EQ(0, missing);
    EXPECT_EQ((Names{"adjust-schedule", "is-missing", "start-pump", "startup-work", "end-pump 500"}),
              host.Names());
}

TEST(SupervisionInit, DependencyMissingLeavesWorkAndPumpToRun)
{
    FakeHost host;
    host.dependencyMissing = 1;
    std::int32_t period = 60, missing = -1;
    SupervisionInit(host, 0, nullptr, &period, &missing);
    EXPECT_EQ(1, missing);
    EXPECT_EQ((Names{"adjust-schedule", "is-missing", "start-pump"}), host.Names());
}

TEST(SupervisionRun, PhaseAGivesUpAfter5000PollsAndAddsTheDependency)
{
    FakeHost host;
    host.managerState = [](std::int64_t, std::uint32_t* state) { *state = 2; return 0; };
    host.serviceState = StopAt(5000LL * 500 + 1000);
    SupervisionRun(host, 60, 1);
    EXPECT_EQ(5000, host.queries);
    EXPECT_EQ(5000LL * 500, host.MomentOf("add-dependency"));
    EXPECT_EQ(0, host.Count("stop-manager") + host.Count("start-manager") +
                     host.Count("startup-work"));
    EXPECT_EQ("report-started", host.Names().front());
}

TEST(SupervisionRun, FailingQueriesCountAsNotRunning)
{
    FakeHost host;
    host.managerState = [](std::int64_t, std::uint32_t*) { return -1; };
    host.serviceState = StopAt(5000LL * 500);
    SupervisionRun(host, 60, 1);
    EXPECT_EQ(5000, host.queries);
    EXPECT_EQ(0, host.Count("stop-manager"));
}

TEST(SupervisionRun, PhaseBRestartsTheManagerBehindTheCompanion)
{
    FakeHost host;
    host.waitTime = 250;  // two steps of 100 ms
    // Running from 3 s; stopped 2 s after the stop request.
    std::int64_t stopAsked = -1;
    host.managerState = [&](std::int64_t now, std::uint32_t* state) {
        if (stopAsked < 0)
            stopAsked = host.MomentOf("stop-manager");
        *state = stopAsked >= 0 && now >= stopAsked + 2000 ? kStateStopped
                 : now >= 3000                             ? kStateRunning
                                                           : 2;
        return 0;
    };
    host.serviceState = StopAt(60000);
    SupervisionRun(host, 60, 1);
    const Names expected{"report-started", "read-wait-time", "stop-manager", "add-dependency",
                         "startup-work", "start-manager"};
    Names first = host.Names();
    first.resize(6);
    EXPECT_EQ(expected, first);
    EXPECT_EQ(3000 + 200, host.MomentOf("stop-manager"));
    EXPECT_EQ(3200 + 2000, host.MomentOf("startup-work"));
}

TEST(SupervisionRun, WaitTimeBelowOneStepStopsTheManagerAtOnce)
{
    for (std::int32_t wait : {0, 99, -1, -20000}) {
        FakeHost host;
        host.waitTime = wait;
        host.managerState = [](std::int64_t, std::uint32_t* state) {
            *state = kStateRunning;
            return 0;
        };
        host.serviceState = StopAt(1000);
        SupervisionRun(host, 60, 1);
        EXPECT_EQ(0, host.MomentOf("stop-manager")) << wait;
    }
}

TEST(SupervisionRun, PhaseBStartsTheManagerEvenWhenItNeverStopped)
{
    FakeHost host;
    host.waitTime = 0;
    host.managerState = [](std::int64_t, std::uint32_t* state) {
        *state = kStateRunning;
        return 0;
    };
    host.serviceState = StopAt(1001LL * 500);
    SupervisionRun(host, 60, 1);
    EXPECT_EQ(1 + 1000, host.queries);
    EXPECT_EQ(0, host.Count("startup-work"));
    EXPECT_EQ(1000LL * 500, host.MomentOf("start-manager"));
}

TEST(SupervisionRun, StopDuringPhaseAAddsTheDependencyOnly)
{
    FakeHost host;
    host.managerState = [](std::int64_t, std::uint32_t* state) { *state = 2; return 0; };
    host.serviceState = StopAt(10000);
    SupervisionRun(host, 60, 1);
    EXPECT_EQ((Names{"report-started", "add-dependency"}), host.Names());
    EXPECT_EQ(10000, host.MomentOf("add-dependency"));
}

TEST(SupervisionRun, StopDuringTheWaitOfPhaseBStillStopsAndRestartsWithoutWork)
{
    FakeHost host;
    host.waitTime = 10000;
    host.managerState = [](std::int64_t, std::uint32_t* state) {
        *state = kStateRunning;
        return 0;
    };
    host.serviceState = StopAt(4000);
    SupervisionRun(host, 60, 1);
    EXPECT_EQ((Names{"report-started", "read-wait-time", "stop-manager", "add-dependency",
                     "start-manager"}),
              host.Names());
    EXPECT_EQ(4000, host.MomentOf("stop-manager"));
    EXPECT_EQ(4000, host.MomentOf("start-manager"));
}

TEST(SupervisionRun, PeriodicReassertionOnceOrTwicePerPeriod)
{
    for (std::int32_t period : {30, -30}) {
        FakeHost host;
        host.serviceState = StopAt(300000);  // five minutes
        SupervisionRun(host, period, 0);
        // Ten matching seconds, each seen by the two passes that fall in it.
        EXPECT_EQ(20, host.Count("add-dependency")) << period;
    }
    FakeHost everyPass;
    everyPass.serviceState = StopAt(10000);
    SupervisionRun(everyPass, 1, 0);
    EXPECT_EQ(20, everyPass.Count("add-dependency"));
}

TEST(SupervisionRun, PausedSkipsTheReassertionButNotThePhases)
{
    FakeHost host;
    host.waitTime = 0;
    host.serviceState = [](std::int64_t now) { return now >= 600000 ? kStateStopped : kStatePaused; };
    host.managerState = [&](std::int64_t, std::uint32_t* state) {
        *state = host.Count("stop-manager") ? kStateStopped : kStateRunning;
        return 0;
    };
    SupervisionRun(host, 1, 1);
    EXPECT_EQ((Names{"report-started", "read-wait-time", "stop-manager", "add-dependency",
                     "startup-work", "start-manager"}),
              host.Names());
}

TEST(InterruptibleWait, StepsOf100MillisecondsTestedBeforeEachStep)
{
    FakeHost host;
    EXPECT_EQ(1, InterruptibleWait(host, 250));
    EXPECT_EQ(200, host.nowMs);
    for (int none : {99, 0, -100}) {
        FakeHost idle;
        EXPECT_EQ(1, InterruptibleWait(idle, none));
        EXPECT_EQ(0, idle.nowMs);
    }
    FakeHost stopped;
    stopped.serviceState = StopAt(300);
    EXPECT_EQ(0, InterruptibleWait(stopped, 1000));
    EXPECT_EQ(300, stopped.nowMs);
    FakeHost lastStep;
    lastStep.serviceState = StopAt(200);
    EXPECT_EQ(1, InterruptibleWait(lastStep, 200));  // not tested after the last step
}

TEST(SupervisionStop, ReassertsThenReportsThenClosesTheChildren)
{
    FakeHost host;
    SupervisionStop(host);
    EXPECT_EQ((Names{"add-dependency", "report-stopped", "close-children"}), host.Names());
}

namespace {

// The UPS manager service STOP_PENDING from the stop request until the
// given time after it, then STOPPED.
std::function<int(std::int64_t, std::uint32_t*)> StoppingFor(FakeHost& host, std::int64_t ms)
{
    return [&host, ms](std::int64_t now, std::uint32_t* state) {
        const std::int64_t asked = host.MomentOf("stop-manager");
        *state = asked < 0 ? kStateRunning : now >= asked + ms ? kStateStopped : kStateStopPending;
        return 0;
    };
}

}  // namespace

TEST(SupervisionRun, StopDuringTheWaitOfPhaseBStartsTheManagerOnlyOnceItHasStopped)
{
    // Started again while still stopping, it would refuse and stay down.
    FakeHost host;
    host.waitTime = 10000;
    host.managerState = StoppingFor(host, 3000);
    host.serviceState = StopAt(4000);
    SupervisionRun(host, 60, 1);
    EXPECT_EQ((Names{"report-started", "read-wait-time", "stop-manager", "add-dependency",
                     "start-manager"}),
              host.Names());
    EXPECT_EQ(4000 + 3000, host.MomentOf("start-manager"));
    EXPECT_EQ(host.MomentOf("start-manager"), host.restartEndedAt);
}

TEST(SupervisionRun, TheWaitForTheManagerToStopIsBounded)
{
    // Never leaving STOP_PENDING: started (and refused) after 10 s, well
    // within the 30 s a control handler has.
    FakeHost host;
    host.waitTime = 0;
    host.managerState = StoppingFor(host, INT64_MAX / 2);
    host.serviceState = StopAt(1000);
    SupervisionRun(host, 60, 1);
    EXPECT_EQ(1000 + kPollsWhileStopping * kPollInterval, host.MomentOf("start-manager"));
    EXPECT_LE(kPollsWhileStopping * kPollInterval + 5000, kRestartWait);
    EXPECT_LT(kRestartWait + 2000, 30000);
}

TEST(SupervisionRun, NoRestartIsBegunOnceTheStopHasClosedTheChildren)
{
    FakeHost host;
    host.refuseRestart = true;
    host.managerState = [](std::int64_t, std::uint32_t* state) { *state = kStateRunning; return 0; };
    host.serviceState = StopAt(500);
    SupervisionRun(host, 60, 1);
    EXPECT_EQ((Names{"report-started", "add-dependency"}), host.Names());
}

TEST(SupervisionStop, WaitsForARestartOfTheManagerUnderWay)
{
    FakeHost host;
    SupervisionStop(host);
    EXPECT_EQ(kRestartWait, host.restartWait);
}
