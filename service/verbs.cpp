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

// Whether a service of this name stays registered after "setup" failed
// with createError (0 when it never came to CreateServiceA). One marked for
// deletion goes as soon as its last handle closes: it does not count. A
// service that cannot be opened for a reason other than its absence does.
bool ServiceRemains(const char* name, DWORD createError)
{
    if (createError == ERROR_SERVICE_MARKED_FOR_DELETE)
        return false;
    unique_schandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager)
        return true;
    unique_schandle service(OpenServiceA(manager.get(), name, SERVICE_QUERY_STATUS));
    return service || GetLastError() != ERROR_SERVICE_DOES_NOT_EXIST;
}

// A failed "setup" takes back the dependency that it added itself: Merlow
// depending on a service that does not exist is refused its start (error
// 1075) at every boot. A dependency that was there before stays.
int SetupFailed(bool addedDependency, DWORD createError, const char* text, int exitCode)
{
    if (addedDependency && !ServiceRemains(currentService->ServiceName(), createError))
        EditDependency(kManagerServiceName, kCompanionServiceName, DEPEND_REMOVE);
    return Say(text, exitCode);
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
    const bool added = EditDependency(kManagerServiceName, kCompanionServiceName, DEPEND_ADD) == 1;

    // A path that GetModuleFileNameA could not give whole would register a
    // service that can never start, so it counts as a registration error.
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path)
        return SetupFailed(added, 0, kConsoleRegistrationError, 2);

    InstallEventSource(kCompanionServiceName, path);
    unique_schandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE));
    if (!manager)
        return SetupFailed(added, 0, kConsoleCannotOpenScm, 1);
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
    if (!service) {
        const DWORD err = GetLastError();
        return SetupFailed(added, err, kConsoleRegistrationError, 2);
    }
    std::fputs(path, stdout);
    return Say(kConsoleRegistered, 0);
}

int RunDependencyVerb(DependencyMode mode)
{
    EditDependency(kManagerServiceName, kCompanionServiceName, mode);
    return 0;
}
