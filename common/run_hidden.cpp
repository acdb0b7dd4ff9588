#include "common/run_hidden.h"

int RunHidden(char* commandLine, const char* currentDirectory, PROCESS_INFORMATION* out)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE,
                        CREATE_DEFAULT_ERROR_MODE | NORMAL_PRIORITY_CLASS, nullptr,
                        currentDirectory, &startup, &process)) {
        out->hProcess = nullptr;
        out->hThread = nullptr;
        return 0;
    }
    *out = process;
    return 1;
}
