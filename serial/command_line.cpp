#include "serial/command_line.h"

#include <cstring>

namespace {

constexpr char kUsage[] =
    "Usage - serovox [-P[0|1|2|3]] cmd\n"
    "  -P   specify the communication port number.\n"
    "       0:COM1 (default)\n"
    "       1:COM2\n"
    "       2:COM3\n"
    "       3:COM4\n"
    "  cmd  command string that is sent to UPS.\n";

constexpr std::size_t kCommandTextMax = 62;

// -P with the port digit in the same argument; anything after the digit
// is ignored. 0 when the argument is no such option.
int ParsePortOption(const char* argument, Request* request)
{
    if (argument[1] != 'P' || argument[2] < '0' || argument[2] > '3')
        return 0;
    // Digit d selects COM(d+1).
    std::memcpy(request->portName, "COM1:", sizeof "COM1:");
    request->portName[3] = static_cast<char>(argument[2] + 1);
    return 1;
}

// Each command replaces the one before it completely, so nothing of a
// longer earlier command survives behind the carriage return.
void SetCommand(const char* argument, Request* request)
{
    std::memset(request->command, 0, sizeof request->command);
    std::size_t length = std::strlen(argument);
    if (length > kCommandTextMax)
        length = kCommandTextMax;
    std::memcpy(request->command, argument, length);
    request->command[length] = '\r';
}

}  // namespace

int ParseCommandLine(int argc, char* const argv[], Request* request, std::FILE* err)
{
    if (argc < 2) {
        std::fputs(kUsage, err);
        return 1;
    }
    std::memset(request, 0, sizeof *request);
    std::memcpy(request->portName, "COM1:", sizeof "COM1:");
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (argument[0] != '-') {
            SetCommand(argument, request);
        } else if (!ParsePortOption(argument, request)) {
            std::fprintf(err, "Illegal parameter - %s.\n", argument);
            return 2;
        }
    }
    return 0;
}
