#include "setup/upgrade.h"

#include "common/merlow_service.h"
#include "common/path_split.h"
#include "common/query_service_config.h"
#include "common/registry_string.h"
#include "common/run_hidden.h"
#include "common/system_command.h"
#include "common/system_folder.h"
#include "common/unique_handle.h"
#include "setup/folders.h"
#include "setup/install_error.h"


bool RemovePreviousCompanion()
{
    char uninstall[387];
    char folder[sizeof uninstall];
    if (!ReadRegistryString(HKEY_LOCAL_MACHINE, kProductUninstallKey, kProductUninstallValue,
                            uninstall, sizeof uninstall) ||
        DriveAndDirectory(uninstall, folder, sizeof folder) != 0) {
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
    unique_process process;
    if (!RunHidden(commandLine, folder, &process))
        return false;
    WaitForSingleObject(process.process(), 10000);
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
