#include <windows.h>

// Skeleton of the installer: a GUI-subsystem program without a window.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    return 0;
}
