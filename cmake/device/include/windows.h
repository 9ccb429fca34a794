/* Not the device's SDK. The desktop's <windows.h> (mingw-w64) reshaped like the
   handheld's, for the device-shaped build only: that build compiles the program for
   32-bit x86 against these headers and links it against import libraries of the
   device's system libraries, so that it fails where the device's own build would.

   Like the device's <windows.h>, this one
   - declares the entry point WinMain with a wide command line, the kernel debug output
     NKDbgPrintfW, and EventModify with the event calls that are macros over it;
   - defines WS_OVERLAPPED as the device does and WS_EX_CAPTIONOKBTN, and leaves
     WM_POWERBROADCAST undefined;
   - does not bring in <commctrl.h> (the command bar is declared there);
   - makes every function that the device has neither as an export nor inline unusable:
     a use fails to compile, naming it (unavailable-windows.h, generated from the export
     lists in cmake/device/).
   The device's inline forms over its kernel's data page (GetCurrentThread,
   GetCurrentThreadId, GetCurrentProcess, GetCurrentProcessId, TlsAlloc, TlsFree and
   ExitProcess over them) are not imitated: they compile as on the device but fail the
   link here, naming the function. */
#ifndef STRIPEWELL_DEVICE_WINDOWS_H
#define STRIPEWELL_DEVICE_WINDOWS_H

/* The desktop declares WinMain with a narrow command line; set it aside. */
#define WinMain StripewellDesktopNarrowWinMain
#include_next <windows.h>
#undef WinMain

#undef WS_OVERLAPPED
#define WS_OVERLAPPED (WS_BORDER | WS_CAPTION)
#define WS_EX_CAPTIONOKBTN 0x80000000L
#undef WM_POWERBROADCAST

#ifndef RC_INVOKED

#ifdef __cplusplus
extern "C" {
#endif

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR lpCmdLine, int nCmdShow);

/* The kernel debug output; a line stays under 128 wide characters. */
void NKDbgPrintfW(LPCWSTR lpszFmt, ...);

#define EVENT_PULSE 1
#define EVENT_RESET 2
#define EVENT_SET   3
BOOL WINAPI EventModify(HANDLE hEvent, DWORD dwFunc);

#ifdef __cplusplus
}
#endif

#define SetEvent(hEvent)   EventModify((hEvent), EVENT_SET)
#define ResetEvent(hEvent) EventModify((hEvent), EVENT_RESET)
#define PulseEvent(hEvent) EventModify((hEvent), EVENT_PULSE)
/* A loaded resource's handle is its address. */
#define LockResource(hResData) ((LPVOID)(hResData))
#define DebugBreak() __debugbreak()
/* The dialog calls by template name are macros over the ones that take the template. */
#define DialogBoxParamW(hInstance, lpTemplate, hWndParent, lpDialogFunc, dwInitParam) \
    DialogBoxIndirectParamW((hInstance), \
        (LPCDLGTEMPLATEW)LoadResource((hInstance), FindResourceW((hInstance), (lpTemplate), RT_DIALOG)), \
        (hWndParent), (lpDialogFunc), (dwInitParam))
#define CreateDialogParamW(hInstance, lpTemplate, hWndParent, lpDialogFunc, dwInitParam) \
    CreateDialogIndirectParamW((hInstance), \
        (LPCDLGTEMPLATEW)LoadResource((hInstance), FindResourceW((hInstance), (lpTemplate), RT_DIALOG)), \
        (hWndParent), (lpDialogFunc), (dwInitParam))

#include "unavailable-windows.h"

#endif /* RC_INVOKED */

#endif /* STRIPEWELL_DEVICE_WINDOWS_H */
