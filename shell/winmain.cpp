// Process entry and the user-interface thread's message loop.
#include "shell.h"
#include "../res/resource.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR lpCmdLine, int nCmdShow)
{
    (void)hPrevInstance;
    (void)lpCmdLine;

    if (!CreateMainWindow(hInstance, nCmdShow))
        return 0;

    HACCEL hAccel = LoadAcceleratorsW(hInstance, MAKEINTRESOURCEW(IDA_MAIN));

    // While a modal dialog runs, its own loop takes the messages and these
    // accelerators are not offered.
    MSG msg;
    while (GetMessageW(&msg, NULL, 0, 0))
    {
        if (!TranslateAcceleratorW(msg.hwnd, hAccel, &msg))
        {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return (int)msg.wParam;
}
