#include "setup/upgrade.h"

#include "common/merlow_service.h"
#include "common/query_service_config.h"
#include "common/registry_string.h"
#include "common/run_hidden.h"
#include "common/system_command.h"
#include "common/system_folder.h"
#include "common/unique_handle.h"
#include "setup/companion_stop.h"
#include "setup/folders.h"
#include "setup/image_path.h"
#include "setup/install_error.h"

namespace {

// How long the upgrade waits for the previous uninstall script to end and
// the previous companion to stop, counted from the start of the script.
constexpr DWORD kCompanionStopWaitMs = 30000;

}  // namespace

bool RemovePreviousCompanion()
{
    char uninstall[387];
    char folder[sizeof uninstall];
    if (!ReadRegistryString(HKEY_LOCAL_MACHINE, kProductUninstallKey, kProductUninstallValue,
                            uninstall, sizeof uninstall) ||
        CommandFolder(uninstall, folder, sizeof folder) != 0) {
        SetInstallError(kErrorUninstallString);
        return false;
    }
    char script[kPathBuffer];
    char systemFolder[MAX_PATH];
    char commandLine[2 * kPathBuffer];
    if (JoinPath(script, folder, kCompanionUninstallScript) != 0 ||
        !GetSystemFolder(systemFolder, sizeof systemFolder) ||
        !InterpreterCommandLine(systemFolder, script, commandLine, sizeof commandLine))
        return false;
    // Until the previous companion's process has ended its merlowsp.exe is
    // in use: neither its deletion list nor the copy could replace it.
    const unique_handle companion = OpenCompanionProcess();
    const DWORD startMs = GetTickCount();
    unique_process process;
    if (!RunHidden(commandLine, folder, &process))
        return false;
    // The script is waited for as a whole, not only until the companion has
    // stopped: on a slow machine its "remove" and its deletion list would
    // otherwise run after the copy, taking away the new registration and
    // the files just copied.
    WaitForSingleObject(process.process(), kCompanionStopWaitMs);
    WaitForCompanionStop(companion, startMs, kCompanionStopWaitMs);
    return true;
}

void RestoreManagerAutoStart()
{
    unique_schandle scm(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!scm)
        return;
    unique_schandle service(OpenServiceA(scm.get(), kManagerServiceName, SERVICE_ALL_ACCESS));
    if (!service)
        return;
    ServiceConfig config;
    if (config.Read(service.get()) && config.Config().dwStartType == SERVICE_DEMAND_START)
        ChangeServiceConfigA(service.get(), SERVICE_NO_CHANGE, SERVICE_AUTO_START,
                             SERVICE_NO_CHANGE, nullptr, nullptr, nullptr, nullptr, nullptr,
                             nullptr, kManagerServiceName);
}
