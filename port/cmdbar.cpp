// Desktop stand-in for the device's command bar: a child window across the top of its
// parent that shows the drop-downs of one menu bar and, as its only adornment, a close
// button.
#include "platform.h"

#include "subclass.h"

// It gives what the main window relies on: the menus' commands arrive at the parent as
// WM_COMMAND, the close button sends the parent WM_CLOSE, and the bar is a child that
// the parent destroys with DestroyWindow. All of the bar's state lives in its window's
// extra bytes: no heap, no globals.
#define CMDBAR_CLASS L"StripewellCommandBar"
// The device's command bar is 26 pixels tall.
#define CMDBAR_HEIGHT 26
// Space left and right of a drop-down's title, and around the close button's glyph.
#define CMDBAR_TITLE_PAD 6
#define CMDBAR_CLOSE_INSET 3
// Pen width of the close button's cross.
#define CMDBAR_CROSS_WIDTH 2

// Window extra bytes, one LONG_PTR each.
#define CB_MENU     (0 * sizeof(LONG_PTR))   // the menu bar shown, 0 before InsertMenubar
#define CB_CLOSE    (1 * sizeof(LONG_PTR))   // non-zero once the close button was added
#define CB_PRESSED  (2 * sizeof(LONG_PTR))   // the part drawn pressed, or PART_NONE
#define CB_EXTRA    (3 * sizeof(LONG_PTR))

// Parts of the bar: drop-downs are numbered from 0 by their menu position.
#define PART_NONE   (-1)
#define PART_CLOSE  (-2)

// Most characters of a drop-down's title.
#define TITLE_CHARS 64

static HMENU GetBarMenu(HWND hwndCB)
{
    return (HMENU)GetWindowLongPtrW(hwndCB, CB_MENU);
}

static BOOL HasCloseButton(HWND hwndCB)
{
    return GetWindowLongPtrW(hwndCB, CB_CLOSE) != 0;
}

static int GetPressedPart(HWND hwndCB)
{
    return (int)GetWindowLongPtrW(hwndCB, CB_PRESSED);
}

static void SetPressedPart(HWND hwndCB, int iPart)
{
    if (GetPressedPart(hwndCB) == iPart)
        return;
    SetWindowLongPtrW(hwndCB, CB_PRESSED, iPart);
    InvalidateRect(hwndCB, NULL, TRUE);
    UpdateWindow(hwndCB);
}

static int GetDropDownCount(HWND hwndCB)
{
    HMENU hMenu = GetBarMenu(hwndCB);
    int n = hMenu ? GetMenuItemCount(hMenu) : 0;
    return n < 0 ? 0 : n;
}

static HFONT SelectBarFont(HDC hdc)
{
    return (HFONT)SelectObject(hdc, GetStockObject(DEFAULT_GUI_FONT));
}

// The drop-downs sit side by side from the left edge, each as wide as its title.
static BOOL GetDropDownRect(HWND hwndCB, int iPart, RECT *prc)
{
    HMENU hMenu = GetBarMenu(hwndCB);
    if (!hMenu || iPart < 0 || iPart >= GetDropDownCount(hwndCB))
        return FALSE;

    HDC hdc = GetDC(hwndCB);
    HFONT hOld = SelectBarFont(hdc);
    int x = 0;
    for (int i = 0; i <= iPart; i++)
    {
        WCHAR szTitle[TITLE_CHARS];
        RECT rcText = { 0, 0, 0, 0 };
        GetMenuStringW(hMenu, i, szTitle, TITLE_CHARS, MF_BYPOSITION);
        DrawTextW(hdc, szTitle, -1, &rcText, DT_SINGLELINE | DT_CALCRECT);
        int cx = rcText.right - rcText.left + 2 * CMDBAR_TITLE_PAD;
        if (i == iPart)
            SetRect(prc, x, 0, x + cx, CMDBAR_HEIGHT);
        x += cx;
    }
    SelectObject(hdc, hOld);
    ReleaseDC(hwndCB, hdc);
    return TRUE;
}

