#pragma once

#include "common/unique_handle.h"
#include "serial/serial_port.h"

#include <windows.h>

// A COM port opened for overlapped use. The write, the event wait and the
// read each have an OVERLAPPED record, an event and a buffer of their own,
// owned here: a record is given to a new operation only once the one
// before has ended, and the port is closed only after everything
// outstanding has been cancelled and has ended. Give it static storage:
// an operation that never ends keeps writing into it until the process
// is gone.
class Win32SerialPort : public SerialPort {
public:
    Win32SerialPort() = default;
    ~Win32SerialPort() override;
    Win32SerialPort(const Win32SerialPort&) = delete;
    Win32SerialPort& operator=(const Win32SerialPort&) = delete;

    int Open(const char* name) override;
    void Write(const char* data, std::size_t length) override;
    int StartEventWait() override;
    int PollEventWait(std::uint32_t* events) override;
    int ReadByte(char* byte) override;
    void CancelOutstanding() override;

private:
    struct Operation {
        unique_handle event;
        OVERLAPPED record;
        bool outstanding;
    };

    int WriteEnded();

    unique_handle port_;
    Operation write_ = {};
    Operation wait_ = {};
    Operation read_ = {};
    char writeBuffer_[64] = {};
    DWORD waitEvents_ = 0;
    char readByte_ = 0;
};
