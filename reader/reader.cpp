// Reader state, open and close. Runs on the user-interface thread only.
#include "reader.h"
#include "mcrlib.h"

HWND volatile g_hCardDlg = 0;
HANDLE volatile g_hReadEvent = 0;
HANDLE volatile g_hApoEvent = 0;
HANDLE volatile g_hReadThread = 0;
HANDLE volatile g_hApoThread = 0;

// Called when the card test dialog initialises. A later open gets new handles to the
// same two named events and overwrites the old ones without closing them: a worker
// still waiting on an old handle waits on the same event.
BOOL ReaderOpen(HWND hDlg)
{
    g_hReadEvent = CreateEventW(NULL, FALSE, FALSE, MCR_READING_EVENT_NAME);
    g_hApoEvent = CreateEventW(NULL, FALSE, FALSE, MCR_APO_EVENT_NAME);

    NKDbgPrintfW(L"MCRStatus=%x\r\n", MCRGetStatus());

    if (MCROpen(hDlg) == 1)
        return TRUE;

    NKDbgPrintfW(L"!!MCR:Open Failed.\r\n");
    return FALSE;
}

// Called by the card test dialog's Close. The workers are neither woken nor waited
// for: each ends at the end of its next cycle unless a reopen has stored a new handle.
BOOL ReaderClose(void)
{
    MCRResume();
    MCRClose();

    CloseHandle(g_hReadThread);
    CloseHandle(g_hApoThread);
    g_hReadThread = 0;
    g_hApoThread = 0;
    return TRUE;
}
