#include "serial/serovox.h"

#include "serial/command_line.h"

int RunSerovox(int argc, char* const argv[], SerialPort& port, const Tick& tick, std::FILE* out,
               std::FILE* err)
{
    Request request;
    const int status = ParseCommandLine(argc, argv, &request, err);
    if (status != 0)
        return status;
    if (!port.Open(request.portName)) {
        std::fprintf(err, "Unable to open serial port(%s).\n", request.portName);
        return 3;
    }
    char answer[kAnswerSize];
    const int answered = Exchange(port, request.command, tick, answer);
    // A silent window's event wait may still be outstanding; it must end
    // before the port is closed and its records go away.
    port.CancelOutstanding();
    if (answered)
        std::fprintf(out, "%s\n", answer);
    else
        std::fputs("no answer.\n", out);
    return 0;
}
