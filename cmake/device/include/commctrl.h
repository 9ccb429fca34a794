/* Not the device's SDK. The desktop's <commctrl.h> (mingw-w64) reshaped like the
   handheld's, for the device-shaped build only (see windows.h here): it declares the
   command bar, which on the device only <commctrl.h> does, and makes every common
   controls function that the device lacks unusable (unavailable-commctrl.h, generated
   from the export lists in cmake/device/). */
#ifndef STRIPEWELL_DEVICE_COMMCTRL_H
#define STRIPEWELL_DEVICE_COMMCTRL_H

#include <windows.h>
#include_next <commctrl.h>

#ifndef RC_INVOKED

#ifdef __cplusplus
extern "C" {
#endif

/* The command bar: a child window across the top of its parent with the menu bar and
   the adornments (close, Help, OK buttons). */
HWND WINAPI CommandBar_Create(HINSTANCE hInst, HWND hwndParent, int idCmdBar);
BOOL WINAPI CommandBar_InsertMenubar(HWND hwndCB, HINSTANCE hInst, WORD idMenu, WORD iButton);
BOOL WINAPI CommandBar_AddAdornments(HWND hwndCB, DWORD dwFlags, DWORD dwReserved);
BOOL WINAPI CommandBar_Show(HWND hwndCB, BOOL fShow);
int WINAPI CommandBar_Height(HWND hwndCB);
HMENU WINAPI CommandBar_GetMenu(HWND hwndCB, int iButton);

#ifdef __cplusplus
}
#endif

#define CommandBar_Destroy(hwndCB) DestroyWindow(hwndCB)

#include "unavailable-commctrl.h"

#endif /* RC_INVOKED */

#endif /* STRIPEWELL_DEVICE_COMMCTRL_H */
