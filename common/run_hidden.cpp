#include "common/run_hidden.h"

int RunHidden(char* commandLine, const char* currentDirectory, unique_process* out)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION started = {};
    out->reset();
    if (!CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE,
                        CREATE_DEFAULT_ERROR_MODE | NORMAL_PRIORITY_CLASS, nullptr,
                        currentDirectory, &startup, &started))
        return 0;
    *out = unique_process(started);
    return 1;
}
