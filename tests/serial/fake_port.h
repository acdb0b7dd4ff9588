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
        int at_ms;
        std::string bytes;
    };

    // -- what the test sets up --
    bool open_fails = false;         // as when another program holds the port
    bool waits_cannot_start = false;
    bool waits_fail = false;         // outstanding waits end in failure (Wine on a pty)
    int send_queue_empty_after_ms = -1;  // a write ends a wait with EV_TXEMPTY this long after

    void Arrive(int at_ms, const std::string& bytes)
    {
        for (char byte : bytes)
            arrivals_.push_back({at_ms, byte});
    }

    // An EV_RXCHAR with nothing left to read by the time the tool reads.
    void ReceivedEventOnly(int at_ms) { lone_events_.push_back(at_ms); }

    // -- what the test looks at --
    int now_ms = 0;
    std::vector<std::string> opened;
    std::vector<Sent> sent;
    int waits_started = 0;
    int bytes_read = 0;
    int cancels = 0;
    bool wait_outstanding = false;

    void Tick() { now_ms += 100; }

    int Open(const char* name) override
    {
        opened.push_back(name);
        return open_fails ? 0 : 1;
    }

    void Write(const char* data, std::size_t length) override
    {
        sent.push_back({now_ms, std::string(data, length)});
    }

    int StartEventWait() override
    {
        if (wait_outstanding)
            ADD_FAILURE() << "a wait was started while another was outstanding";
        if (waits_cannot_start)
            return 0;
        ++waits_started;
        wait_outstanding = true;
        return 1;
    }

    int PollEventWait(std::uint32_t* events) override
    {
        *events = 0;
        if (!wait_outstanding)
            return 1;
        const std::uint32_t happened = EventsUpToNow();
        if (happened != 0) {
            reported_until_ms_ = now_ms;
            *events = happened;
        } else if (!waits_fail) {
            return 0;
        }
        wait_outstanding = false;
        return 1;
    }

    int ReadByte(char* byte) override
    {
        if (next_read_ < arrivals_.size() && arrivals_[next_read_].at_ms <= now_ms) {
            *byte = arrivals_[next_read_++].byte;
            ++bytes_read;
            return 1;
        }
        return 0;
    }

    void CancelOutstanding() override
    {
        ++cancels;
        wait_outstanding = false;
    }

private:
    struct Arrival {
        int at_ms;
        char byte;
    };

    static bool Within(int at_ms, int after_ms, int until_ms)
    {
        return at_ms > after_ms && at_ms <= until_ms;
    }

    std::uint32_t EventsUpToNow() const
    {
        std::uint32_t events = 0;
        for (const Arrival& arrival : arrivals_)
            if (Within(arrival.at_ms, reported_until_ms_, now_ms))
                events |= kEventCharReceived;
        for (int at_ms : lone_events_)
            if (Within(at_ms, reported_until_ms_, now_ms))
                events |= kEventCharReceived;
        if (send_queue_empty_after_ms >= 0)
            for (const Sent& write : sent)
                if (Within(write.at_ms + send_queue_empty_after_ms, reported_until_ms_, now_ms))
                    events |= kEventSendQueueEmpty;
        return events;
    }

    std::vector<Arrival> arrivals_;
    std::vector<int> lone_events_;
    std::size_t next_read_ = 0;
    int reported_until_ms_ = -1;
};
