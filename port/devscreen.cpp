// Desktop stand-in for the device's placement of top-level windows.
//
// On the handheld a top-level window created with CW_USEDEFAULT takes the whole work
// area (the screen above the task bar), and a window whose style asks for no caption
// (neither WS_CAPTION nor WS_POPUP) has none. The desktop instead gives such a window a
// default size of its own, and every overlapped window a caption. Off the device, on a
// screen of the handheld's size, this stand-in makes the desktop do what the device
// does, so that the program is seen as on the device (for instance in a 240 x 320 Wine
// virtual desktop).
//
// The rule applies only when the screen is handheld-sized: both sides at most
// PORT_HANDHELD_MAX_SIDE pixels. On a larger screen (a desktop, or Wine's null driver
// with its 1024 x 768 screen, where the tests run) windows are placed as the desktop
// places them.
//
// Wine settles CW_USEDEFAULT before any hook sees the window, so the rule sits in the
// call itself: platform.h routes the program's CreateWindowExW here off the device.
#include "platform.h"

// The largest side, in pixels, of a screen taken to be the handheld's.
#define PORT_HANDHELD_MAX_SIDE 640

// The thread the desktop entry point switched the rule on for (0: none).
static DWORD s_dwScreenThread = 0;

BOOL PortIsHandheldScreen(void)
{
    int cx = GetSystemMetrics(SM_CXSCREEN);
    int cy = GetSystemMetrics(SM_CYSCREEN);
    return cx > 0 && cy > 0 && cx <= PORT_HANDHELD_MAX_SIDE && cy <= PORT_HANDHELD_MAX_SIDE;
}

BOOL PortEnableDeviceScreen(void)
{
    if (s_dwScreenThread)
        return s_dwScreenThread == GetCurrentThreadId();
    s_dwScreenThread = GetCurrentThreadId();
    return TRUE;
}

#undef CreateWindowExW

HWND PortCreateWindowExW(DWORD dwExStyle, LPCWSTR lpClassName, LPCWSTR lpWindowName, DWORD dwStyle,
                         int x, int y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu,
                         HINSTANCE hInstance, LPVOID lpParam)
{
    BOOL fDeviceRule = s_dwScreenThread == GetCurrentThreadId() && (dwStyle & WS_CHILD) == 0 &&
                       x == (int)CW_USEDEFAULT && PortIsHandheldScreen();
    if (fDeviceRule)
    {
        RECT rcWork;
        if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &rcWork, 0))
            SetRect(&rcWork, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
        x = rcWork.left;
        y = rcWork.top;
        nWidth = rcWork.right - rcWork.left;
        nHeight = rcWork.bottom - rcWork.top;
    }

    HWND hWnd = CreateWindowExW(dwExStyle, lpClassName, lpWindowName, dwStyle, x, y, nWidth, nHeight,
                                hWndParent, hMenu, hInstance, lpParam);

    // The desktop gives every overlapped window a caption; the device only the windows
    // that ask for one. The client area grows by the caption (WM_SIZE follows).
    if (hWnd && fDeviceRule && (dwStyle & (WS_CAPTION | WS_POPUP)) == 0)
    {
        DWORD dwNow = (DWORD)GetWindowLongW(hWnd, GWL_STYLE);
        SetWindowLongW(hWnd, GWL_STYLE, (LONG)(dwNow & ~(DWORD)WS_CAPTION));
        SetWindowPos(hWnd, NULL, 0, 0, 0, 0,
                     SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return hWnd;
}
