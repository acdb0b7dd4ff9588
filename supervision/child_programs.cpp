#include "supervision/child_programs.h"

#include "common/program_directory.h"
#include "common/run_hidden.h"
#include "common/system_command.h"
#include "common/system_folder.h"
#include "supervision/program_command.h"
#include "supervision/startup_config.h"

#include <vector>

namespace {

// The program directory (up to 259 bytes) joined with a program text (up
// to 255 bytes), two quotes and the end byte.
constexpr size_t kCommandLineSize = MAX_PATH + kFieldSize + 2;

// The interpreter's path and startup.bat's, each up to 259 bytes, with
// the quotes and switches around them.
constexpr size_t kScriptCommandLineSize = 2 * MAX_PATH + 32;

constexpr char kStartupScriptName[] = "startup.bat";

// EnumWindows callback: posts WM_CLOSE to the first window of the entry's
// process and ends the enumeration.
BOOL CALLBACK CloseChildWindow(HWND window, LPARAM entry)
{
    const auto* child = reinterpret_cast<const ChildProcess*>(entry);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId != child->process.id())
        return TRUE;
    PostMessageA(window, WM_CLOSE, 0, 0);
    return FALSE;
}

}  // namespace

int StartupConfigPath(char* path)
{
    return GetProgramFilePath(kStartupConfigName, path);
}

int RunStartupScript(unique_process* scriptProcess)
{
    char directory[MAX_PATH];
    char script[MAX_PATH];
    char systemFolder[MAX_PATH];
    char commandLine[kScriptCommandLineSize];
    if (!GetProgramDirectory(directory) || !GetProgramFilePath(kStartupScriptName, script) ||
        !GetSystemFolder(systemFolder, sizeof systemFolder) ||
        !InterpreterCommandLine(systemFolder, script, commandLine, sizeof commandLine)) {
        scriptProcess->reset();
        return 0;
    }
    return RunHidden(commandLine, directory, scriptProcess);
}

int LaunchChildPrograms(ChildProcess* children, LONG* count,
                        ProgramNotStartedReporter reportNotStarted)
{
    char directory[MAX_PATH];
    char configPath[MAX_PATH];
    if (!GetProgramDirectory(directory) || !StartupConfigPath(configPath))
        return 1;
    const int capacity = *count < 0 ? 0 : (*count > kChildCapacity ? kChildCapacity : *count);
    std::vector<ProgramLine> lines(kChildCapacity);
    const int read = ReadProgramLines(configPath, lines.data(), capacity);
    if (read < 0)
        return 1;
    for (int i = 0; i < read; ++i) {
        children[i].waitMs = lines[i].waitMs;
        children[i].process.reset();
        if (lines[i].programText[0] == '\0')
            continue;  // an unusable line: an empty entry
        char commandLine[kCommandLineSize];
        JoinProgramCommandLine(directory, lines[i].programText, commandLine, sizeof commandLine);
        if (!RunHidden(commandLine, directory, &children[i].process)) {
            const DWORD error = GetLastError();
            reportNotStarted(lines[i].programText, error);
        }
    }
    *count = read;
    return 1;
}

int WaitChildPrograms(ChildProcess* children, LONG count, HANDLE stopRequested)
{
    for (LONG i = 0; i < count; ++i) {
        if (!children[i].process || children[i].waitMs == kNoWait)
            continue;
        const DWORD milliseconds = static_cast<DWORD>(children[i].waitMs);
        if (stopRequested == nullptr) {
            WaitForSingleObject(children[i].process.process(), milliseconds);
            continue;
        }
        HANDLE handles[] = {children[i].process.process(), stopRequested};
        if (WaitForMultipleObjects(2, handles, FALSE, milliseconds) == WAIT_OBJECT_0 + 1)
            break;
    }
    return 1;
}

void CloseChildPrograms(ChildProcess* children, LONG count)
{
    for (LONG i = 0; i < count; ++i)
        if (children[i].process)
            EnumWindows(CloseChildWindow, reinterpret_cast<LPARAM>(&children[i]));
    Sleep(1000);
    for (LONG i = 0; i < count; ++i) {
        unique_process& process = children[i].process;
        if (!process)
            continue;
        if (WaitForSingleObject(process.process(), 10) == WAIT_TIMEOUT)
            TerminateProcess(process.process(), 0);
        process.reset();
    }
}