// The close button is a square at the right end of the bar.
static BOOL GetCloseRect(HWND hwndCB, RECT *prc)
{
    RECT rc;
    if (!HasCloseButton(hwndCB))
        return FALSE;
    GetClientRect(hwndCB, &rc);
    SetRect(prc, rc.right - CMDBAR_HEIGHT, 0, rc.right, CMDBAR_HEIGHT);
    return TRUE;
}

static int HitTest(HWND hwndCB, int x, int y)
{
    POINT pt;
    RECT rc;
    pt.x = x;
    pt.y = y;
    if (GetCloseRect(hwndCB, &rc) && PtInRect(&rc, pt))
        return PART_CLOSE;
    int n = GetDropDownCount(hwndCB);
    for (int i = 0; i < n; i++)
        if (GetDropDownRect(hwndCB, i, &rc) && PtInRect(&rc, pt))
            return i;
    return PART_NONE;
}

// Opens drop-down iPart under its title and hands the chosen command to the parent as
// a menu would: posted, so that the command (which may run a modal dialog) starts after
// the menu has closed. The parent owns the popup, so it also gets WM_INITMENUPOPUP.
static void OpenDropDown(HWND hwndCB, int iPart)
{
    RECT rc;
    if (!GetDropDownRect(hwndCB, iPart, &rc))
        return;
    HWND hwndParent = GetParent(hwndCB);
    POINT pt;
    pt.x = rc.left;
    pt.y = rc.bottom;
    ClientToScreen(hwndCB, &pt);

    SetPressedPart(hwndCB, iPart);
    UINT uCmd = (UINT)TrackPopupMenu(GetSubMenu(GetBarMenu(hwndCB), iPart),
                                     TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON | TPM_RETURNCMD,
                                     pt.x, pt.y, 0, hwndParent, NULL);
    if (IsWindow(hwndCB))
        SetPressedPart(hwndCB, PART_NONE);
    if (uCmd != 0)
        PostMessageW(hwndParent, WM_COMMAND, MAKEWPARAM(uCmd, 0), 0);
}

// A push button with a cross, drawn with lines so that it needs no symbol font.
static void DrawCloseButton(HDC hdc, const RECT *prcButton, BOOL fPressed)
{
    RECT rc = *prcButton;
    InflateRect(&rc, -CMDBAR_CLOSE_INSET, -CMDBAR_CLOSE_INSET);
    DrawFrameControl(hdc, &rc, DFC_BUTTON, DFCS_BUTTONPUSH | (fPressed ? DFCS_PUSHED : 0));

    int nShift = fPressed ? 1 : 0;
    int nInset = (rc.right - rc.left) / 4 + 1;
    InflateRect(&rc, -nInset, -nInset);
    OffsetRect(&rc, nShift, nShift);
    HPEN hPen = CreatePen(PS_SOLID, CMDBAR_CROSS_WIDTH, GetSysColor(COLOR_BTNTEXT));
    HGDIOBJ hOld = SelectObject(hdc, hPen);
    MoveToEx(hdc, rc.left, rc.top, NULL);
    LineTo(hdc, rc.right, rc.bottom);
    MoveToEx(hdc, rc.left, rc.bottom, NULL);
    LineTo(hdc, rc.right, rc.top);
    SelectObject(hdc, hOld);
    DeleteObject(hPen);
}

