#include "serial/exchange.h"

#include <cstring>

namespace {

constexpr int kLastTick = 20;
constexpr int kTickWhenNoticed = 10;  // leaves 11 ticks, the noticing one included
constexpr int kSilentWindowsBeforeGivingUp = 3;

// The event wait is carried over from tick to tick and from one window to
// the next: a wait that was started before a resend may still deliver the
// answer to the earlier send.
struct Listener {
    SerialPort& port;
    bool waiting;
    std::uint32_t events;

    void TakeEndedWait()
    {
        std::uint32_t delivered = 0;
        if (waiting && port.PollEventWait(&delivered)) {
            waiting = false;
            events = delivered;
        }
    }
};

// 1 when a received character was noticed in this window.
int ListenOneWindow(Listener& listener, const Tick& tick)
{
    bool noticed = false;
    listener.events = 0;
    for (int t = 0; t <= kLastTick; ++t) {
        listener.TakeEndedWait();
        // A wait that ended with only the send queue empty counts for
        // nothing; start the next one.
        if (!noticed && !listener.waiting && (listener.events & kEventCharReceived) == 0) {
            listener.waiting = listener.port.StartEventWait() != 0;
            listener.TakeEndedWait();
        }
        if (listener.events & kEventCharReceived) {
            listener.events = 0;
            noticed = true;
            t = kTickWhenNoticed;
        }
        tick();
    }
    return noticed;
}

// Reads what is buffered, one byte a call, until a read does not deliver
// at once. It stops at 127 bytes so that the answer and its NUL always
// fit; a longer answer's surplus is left unread.
void ReadAnswer(SerialPort& port, char (&answer)[kAnswerSize])
{
    std::size_t stored = 0;
    char byte = 0;
    while (stored < sizeof answer - 1 && port.ReadByte(&byte))
        answer[stored++] = byte;
    if (stored > 0 && answer[stored - 1] == '\r')
        answer[stored - 1] = '\0';
}

}  // namespace

int Exchange(SerialPort& port, const char* command, const Tick& tick, char (&answer)[kAnswerSize])
{
    std::memset(answer, 0, sizeof answer);
    Listener listener = {port, false, 0};
    const std::size_t length = std::strlen(command);
    for (int silentWindows = 0;;) {
        port.Write(command, length);
        if (ListenOneWindow(listener, tick)) {
            ReadAnswer(port, answer);
            return 1;
        }
        if (++silentWindows > kSilentWindowsBeforeGivingUp)
            return 0;
    }
}
