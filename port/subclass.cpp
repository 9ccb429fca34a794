#include "subclass.h"

BOOL PortSubclass(HWND hWnd, LPCWSTR pszName, WNDPROC pfnProc)
{
    WNDPROC pfnNext = (WNDPROC)GetWindowLongPtrW(hWnd, GWLP_WNDPROC);
    if (pfnNext == NULL || !SetPropW(hWnd, pszName, (HANDLE)pfnNext))
        return FALSE;
    if (SetWindowLongPtrW(hWnd, GWLP_WNDPROC, (LONG_PTR)pfnProc) == 0)
    {
        RemovePropW(hWnd, pszName);
        return FALSE;
    }
    return TRUE;
}

LRESULT PortCallNext(LPCWSTR pszName, HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    WNDPROC pfnNext = (WNDPROC)GetPropW(hWnd, pszName);
    if (pfnNext == NULL)
        return DefWindowProcW(hWnd, message, wParam, lParam);
    return CallWindowProcW(pfnNext, hWnd, message, wParam, lParam);
}

void PortUnsubclass(HWND hWnd, LPCWSTR pszName, WNDPROC pfnProc)
{
    if ((WNDPROC)GetWindowLongPtrW(hWnd, GWLP_WNDPROC) != pfnProc)
        return;
    WNDPROC pfnNext = (WNDPROC)RemovePropW(hWnd, pszName);
    if (pfnNext != NULL)
        SetWindowLongPtrW(hWnd, GWLP_WNDPROC, (LONG_PTR)pfnNext);
}