static void OnPaint(HWND hwndCB)
{
    PAINTSTRUCT ps;
    RECT rc;
    HDC hdc = BeginPaint(hwndCB, &ps);

    GetClientRect(hwndCB, &rc);
    FillRect(hdc, &rc, GetSysColorBrush(COLOR_BTNFACE));
    DrawEdge(hdc, &rc, EDGE_ETCHED, BF_BOTTOM);

    HFONT hOld = SelectBarFont(hdc);
    SetBkMode(hdc, TRANSPARENT);
    SetTextColor(hdc, GetSysColor(COLOR_BTNTEXT));
    int iPressed = GetPressedPart(hwndCB);
    int n = GetDropDownCount(hwndCB);
    for (int i = 0; i < n; i++)
    {
        WCHAR szTitle[TITLE_CHARS];
        if (!GetDropDownRect(hwndCB, i, &rc))
            continue;
        if (i == iPressed)
            DrawEdge(hdc, &rc, BDR_SUNKENOUTER, BF_RECT);
        GetMenuStringW(GetBarMenu(hwndCB), i, szTitle, TITLE_CHARS, MF_BYPOSITION);
        DrawTextW(hdc, szTitle, -1, &rc, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
    }
    SelectObject(hdc, hOld);

    if (GetCloseRect(hwndCB, &rc))
        DrawCloseButton(hdc, &rc, iPressed == PART_CLOSE);
    EndPaint(hwndCB, &ps);
}

// The close button acts as a push button: pressed on button-down, it closes the parent
// only when the button is released over it.
static void OnButtonDown(HWND hwndCB, int x, int y)
{
    int iPart = HitTest(hwndCB, x, y);
    if (iPart == PART_CLOSE)
    {
        SetCapture(hwndCB);
        SetPressedPart(hwndCB, PART_CLOSE);
    }
    else if (iPart != PART_NONE)
    {
        OpenDropDown(hwndCB, iPart);
    }
}

// While the close button is held, it looks pressed only with the pointer over it.
static void OnMouseMove(HWND hwndCB, int x, int y)
{
    if (GetCapture() == hwndCB)
        SetPressedPart(hwndCB, HitTest(hwndCB, x, y) == PART_CLOSE ? PART_CLOSE : PART_NONE);
}

static void OnButtonUp(HWND hwndCB, int x, int y)
{
    if (GetCapture() != hwndCB)
        return;
    BOOL fClose = GetPressedPart(hwndCB) == PART_CLOSE && HitTest(hwndCB, x, y) == PART_CLOSE;
    ReleaseCapture();
    SetPressedPart(hwndCB, PART_NONE);
    // Posted: the parent destroys this bar while it closes.
    if (fClose)
        PostMessageW(GetParent(hwndCB), WM_CLOSE, 0, 0);
}

// The parent's subclass: the procedure it replaced, and the bar it keeps in size.
#define PARENT_SUBCLASS L"StripewellCommandBarParent"
#define PARENT_BAR L"StripewellCommandBar"

// Keeps the bar as wide as its parent's client area.
static LRESULT CALLBACK ParentSubclassProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT lResult = PortCallNext(PARENT_SUBCLASS, hWnd, message, wParam, lParam);
    HWND hwndCB = (HWND)GetPropW(hWnd, PARENT_BAR);
    if (message == WM_SIZE && hwndCB != NULL)
        SetWindowPos(hwndCB, NULL, 0, 0, LOWORD(lParam), CMDBAR_HEIGHT, SWP_NOZORDER | SWP_NOACTIVATE);
    return lResult;
}

static LRESULT CALLBACK CommandBarWndProc(HWND hwndCB, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message)
    {
    case WM_CREATE:
        SetWindowLongPtrW(hwndCB, CB_PRESSED, PART_NONE);
        return 0;

    case WM_PAINT:
        OnPaint(hwndCB);
        return 0;

    case WM_LBUTTONDOWN:
        OnButtonDown(hwndCB, (short)LOWORD(lParam), (short)HIWORD(lParam));
        return 0;

    case WM_MOUSEMOVE:
        OnMouseMove(hwndCB, (short)LOWORD(lParam), (short)HIWORD(lParam));
        return 0;

    case WM_LBUTTONUP:
        OnButtonUp(hwndCB, (short)LOWORD(lParam), (short)HIWORD(lParam));
        return 0;

    case WM_CAPTURECHANGED:
        if (GetPressedPart(hwndCB) == PART_CLOSE)
            SetPressedPart(hwndCB, PART_NONE);
        return 0;

    case WM_DESTROY:
        RemovePropW(GetParent(hwndCB), PARENT_BAR);
        PortUnsubclass(GetParent(hwndCB), PARENT_SUBCLASS, ParentSubclassProc);
        if (GetBarMenu(hwndCB))
            DestroyMenu(GetBarMenu(hwndCB));
        SetWindowLongPtrW(hwndCB, CB_MENU, 0);
        return 0;
    }
    return DefWindowProcW(hwndCB, message, wParam, lParam);
}

