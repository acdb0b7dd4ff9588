// serovox: sends one command to a UPS on COM1 to COM4 and prints its answer.
#include "common/dll_search.h"
#include "serial/serovox.h"
#include "serial/win32_port.h"

#include <windows.h>

#include <cstdio>

int main(int argc, char* argv[])
{
    RestrictDllSearch();
    // Static: see Win32SerialPort.
    static Win32SerialPort port;
    return RunSerovox(argc, argv, port, [] { Sleep(100); }, stdout, stderr);
}
