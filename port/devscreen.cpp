// Desktop stand-in for the device's placement of top-level windows: on a screen of the
// handheld's size, or the one a start program names, a window takes the work area as
// on the device (see PortCreateWindowExW).
#include "platform.h"

// The rule applies only when the screen is handheld-sized: both sides at most
// PORT_HANDHELD_MAX_SIDE pixels. On a larger screen (a desktop, or Wine's null driver
// with its 1024 x 768 screen, where the tests run) windows are placed as the desktop
// places them.
//
// The largest side, in pixels, of a screen taken to be the handheld's.
#define PORT_HANDHELD_MAX_SIDE 640
// The sides a named device screen may have, in pixels.
#define PORT_NAMED_MIN_SIDE 100
#define PORT_NAMED_MAX_SIDE 4096
#define PORT_NAMED_VARIABLE L"STRIPEWELL_DEVICE_SCREEN"
// Characters of the variable's value read; a longer value is not WxH.
#define PORT_NAMED_CHARS 16

// The thread the desktop entry point switched the rule on for (0: none).
static DWORD s_dwScreenThread = 0;
// The device screen a start program named (0 x 0: none).
static int s_cxNamed = 0;
static int s_cyNamed = 0;

// One side of WxH: the decimal number at *ppsz, up to the character cEnd; advances past it.
static int ReadSide(LPCWSTR *ppsz, WCHAR cEnd)
{
    int n = 0;
    LPCWSTR psz = *ppsz;
    while (*psz >= L'0' && *psz <= L'9' && n <= PORT_NAMED_MAX_SIDE)
        n = n * 10 + (*psz++ - L'0');
    if (psz == *ppsz || *psz != cEnd || n < PORT_NAMED_MIN_SIDE || n > PORT_NAMED_MAX_SIDE)
        return 0;
    *ppsz = psz + (cEnd ? 1 : 0);
    return n;
}

// On a desktop's own screen (Windows has no Wine virtual desktop) a start program names
// the device's screen for the program instead: STRIPEWELL_DEVICE_SCREEN=WxH in the
// program's environment makes the work area's top-left W x H pixels the device's work
// area, on a screen of any size. The program centres its dialogs in screen coordinates
// from its main window's client size, so they land inside that area, as on the device.
// Without the variable the program is an ordinary window of the desktop.
//
// Reads STRIPEWELL_DEVICE_SCREEN; a value that is not WxH is said and left out.
static void ReadNamedScreen(void)
{
    WCHAR szValue[PORT_NAMED_CHARS];
    DWORD cch = GetEnvironmentVariableW(PORT_NAMED_VARIABLE, szValue, PORT_NAMED_CHARS);
    if (cch == 0)
        return;
    LPCWSTR psz = szValue;
    int cx = cch < PORT_NAMED_CHARS ? ReadSide(&psz, L'x') : 0;
    int cy = cx ? ReadSide(&psz, L'\0') : 0;
    if (!cy)
    {
        NKDbgPrintfW(L"port: %s must be WIDTHxHEIGHT, each side %d to %d pixels; "
                     L"its value is left out, and the windows are placed as the desktop places them",
                     PORT_NAMED_VARIABLE, PORT_NAMED_MIN_SIDE, PORT_NAMED_MAX_SIDE);
        return;
    }
    s_cxNamed = cx;
    s_cyNamed = cy;
}

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
    ReadNamedScreen();
    return TRUE;
}

#undef CreateWindowExW

// On the handheld a top-level window created with CW_USEDEFAULT takes the whole work
// area (the screen above the task bar), and a window whose style asks for no caption
// (neither WS_CAPTION nor WS_POPUP) has none. The desktop instead gives such a window a
// default size of its own, and every overlapped window a caption. Off the device, on a
// screen of the handheld's size, this stand-in makes the desktop do what the device
// does, so that the program is seen as on the device (for instance in a 240 x 320 Wine
// virtual desktop).
//
// Wine settles CW_USEDEFAULT before any hook sees the window, so the rule sits in the
// call itself: platform.h routes the program's CreateWindowExW here off the device.
HWND PortCreateWindowExW(DWORD dwExStyle, LPCWSTR lpClassName, LPCWSTR lpWindowName, DWORD dwStyle,
                         int x, int y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu,
                         HINSTANCE hInstance, LPVOID lpParam)
{
    BOOL fDeviceRule = s_dwScreenThread == GetCurrentThreadId() && (dwStyle & WS_CHILD) == 0 &&
                       x == (int)CW_USEDEFAULT && (s_cxNamed || PortIsHandheldScreen());
    if (fDeviceRule)
    {
        RECT rcWork;
        if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &rcWork, 0))
            SetRect(&rcWork, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
        x = rcWork.left;
        y = rcWork.top;
        nWidth = s_cxNamed ? s_cxNamed : rcWork.right - rcWork.left;
        nHeight = s_cyNamed ? s_cyNamed : rcWork.bottom - rcWork.top;
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
