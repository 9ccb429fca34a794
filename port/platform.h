// The platform as the program sees it: the Win32 headers plus, off the device, the
// services only the handheld's system libraries have. reader/, dialogs/ and shell/
// include this instead of <windows.h>, so they carry no desktop-only code.
#ifndef STRIPEWELL_PORT_PLATFORM_H
#define STRIPEWELL_PORT_PLATFORM_H

#include <windows.h>

#ifdef UNDER_CE

// The device's <windows.h> leaves the command bar to <commctrl.h>.
#include <commctrl.h>

#else

// Kernel debug output. Formats like wsprintfW and writes the line, exactly as formatted,
// to OutputDebugStringW and to standard error as UTF-8, one whole line per write.
extern "C" void NKDbgPrintfW(LPCWSTR lpszFmt, ...);

// Desktop only: lets a test see every debug line as it is written (0 to stop).
// The program never calls it.
typedef void (*PORT_DEBUG_OBSERVER)(LPCWSTR lpszLine);
void PortSetDebugObserver(PORT_DEBUG_OBSERVER pfnObserver);

// The program's entry point as the device's runtime calls it, with a wide command
// line. The desktop's headers already declare a WinMain with a narrow one and C
// linkage, which a second WinMain may not overload; off the device the program's own is
// therefore compiled under another name, and port/'s wWinMain calls it.
#define WinMain StripewellWinMain
int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR lpCmdLine, int nCmdShow);

// The command bar (commctrl on the device). Off the device a child window across the
// top of its parent shows the menu bar's drop-downs and a close button; cmdbar.cpp.
HWND CommandBar_Create(HINSTANCE hInst, HWND hwndParent, int idCmdBar);
// Shows the drop-downs of menu idMenu from hInst; iButton is where they go among the
// bar's buttons (0: first).
BOOL CommandBar_InsertMenubar(HWND hwndCB, HINSTANCE hInst, WORD idMenu, WORD iButton);
// dwFlags 0 adds the close button, which asks the parent to close (WM_CLOSE). The
// device's Help and OK adornments are not available off the device: FALSE.
BOOL CommandBar_AddAdornments(HWND hwndCB, DWORD dwFlags, DWORD dwReserved);
BOOL CommandBar_Show(HWND hwndCB, BOOL fShow);
// The bar's height in pixels.
int CommandBar_Height(HWND hwndCB);
// The menu the bar shows (iButton is ignored: the bar has one menu bar).
HMENU CommandBar_GetMenu(HWND hwndCB, int iButton);

// The device's caption OK button: a dialog whose extended style has this bit gets an
// OK button on its caption that sends it WM_COMMAND IDOK. The bit has no meaning on
// the desktop; see captionok.cpp for what stands in for the button.
#define WS_EX_CAPTIONOKBTN 0x80000000L

// Desktop only: gives every window created on the calling thread with
// WS_EX_CAPTIONOKBTN the desktop's stand-in for the caption OK button. The desktop
// entry point calls it before the program's WinMain; tests call it for their own
// thread. TRUE when it is in force for the thread.
BOOL PortEnableCaptionOkButtons(void);

// Desktop only: on a screen of the handheld's size (both sides at most 640 pixels), a
// top-level window the calling thread creates with CW_USEDEFAULT takes the whole work
// area, and one whose style asks for no caption gets none, as on the device; on a
// larger screen nothing changes, unless the environment names the device's screen
// (STRIPEWELL_DEVICE_SCREEN=WxH, read here): then such a window takes W x H pixels at
// the work area's top left. The desktop entry point calls it before the program's
// WinMain. TRUE when it is in force for the thread. devscreen.cpp.
BOOL PortEnableDeviceScreen(void);
// Desktop only: TRUE when the screen is of the handheld's size (the rule above).
BOOL PortIsHandheldScreen(void);
// The program's windows are created through the rule above: CreateWindowExW (and
// CreateWindowW, which expands to it) off the device is this function.
HWND PortCreateWindowExW(DWORD dwExStyle, LPCWSTR lpClassName, LPCWSTR lpWindowName, DWORD dwStyle,
                         int x, int y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu,
                         HINSTANCE hInstance, LPVOID lpParam);
#undef CreateWindowExW
#define CreateWindowExW PortCreateWindowExW

// Desktop only: a field text set from a thread other than the dialog's is set by the
// dialog's own thread, which alone destroys the dialog, so that the field's lookup never
// meets the dialog's destruction (Wine 10's server can hang on that); dlgtext.cpp.
// Threads whose dialogs take such writes call PortEnableCrossThreadItemText first (the
// desktop entry point does, for the user-interface thread); TRUE when in force for the
// calling thread. Elsewhere SetDlgItemTextW is the plain call.
BOOL PortEnableCrossThreadItemText(void);
BOOL PortSetDlgItemTextW(HWND hDlg, int nIDDlgItem, LPCWSTR lpString);
#undef SetDlgItemTextW
#define SetDlgItemTextW PortSetDlgItemTextW

#endif // UNDER_CE

#endif // STRIPEWELL_PORT_PLATFORM_H
