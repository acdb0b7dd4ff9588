#include "serial/win32_port.h"

#include <cstring>
#include <initializer_list>

namespace {

constexpr DWORD kCancelWaitMilliseconds = 2000;

static_assert(kEventCharReceived == EV_RXCHAR && kEventSendQueueEmpty == EV_TXEMPTY,
              "the exchange's events are the system's own");

// Built from scratch, every field set: whatever another program left in the
// port's settings must not leak into ours.
DCB LineSettings()
{
    DCB dcb;
    std::memset(&dcb, 0, sizeof dcb);
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = CBR_2400;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fTXContinueOnXoff = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    dcb.fAbortOnError = FALSE;
    dcb.XonLim = 0;
    dcb.XoffLim = 0;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.XonChar = 0;
    dcb.XoffChar = 0;
    dcb.ErrorChar = 0;
    dcb.EofChar = 0;
    dcb.EvtChar = 0;
    return dcb;
}

// A read returns at once with what is buffered, also with nothing, instead
// of depending on time-outs the driver or another program left behind;
// writes have no time-out.
COMMTIMEOUTS ReadsReturnAtOnce()
{
    COMMTIMEOUTS timeouts;
    std::memset(&timeouts, 0, sizeof timeouts);
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = 0;
    return timeouts;
}

}  // namespace

Win32SerialPort::~Win32SerialPort()
{
    CancelOutstanding();
    port_.reset();
}

int Win32SerialPort::Open(const char* name)
{
    for (Operation* operation : {&write_, &wait_, &read_}) {
        operation->event.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
        operation->record.hEvent = operation->event.get();
    }
    port_.reset(CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr));
    if (!port_)
        return 0;
    // None of these stops the run: a port that will not take its settings
    // ends in "no answer.".
    SetupComm(port_.get(), 128, 128);
    SetCommMask(port_.get(), kEventCharReceived | kEventSendQueueEmpty);
    DCB dcb = LineSettings();
    SetCommState(port_.get(), &dcb);
    COMMTIMEOUTS timeouts = ReadsReturnAtOnce();
    SetCommTimeouts(port_.get(), &timeouts);
    PurgeComm(port_.get(), PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    return 1;
}

int Win32SerialPort::WriteEnded()
{
    if (!write_.outstanding)
        return 1;
    DWORD written = 0;
    if (!GetOverlappedResult(port_.get(), &write_.record, &written, FALSE) &&
        GetLastError() == ERROR_IO_INCOMPLETE)
        return 0;
    write_.outstanding = false;
    return 1;
}

void Win32SerialPort::Write(const char* data, std::size_t length)
{
    // Still going out a whole window later means the line does not take
    // bytes; another copy queued behind it would not help, and its record
    // and buffer are still in use.
    if (!WriteEnded())
        return;
    if (length > sizeof writeBuffer_)
        length = sizeof writeBuffer_;
    std::memcpy(writeBuffer_, data, length);
    write_.outstanding =
        !WriteFile(port_.get(), writeBuffer_, static_cast<DWORD>(length), nullptr, &write_.record) &&
        GetLastError() == ERROR_IO_PENDING;
}

// A wait that completes at once is treated like one that completes later:
// its record holds the result either way, and the next poll takes it.
int Win32SerialPort::StartEventWait()
{
    if (wait_.outstanding)
        return 1;
    waitEvents_ = 0;
    wait_.outstanding = WaitCommEvent(port_.get(), &waitEvents_, &wait_.record) ||
                        GetLastError() == ERROR_IO_PENDING;
    return wait_.outstanding ? 1 : 0;
}

int Win32SerialPort::PollEventWait(std::uint32_t* events)
{
    *events = 0;
    if (!wait_.outstanding)
        return 1;
    DWORD unused = 0;
    if (GetOverlappedResult(port_.get(), &wait_.record, &unused, FALSE))
        *events = waitEvents_;
    else if (GetLastError() == ERROR_IO_INCOMPLETE)
        return 0;
    wait_.outstanding = false;
    return 1;
}

int Win32SerialPort::ReadByte(char* byte)
{
    if (read_.outstanding)
        return 0;
    if (ReadFile(port_.get(), &readByte_, 1, nullptr, &read_.record)) {
        DWORD got = 0;
        if (GetOverlappedResult(port_.get(), &read_.record, &got, FALSE) && got == 1) {
            *byte = readByte_;
            return 1;
        }
        return 0;
    }
    // Nothing buffered: Windows completes such a read at once with no byte,
    // Wine leaves it pending. Either way the answer ends here.
    if (GetLastError() == ERROR_IO_PENDING) {
        read_.outstanding = true;
        CancelOutstanding();
    }
    return 0;
}

void Win32SerialPort::CancelOutstanding()
{
    if (!write_.outstanding && !wait_.outstanding && !read_.outstanding)
        return;
    // Changing the mask is what ends a pending event wait (CancelIo does not
    // under Wine, whose wait on a real tty is a polling thread); CancelIo
    // ends the write and the read.
    if (wait_.outstanding)
        SetCommMask(port_.get(), 0);
    CancelIo(port_.get());
    for (Operation* operation : {&write_, &wait_, &read_}) {
        // An operation that does not end keeps its record and buffer
        // reserved for the rest of the process rather than hang the tool.
        if (operation->outstanding &&
            WaitForSingleObject(operation->record.hEvent, kCancelWaitMilliseconds) == WAIT_OBJECT_0)
            operation->outstanding = false;
    }
}
