#pragma once

#include "serial/serial_port.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// A UPS line in virtual time. Each tick moves the clock on by 100 ms;
// bytes the UPS sends become readable at their arrival time. Event waits
// behave as Windows documents them: a received character ends the
// outstanding wait, or, when none was outstanding, the next one at once.
class FakePort : public SerialPort {
public:
    struct Sent {
        int atMs;
        std::string bytes;
    };

    // -- what the test sets up --
    bool openFails = false;         // as when another program holds the port
    bool waitsCannotStart = false;
    bool waitsFail = false;         // outstanding waits end in failure (Wine on a pty)
    int sendQueueEmptyAfterMs = -1;  // a write ends a wait with EV_TXEMPTY this long after

    void Arrive(int atMs, const std::string& bytes)
    {
        for (char byte : bytes)
            arrivals_.push_back({atMs, byte});
    }

    // An EV_RXCHAR with nothing left to read by the time the tool reads.
    void ReceivedEventOnly(int atMs) { loneEvents_.push_back(atMs); }

    // -- what the test looks at --
    int nowMs = 0;
    std::vector<std::string> opened;
    std::vector<Sent> sent;
    int waitsStarted = 0;
    int bytesRead = 0;
    int cancels = 0;
    bool waitOutstanding = false;

    void Tick() { nowMs += 100; }

    int Open(const char* name) override
    {
        opened.push_back(name);
        return openFails ? 0 : 1;
    }

    void Write(const char* data, std::size_t length) override
    {
        sent.push_back({nowMs, std::string(data, length)});
    }

    int StartEventWait() override
    {
        if (waitOutstanding)
            ADD_FAILURE() << "a wait was started while another was outstanding";
        if (waitsCannotStart)
            return 0;
        ++waitsStarted;
        waitOutstanding = true;
        return 1;
    }

    int PollEventWait(std::uint32_t* events) override
    {
        *events = 0;
        if (!waitOutstanding)
            return 1;
        const std::uint32_t happened = EventsUpToNow();
        if (happened != 0) {
            reportedUntilMs_ = nowMs;
            *events = happened;
        } else if (!waitsFail) {
            return 0;
        }
        waitOutstanding = false;
        return 1;
    }

    int ReadByte(char* byte) override
    {
        if (nextRead_ < arrivals_.size() && arrivals_[nextRead_].atMs <= nowMs) {
            *byte = arrivals_[nextRead_++].byte;
            ++bytesRead;
            return 1;
        }
        return 0;
    }

    void CancelOutstanding() override
    {
        ++cancels;
        waitOutstanding = false;
    }

private:
    struct Arrival {
        int atMs;
        char byte;
    };

    static bool Within(int atMs, int afterMs, int untilMs)
    {
        return atMs > afterMs && atMs <= untilMs;
    }

    std::uint32_t EventsUpToNow() const
    {
        std::uint32_t events = 0;
        for (const Arrival& arrival : arrivals_)
            if (Within(arrival.atMs, reportedUntilMs_, nowMs))
                events |= kEventCharReceived;
        for (int atMs : loneEvents_)
            if (Within(atMs, reportedUntilMs_, nowMs))
                events |= kEventCharReceived;
        if (sendQueueEmptyAfterMs >= 0)
            for (const Sent& write : sent)
                if (Within(write.atMs + sendQueueEmptyAfterMs, reportedUntilMs_, nowMs))
                    events |= kEventSendQueueEmpty;
        return events;
    }

    std::vector<Arrival> arrivals_;
    std::vector<int> loneEvents_;
    std::size_t nextRead_ = 0;
    int reportedUntilMs_ = -1;
};
