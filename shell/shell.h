// The application shell: the entry point with its message loop, the main window with
// its command bar, menu and banner, and the About dialog.
#ifndef STRIPEWELL_SHELL_SHELL_H
#define STRIPEWELL_SHELL_SHELL_H

#include "../port/platform.h"

// mainwnd.cpp

// The instance whose resources the main window and both dialogs use; set by
// CreateMainWindow before the window exists.
extern HINSTANCE g_hInst;
// The main window's command bar; set while the main window handles WM_CREATE and
// destroyed with the main window.
extern HWND g_hwndCB;

// Registers the main window's class; the result is RegisterClassW's, which no caller
// examines.
ATOM RegisterMainClass(HINSTANCE hInstance, LPCWSTR pszClassName);
// Registers the class and creates and shows the main window. FALSE only when the window
// could not be created.
BOOL CreateMainWindow(HINSTANCE hInstance, int nCmdShow);
LRESULT CALLBACK MainWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

// about.cpp: the About dialog, run modally by the main window; ends with IDOK (its
// caption OK button) or IDCANCEL as its result.
INT_PTR CALLBACK AboutDlgProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam);

// winmain.cpp: WinMain(hInstance, hPrevInstance, lpCmdLine, nCmdShow), with the wide
// command line of the device's entry point, creates the main window and runs the
// message loop with the main accelerators; it returns the quit message's code, the
// process exit code. The platform's headers declare it (port/platform.h off the
// device, where the runtime enters through port/'s wWinMain).

#endif // STRIPEWELL_SHELL_SHELL_H
