// The card test dialog: opens the reader, shows the workers' track texts, and lets the
// person clear the fields, switch automatic power-off and close the reader. Runs on the
// user-interface thread; the workers write the track fields from their own threads.
#include "dialogs.h"
#include "../reader/reader.h"
#include "../reader/mcrlib.h"
#include "../res/resource.h"

// The device's headers do not define the power broadcast message.
#ifndef WM_POWERBROADCAST
#define WM_POWERBROADCAST 0x218
#endif

void ClearTrackFields(HWND hDlg)
{
    for (int i = 0; i < TRACK_COUNT; i++)
        SetDlgItemTextW(hDlg, g_TrackSlots[i].nFieldId, L"");
}

// Opens the reader; only when it opened are the workers started, the dialog
// centred and event notification switched on. A dialog whose reader did not open
// stays on screen without workers.
static BOOL OnInitDialog(HWND hDlg)
{
    g_hCardDlg = hDlg;
    if (ReaderOpen(hDlg) != TRUE)
        return FALSE;

    StartReaderWorkers();
    CenterDialog(hDlg);
    if (MCRGetEventNotification() == 0)
        MCRSetEventNotification(1);
    return TRUE;
}

// The check box has already toggled itself when its command arrives.
static void OnApoClicked(HWND hDlg)
{
    if (SendDlgItemMessageW(hDlg, IDC_APO, BM_GETCHECK, 0, 0) != 0)
    {
        MCRSetAutoPowerOff(MCR_APO_TIMEOUT);
    }
    else
    {
        MCRSetAutoPowerOff(MCR_APO_OFF);
        MCRResume();
    }
}

// Stylus movement over the dialog: the reader may have slept, so wake it and
// start from empty fields.
static BOOL OnStylusMove(HWND hDlg)
{
    NKDbgPrintfW(L"Resume.\r\n");
    MCRResume();
    ClearTrackFields(hDlg);
    return TRUE;
}

INT_PTR CALLBACK CardDlgProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;
    switch (message)
    {
    case WM_INITDIALOG:
        return OnInitDialog(hDlg);

    case WM_COMMAND:
        switch (LOWORD(wParam))
        {
        case IDC_CLOSE:
            ReaderClose();
            EndDialog(hDlg, IDC_CLOSE);
            NKDbgPrintfW(L"!MCR:Closed.\r\n");
            return TRUE;
        case IDC_CLEAR:
            ClearTrackFields(hDlg);
            return TRUE;
        case IDC_APO:
            OnApoClicked(hDlg);
            return TRUE;
        }
        // IDOK and IDCANCEL included: the dialog ends only through Close.
        return FALSE;

    case WM_POWERBROADCAST:
        // After any power event the reader is resumed here and once more with the
        // stylus steps.
        MCRResume();
        NKDbgPrintfW(L"WM_POWERBROADCAST.\r\n");
        return OnStylusMove(hDlg);

    case WM_MOUSEMOVE:
        return OnStylusMove(hDlg);
    }
    return FALSE;
}
