// Dialog centring, used by the card test dialog and the About dialog.
#include "dialogs.h"

int CenterOffset(int nOuterExtent, int nInnerExtent)
{
    // C++ division truncates toward zero, so -1 / 2 is 0 and 1 / 2 is 0.
    int nOffset = (nOuterExtent - nInnerExtent) / 2;
    return nOffset < 0 ? 0 : nOffset;
}

void CenterDialog(HWND hDlg)
{
    RECT rcDlg;
    RECT rcParent;

    if (!GetWindowRect(hDlg, &rcDlg))
        return;
    GetClientRect(GetParent(hDlg), &rcParent);

    // Only the sizes count: the result is used as a screen position as it is.
    int x = CenterOffset(rcParent.right - rcParent.left, rcDlg.right - rcDlg.left);
    int y = CenterOffset(rcParent.bottom - rcParent.top, rcDlg.bottom - rcDlg.top);
    SetWindowPos(hDlg, NULL, x, y, 0, 0, SWP_NOZORDER | SWP_NOSIZE);
}
