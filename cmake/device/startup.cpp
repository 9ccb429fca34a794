// The device-shaped build's start-up code, standing where the device SDK's does: this
// build links no runtime.
#include <windows.h>

// The device's kernel enters a program with the four arguments of WinMain already made
// (hPrevInstance always 0, the command line wide); its start-up code hands them to
// WinMain, and the primary thread's end, with WinMain's result as exit code, ends the
// process.
extern "C" void WINAPI WinMainCRTStartup(HINSTANCE hInstance, HINSTANCE hPrevInstance,
                                         LPWSTR lpCmdLine, int nCmdShow)
{
    ExitThread((DWORD)WinMain(hInstance, hPrevInstance, lpCmdLine, nCmdShow));
}
