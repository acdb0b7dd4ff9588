#include "common/dll_search.h"
#include "common/merlow_service.h"
#include "common/program_directory.h"
#include "common/run_hidden.h"
#include "common/system_command.h"
#include "common/system_folder.h"
#include "setup/folders.h"
#include "setup/install_error.h"
#include "setup/manager_folder.h"
#include "setup/message_box.h"
#include "setup/messages.h"
#include "setup/outcome.h"
#include "setup/package_copy.h"
#include "setup/product_hook.h"
#include "setup/version_gate.h"

#include <windows.h>

#include <cstdio>

namespace {

// How long registration may take before "net start" goes ahead anyway.
constexpr DWORD kSetupWaitMs = 30000;

// Starts a command hidden in the installer's own current directory and
// waits at most waitMs for it; its outcome is not looked at.
void Launch(char* commandLine, DWORD waitMs)
{
    unique_process process;
    if (!RunHidden(commandLine, nullptr, &process))
        return;
    if (waitMs != 0)
        WaitForSingleObject(process.process(), waitMs);
}

// Registers the companion: "setup" is waited for (bounded) and has to end
// with 0. A registration that failed (for instance MERLOWSP registered
// from another folder) or did not end in time stores 3000; the installer
// goes on all the same, as it does after its other failures. A "setup"
// that cannot be started at all (an empty package) is not looked at, as
// before.
void Register(char* commandLine, DWORD waitMs)
{
    unique_process process;
    if (!RunHidden(commandLine, nullptr, &process))
        return;
    DWORD exitCode = 1;
    if (WaitForSingleObject(process.process(), waitMs) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(process.process(), &exitCode) || exitCode != 0)
        SetInstallError(kErrorRegistration);
}

void Install()
{
    char managerFolder[kPathBuffer];
    if (!GetManagerFolder(managerFolder)) {
        ShowSetupMessage(kMessageNoManagerFolder, MB_ICONWARNING, kExitNoManagerFolder);
        return;
    }

    // Without the installer's own folder there is no package to copy: a
    // relative "files\" would be looked for in whatever the current
    // directory is.
    char packageFolder[kPathBuffer];
    if (!GetProgramFilePath(kPackageFolderName, packageFolder)) {
        ShowSetupMessage(kMessageCopyFailed, MB_ICONERROR, kExitCopyFailed);
        return;
    }
    char managerProgram[kPathBuffer];
    char installedCompanion[kPathBuffer];
    char newCompanion[kPathBuffer];
    JoinPath(managerProgram, managerFolder, kManagerProgramName);
    CompanionPath(installedCompanion, managerFolder);
    CompanionPath(newCompanion, packageFolder);

    if (!CheckVersions(managerProgram, installedCompanion, newCompanion))
        return;

    char deletionList[kPathBuffer];
    if (!CopyPackageFiles(packageFolder, managerFolder, deletionList)) {
        ShowSetupMessage(kMessageCopyFailed, MB_ICONERROR, kExitCopyFailed);
        return;
    }

    // Registration has to be done before the start; it can take well over
    // the 200 ms pause on a loaded machine, so it is waited for (bounded).
    char commandLine[1024];
    std::snprintf(commandLine, sizeof commandLine, "\"%s%s.exe\" setup", managerFolder,
                  kCompanionBaseName);
    Register(commandLine, kSetupWaitMs);
    Sleep(200);
    char systemFolder[MAX_PATH];
    char arguments[32];
    std::snprintf(arguments, sizeof arguments, "start %s", kCompanionBaseName);
    if (GetSystemFolder(systemFolder, sizeof systemFolder) &&
        SystemProgramCommandLine(systemFolder, "net.exe", arguments, commandLine,
                                 sizeof commandLine))
        Launch(commandLine, 0);

    HookProductUninstall(managerFolder, installedCompanion);

    if (GetInstallError() == 0) {
        ShowSetupMessage(kMessageInstallCompleted, MB_ICONINFORMATION, kExitInstalled);
        return;
    }
    char text[1024];
    std::snprintf(text, sizeof text, kMessageInstallFailed, GetInstallError());
    ShowSetupMessage(text, MB_ICONERROR, GetInstallError());
}

}  // namespace

// Without a window of its own: one message box and exit code 0, or with
// /quiet no box and the outcome as exit code, for deployment tools.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    RestrictDllSearch();
    SetQuietRun(IsQuietSwitch(commandLine));
    Install();
    return IsQuietRun() ? GetSetupOutcome() : 0;
}
