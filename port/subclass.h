// Window subclassing for the desktop stand-ins, without the common controls library:
// loading comctl32 only for SetWindowSubclass made every start of the program slower.
// Each subclass keeps the procedure it replaced in a window property of its own name.
#ifndef STRIPEWELL_PORT_SUBCLASS_H
#define STRIPEWELL_PORT_SUBCLASS_H

#include <windows.h>

// Puts pfnProc in front of the window's procedure; FALSE when it could not.
BOOL PortSubclass(HWND hWnd, LPCWSTR pszName, WNDPROC pfnProc);
// Passes a message on to the procedure that pszName's subclass replaced.
LRESULT PortCallNext(LPCWSTR pszName, HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
// Takes pfnProc out again. When another subclass has been put in front of it since,
// pfnProc stays in the chain and goes on passing every message on.
void PortUnsubclass(HWND hWnd, LPCWSTR pszName, WNDPROC pfnProc);

#endif // STRIPEWELL_PORT_SUBCLASS_H
