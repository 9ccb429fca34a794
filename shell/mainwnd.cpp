// The main window: a plain white frame with the command bar that carries the menu,
// a centred banner line, and the three menu commands.
#include "shell.h"
#include "../dialogs/dialogs.h"
#include "../res/resource.h"

#include <wchar.h>

// Every string the shell loads fits in this many characters.
#define SHELL_STRING_CHARS 100
// Class styles: redraw the whole window on every size change, so the banner stays
// centred.
#define MAIN_CLASS_STYLE (CS_HREDRAW | CS_VREDRAW)
// The banner: one line, centred both ways in the client area.
#define BANNER_FORMAT (DT_SINGLELINE | DT_VCENTER | DT_CENTER)
// CommandBar_AddAdornments flags: neither Help nor OK, only the close button.
#define CMDBAR_ADORNMENTS 0

HINSTANCE g_hInst = 0;
HWND g_hwndCB = 0;

ATOM RegisterMainClass(HINSTANCE hInstance, LPCWSTR pszClassName)
{
    WNDCLASSW wc;
    wc.style = MAIN_CLASS_STYLE;
    wc.lpfnWndProc = MainWndProc;
    wc.cbClsExtra = 0;
    wc.cbWndExtra = 0;
    wc.hInstance = hInstance;
    wc.hIcon = LoadIconW(hInstance, MAKEINTRESOURCEW(IDI_APP));
    wc.hCursor = 0;
    wc.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
    wc.lpszMenuName = 0;
    wc.lpszClassName = pszClassName;
    return RegisterClassW(&wc);
}

BOOL CreateMainWindow(HINSTANCE hInstance, int nCmdShow)
{
    WCHAR szClass[SHELL_STRING_CHARS];
    WCHAR szTitle[SHELL_STRING_CHARS];

    g_hInst = hInstance;
    LoadStringW(hInstance, IDS_CLASS, szClass, SHELL_STRING_CHARS);
    RegisterMainClass(hInstance, szClass);
    LoadStringW(hInstance, IDS_TITLE, szTitle, SHELL_STRING_CHARS);

    // The window builds its command bar while it handles WM_CREATE inside this call.
    HWND hWnd = CreateWindowExW(0, szClass, szTitle, WS_VISIBLE,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                NULL, NULL, hInstance, NULL);
    if (!hWnd)
        return FALSE;

    ShowWindow(hWnd, nCmdShow);
    UpdateWindow(hWnd);
    if (g_hwndCB)
        CommandBar_Show(g_hwndCB, TRUE);
    return TRUE;
}

// Runs one of the program's dialog templates modally, owned by hWndOwner. The result
// is not used.
static void RunModalDialog(HWND hWndOwner, int nTemplateId, DLGPROC pfnDlgProc)
{
    HRSRC hRes = FindResourceW(g_hInst, MAKEINTRESOURCEW(nTemplateId), RT_DIALOG);
    // A loaded resource's handle is its address, on the device and on the desktop.
    HGLOBAL hTemplate = LoadResource(g_hInst, hRes);
    DialogBoxIndirectParamW(g_hInst, (LPCDLGTEMPLATEW)hTemplate, hWndOwner, pfnDlgProc, 0);
}

static void OnCreate(HWND hWnd)
{
    g_hwndCB = CommandBar_Create(g_hInst, hWnd, ID_CMDBAR);
    CommandBar_InsertMenubar(g_hwndCB, g_hInst, IDM_MAIN, 0);
    CommandBar_AddAdornments(g_hwndCB, CMDBAR_ADORNMENTS, 0);
}

static void OnPaint(HWND hWnd)
{
    PAINTSTRUCT ps;
    RECT rc;
    WCHAR szBanner[SHELL_STRING_CHARS];

    HDC hdc = BeginPaint(hWnd, &ps);
    GetClientRect(hWnd, &rc);
    LoadStringW(g_hInst, IDS_BANNER, szBanner, SHELL_STRING_CHARS);
    DrawTextW(hdc, szBanner, (int)wcslen(szBanner), &rc, BANNER_FORMAT);
    EndPaint(hWnd, &ps);
}

LRESULT CALLBACK MainWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message)
    {
    case WM_CREATE:
        OnCreate(hWnd);
        return 0;

    case WM_PAINT:
        OnPaint(hWnd);
        return 0;

    case WM_COMMAND:
        switch (LOWORD(wParam))
        {
        case IDM_EXIT:
            DestroyWindow(hWnd);
            return 0;
        case IDM_ABOUT:
            RunModalDialog(hWnd, IDD_ABOUT, AboutDlgProc);
            return 0;
        case IDM_CARD_TEST:
            RunModalDialog(hWnd, IDD_CARD, CardDlgProc);
            return 0;
        }
        return DefWindowProcW(hWnd, message, wParam, lParam);

    case WM_DESTROY:
        // The command bar lives exactly as long as this window.
        DestroyWindow(g_hwndCB);
        PostQuitMessage(0);
        return 0;
    }
    // A close request, such as the command bar's close button sends, ends here in
    // DestroyWindow.
    return DefWindowProcW(hWnd, message, wParam, lParam);
}
