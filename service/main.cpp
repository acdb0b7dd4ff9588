#include <windows.h>

// Skeleton of the companion's entry: without a verb the process belongs to
// the service dispatcher. Started from a console the dispatcher cannot
// connect and the program ends with 0.
static void WINAPI ServiceMain(DWORD, char**)
{
}

int main()
{
    static char name[] = "MERLOWSP";
    SERVICE_TABLE_ENTRYA table[] = {{name, ServiceMain}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherA(table) ? 1 : 0;
}
