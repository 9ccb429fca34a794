// Desktop entry point. The device's runtime calls the program's WinMain with a wide
// command line; the desktop's (built with -municode) calls wWinMain, which hands over
// to it after switching on what the device's window manager gives every program.
#include "platform.h"

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR lpCmdLine, int nCmdShow)
{
    PortEnableCaptionOkButtons();
    PortEnableDeviceScreen();
    PortEnableCrossThreadItemText();
    return WinMain(hInstance, hPrevInstance, lpCmdLine, nCmdShow);
}
