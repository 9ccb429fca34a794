// Desktop stand-in for the device's caption OK button: the close button, the system
// menu's Close and Alt+F4 send IDOK to a dialog with WS_EX_CAPTIONOKBTN, as its caption
// OK button does on the device.
#include "platform.h"

#include "subclass.h"

// The property that holds the procedure the stand-in replaced.
#define CAPTION_OK_SUBCLASS L"StripewellCaptionOk"

// The hook and the one thread it watches (the user-interface thread).
static HHOOK s_hCbtHook = NULL;
static DWORD s_dwHookThread = 0;

// On the device a dialog whose extended style carries WS_EX_CAPTIONOKBTN gets an OK
// button in its caption that sends the dialog WM_COMMAND IDOK; the About dialog ends
// only through it (or IDCANCEL). A desktop caption has no such button, but it has the
// close button (the dialog has WS_SYSMENU), so off the device the close button, the
// system menu's Close and Alt+F4 (all WM_SYSCOMMAND SC_CLOSE) send IDOK instead of
// the desktop's IDCANCEL. The dialog procedure therefore sees exactly what it sees on
// the device.
//
// The bit itself is no desktop style. Desktop Win32 defines nothing for it, and the
// window manager of Windows NT uses it internally (between user32 and the kernel it
// marks a window created through the ANSI functions). Wine 8 keeps it on the window
// and gives it no meaning: measured, a dialog created with it is a Unicode window,
// shows its Japanese caption and handles SC_CLOSE exactly as without it. The stand-in
// takes the bit off the window in WM_CREATE all the same, so that nothing later reads
// a reserved bit. (A build for desktop Windows itself would have to take it out of the
// template before the dialog is created.)
static LRESULT CALLBACK CaptionOkSubclassProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message)
    {
    case WM_CREATE:
        // The window manager has settled the extended style by now.
        SetWindowLongW(hWnd, GWL_EXSTYLE,
                       (LONG)((DWORD)GetWindowLongW(hWnd, GWL_EXSTYLE) & ~(DWORD)WS_EX_CAPTIONOKBTN));
        break;

    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE)
        {
            SendMessageW(hWnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            return 0;
        }
        break;

    case WM_NCDESTROY:
    {
        LRESULT lResult = PortCallNext(CAPTION_OK_SUBCLASS, hWnd, message, wParam, lParam);
        PortUnsubclass(hWnd, CAPTION_OK_SUBCLASS, CaptionOkSubclassProc);
        return lResult;
    }
    }
    return PortCallNext(CAPTION_OK_SUBCLASS, hWnd, message, wParam, lParam);
}

// A thread-local WH_CBT hook finds the windows to treat as they are created, so the
// shell's code creates its dialogs as it does on the device.
static LRESULT CALLBACK CaptionOkCbtProc(int nCode, WPARAM wParam, LPARAM lParam)
{
    if (nCode == HCBT_CREATEWND)
    {
        HWND hWnd = (HWND)wParam;
        const CBT_CREATEWNDW *pCreate = (const CBT_CREATEWNDW *)lParam;
        if (pCreate->lpcs->dwExStyle & WS_EX_CAPTIONOKBTN)
            PortSubclass(hWnd, CAPTION_OK_SUBCLASS, CaptionOkSubclassProc);
    }
    return CallNextHookEx(s_hCbtHook, nCode, wParam, lParam);
}

BOOL PortEnableCaptionOkButtons(void)
{
    if (s_hCbtHook)
        return s_dwHookThread == GetCurrentThreadId();
    s_hCbtHook = SetWindowsHookExW(WH_CBT, CaptionOkCbtProc, NULL, GetCurrentThreadId());
    if (!s_hCbtHook)
        return FALSE;
    s_dwHookThread = GetCurrentThreadId();
    return TRUE;
}
