#pragma once

#include <cstddef>
#include <cstdint>

// The line events the tool asks the port for (the values of EV_RXCHAR and
// EV_TXEMPTY).
inline constexpr std::uint32_t kEventCharReceived = 0x0001;
inline constexpr std::uint32_t kEventSendQueueEmpty = 0x0004;

// The few port operations the exchange needs. None of them blocks: the
// exchange paces itself by ticks. The port owns the records and buffers of
// its outstanding operations, so none is handed to a second operation
// while the first still uses it.
class SerialPort {
public:
    virtual ~SerialPort() = default;

    // Opens the port for exclusive use and configures it (2400 baud, 8N1,
    // no flow control, reads that return at once). 1 on success.
    virtual int Open(const char* name) = 0;

    // Starts sending the bytes; does not wait for them to leave.
    virtual void Write(const char* data, std::size_t length) = 0;

    // Starts a wait for a line event. 1 when the wait is outstanding (or
    // already complete, as the next poll tells), 0 when it could not start.
    virtual int StartEventWait() = 0;

    // 1 once the outstanding wait has ended, with the events it delivered
    // (0 when it failed); 0 while it is still outstanding.
    virtual int PollEventWait(std::uint32_t* events) = 0;

    // 1 with the byte when one is delivered at once. Otherwise 0, and a read
    // left pending has been cancelled.
    virtual int ReadByte(char* byte) = 0;

    // Cancels whatever is outstanding and returns once it has all ended.
    virtual void CancelOutstanding() = 0;
};