static BOOL RegisterCommandBarClass(HINSTANCE hInst)
{
    WNDCLASSW wc;
    if (GetClassInfoW(hInst, CMDBAR_CLASS, &wc))
        return TRUE;
    wc.style = 0;
    wc.lpfnWndProc = CommandBarWndProc;
    wc.cbClsExtra = 0;
    wc.cbWndExtra = (int)CB_EXTRA;
    wc.hInstance = hInst;
    wc.hIcon = NULL;
    wc.hCursor = LoadCursorW(NULL, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    wc.hbrBackground = NULL;
    wc.lpszMenuName = NULL;
    wc.lpszClassName = CMDBAR_CLASS;
    return RegisterClassW(&wc) != 0;
}

HWND CommandBar_Create(HINSTANCE hInst, HWND hwndParent, int idCmdBar)
{
    RECT rc;
    if (!RegisterCommandBarClass(hInst) || !GetClientRect(hwndParent, &rc))
        return NULL;
    HWND hwndCB = CreateWindowExW(0, CMDBAR_CLASS, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS,
                                  0, 0, rc.right - rc.left, CMDBAR_HEIGHT, hwndParent,
                                  (HMENU)(INT_PTR)idCmdBar, hInst, NULL);
    if (hwndCB && (!SetPropW(hwndParent, PARENT_BAR, (HANDLE)hwndCB) ||
                   !PortSubclass(hwndParent, PARENT_SUBCLASS, ParentSubclassProc)))
    {
        RemovePropW(hwndParent, PARENT_BAR);
        DestroyWindow(hwndCB);
        return NULL;
    }
    return hwndCB;
}

BOOL CommandBar_InsertMenubar(HWND hwndCB, HINSTANCE hInst, WORD idMenu, WORD iButton)
{
    (void)iButton;  // the bar holds nothing else for the drop-downs to be placed among
    if (!IsWindow(hwndCB))
        return FALSE;
    HMENU hMenu = LoadMenuW(hInst, MAKEINTRESOURCEW(idMenu));
    if (!hMenu)
        return FALSE;
    if (GetBarMenu(hwndCB))
        DestroyMenu(GetBarMenu(hwndCB));
    SetWindowLongPtrW(hwndCB, CB_MENU, (LONG_PTR)hMenu);
    InvalidateRect(hwndCB, NULL, TRUE);
    return TRUE;
}

BOOL CommandBar_AddAdornments(HWND hwndCB, DWORD dwFlags, DWORD dwReserved)
{
    if (!IsWindow(hwndCB) || dwFlags != 0 || dwReserved != 0)
        return FALSE;
    SetWindowLongPtrW(hwndCB, CB_CLOSE, 1);
    InvalidateRect(hwndCB, NULL, TRUE);
    return TRUE;
}

BOOL CommandBar_Show(HWND hwndCB, BOOL fShow)
{
    if (!IsWindow(hwndCB))
        return FALSE;
    ShowWindow(hwndCB, fShow ? SW_SHOWNOACTIVATE : SW_HIDE);
    return TRUE;
}

int CommandBar_Height(HWND hwndCB)
{
    RECT rc;
    if (!GetWindowRect(hwndCB, &rc))
        return 0;
    return rc.bottom - rc.top;
}

HMENU CommandBar_GetMenu(HWND hwndCB, int iButton)
{
    (void)iButton;
    return IsWindow(hwndCB) ? GetBarMenu(hwndCB) : NULL;
}
