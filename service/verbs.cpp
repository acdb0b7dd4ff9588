#include "service/verbs.h"

#include "common/merlow_service.h"
#include "common/unique_handle.h"
#include "service/companion_service.h"
#include "service/event_source.h"
#include "service/messages.h"
#include "supervision/dependency_list.h"
#include "supervision/service_control.h"

#include <cstdio>
#include <cstring>

namespace {

int Say(const char* text, int exitCode)
{
    std::fputs(text, stdout);
    std::fflush(stdout);
    return exitCode;
}

bool SameLetters(const char* a, const char* b)
{
    for (; *a && *b; ++a, ++b) {
        char x = *a, y = *b;
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return *a == *b;
}

}  // namespace

const char* MatchVerb(const char* argument)
{
    static const char* const verbs[] = {"delete", "setup", "delDepend", "addDepend"};
    for (const char* verb : verbs)
        if (SameLetters(argument, verb))
            return verb;
    return nullptr;
}

int RunDeleteVerb()
{
    EditDependency(kManagerServiceName, kCompanionServiceName, DEPEND_REMOVE);
    RemoveEventSource(kCompanionServiceName);
    unique_schandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE));
    if (!manager)
        return Say(kConsoleCannotOpenScm, 1);
    unique_schandle service(OpenServiceA(manager.get(), currentService->ServiceName(), DELETE));
    if (!service)
        return Say(kConsoleCannotOpenService, 2);
    if (!DeleteService(service.get()))
        return Say(kConsoleCannotDelete, 3);
    return Say(kConsoleServiceDeleted, 0);
}

int RunSetupVerb()
{
    EditDependency(kManagerServiceName, kCompanionServiceName, DEPEND_ADD);

    // A path that GetModuleFileNameA could not give whole would register a
    // service that can never start, so it counts as a registration error.
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path)
        return Say(kConsoleRegistrationError, 2);

    InstallEventSource(kCompanionServiceName, path);
    unique_schandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE));
    if (!manager)
        return Say(kConsoleCannotOpenScm, 1);
    // The SCM runs an unquoted image path with a blank by trying each
    // blank-separated prefix in turn ("C:\Ombrix.exe" before "C:\Ombrix
    // Soft\..."), as LocalSystem: such a path goes in double quotes.
    char imagePath[MAX_PATH + 2];
    std::snprintf(imagePath, sizeof imagePath, std::strchr(path, ' ') ? "\"%s\"" : "%s", path);
    const char* name = currentService->ServiceName();
    unique_schandle service(CreateServiceA(
        manager.get(), name, name, SERVICE_ALL_ACCESS,
        SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS, SERVICE_AUTO_START,
        SERVICE_ERROR_NORMAL, imagePath, nullptr, nullptr, nullptr, nullptr, nullptr));
    if (!service)
        return Say(kConsoleRegistrationError, 2);
    std::fputs(path, stdout);
    return Say(kConsoleRegistered, 0);
}

int RunDependencyVerb(DependencyMode mode)
{
    EditDependency(kManagerServiceName, kCompanionServiceName, mode);
    return 0;
}
