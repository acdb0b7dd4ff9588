#include "common/dll_search.h"
#include "service/companion_service.h"
#include "service/service_host.h"
#include "service/verbs.h"
#include "supervision/dependency_list.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstring>

// With a verb as its first argument the program registers or unregisters
// itself and ends; with anything else the process belongs to the service
// dispatcher. Started from a console, the dispatcher cannot connect and
// the program ends with 0.
int main(int argc, char** argv)
{
    RestrictDllSearch();
    char* name = const_cast<char*>(currentService->ServiceName());

    // Messages end in one line feed, not the CR LF of text mode.
    _setmode(_fileno(stdout), _O_BINARY);

    const char* verb = argc > 1 ? MatchVerb(argv[1]) : nullptr;
    if (verb != nullptr) {
        if (std::strcmp(verb, "delete") == 0)
            return RunDeleteVerb();
        if (std::strcmp(verb, "setup") == 0)
            return RunSetupVerb();
        return RunDependencyVerb(std::strcmp(verb, "addDepend") == 0 ? DEPEND_ADD : DEPEND_REMOVE);
    }

    SERVICE_TABLE_ENTRYA table[] = {{name, ServiceMain}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherA(table);
}
