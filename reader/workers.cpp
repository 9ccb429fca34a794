// The swipe read worker and the power-off worker. Each runs on its own thread,
// reads the reader state without a lock and uses only its own stack.
#include "reader.h"
#include "mcrlib.h"
#include "../res/resource.h"

// MCRRead takes eight arguments; the track table names positions 1 to 8.
#define MCRREAD_ARG_COUNT 8
// "Error:" plus up to eight hex digits plus the terminator.
#define ERROR_TEXT_CHARS 15
// Pause after a wait that failed (an event handle that is 0 or invalid) before
// waiting again, so that a broken event never turns into a busy loop.
#define FAILED_WAIT_PAUSE_MS 100

const TrackSlot g_TrackSlots[TRACK_COUNT] =
{
    { L"ISO1", MCR_ISO1_BYTES, 2, 6, IDC_ISO1 },
    { L"ISO2", MCR_ISO2_BYTES, 3, 7, IDC_ISO2 },
    { L"JIS2", MCR_JIS2_BYTES, 1, 5, IDC_JIS2 },
};

void FormatTrackHex(const BYTE *pData, int n, LPWSTR pszText)
{
    pszText[0] = L'\0';
    for (int k = 0; k < n; k++)
        wsprintfW(pszText + 2 * k, L"%2X", pData[k]);
}

// One swipe: fetch all three tracks with one MCRRead, show each as hex or as its
// error code, then make the reader ready for the next card.
static void ReadAndShowTracks(void)
{
    BYTE abIso1[MCR_ISO1_BYTES];
    BYTE abIso2[MCR_ISO2_BYTES];
    BYTE abJis2[MCR_JIS2_BYTES];
    DWORD adwStatus[TRACK_COUNT];
    WCHAR szIso1[2 * MCR_ISO1_BYTES + 1];
    WCHAR szIso2[2 * MCR_ISO2_BYTES + 1];
    WCHAR szJis2[2 * MCR_JIS2_BYTES + 1];
    WCHAR aszError[TRACK_COUNT][ERROR_TEXT_CHARS];

    // Buffers and texts in track table order.
    BYTE *apBuffer[TRACK_COUNT] = { abIso1, abIso2, abJis2 };
    LPWSTR apszHex[TRACK_COUNT] = { szIso1, szIso2, szJis2 };

    NKDbgPrintfW(L"Get Data...\r\n");

    // Place each buffer and status word at its argument position; positions the
    // table does not name (the fourth and eighth) stay 0.
    void *apArg[MCRREAD_ARG_COUNT + 1];
    int i;
    for (i = 0; i <= MCRREAD_ARG_COUNT; i++)
        apArg[i] = 0;
    for (i = 0; i < TRACK_COUNT; i++)
    {
        ZeroMemory(apBuffer[i], g_TrackSlots[i].cbBuffer);
        adwStatus[i] = 0;
        apArg[g_TrackSlots[i].nBufferArg] = apBuffer[i];
        apArg[g_TrackSlots[i].nStatusArg] = &adwStatus[i];
    }

    if (MCRRead((BYTE *)apArg[1], (BYTE *)apArg[2], (BYTE *)apArg[3], apArg[4],
                (DWORD *)apArg[5], (DWORD *)apArg[6], (DWORD *)apArg[7], apArg[8]) == 0)
        NKDbgPrintfW(L"Read Error...\r\n");

    for (i = 0; i < TRACK_COUNT; i++)
    {
        LPCWSTR pszText;
        if (adwStatus[i] == MCR_TRACK_OK)
        {
            FormatTrackHex(apBuffer[i], g_TrackSlots[i].cbBuffer, apszHex[i]);
            pszText = apszHex[i];
        }
        else
        {
            wsprintfW(aszError[i], L"Error:%x", adwStatus[i]);
            pszText = aszError[i];
        }
        SetDlgItemTextW(g_hCardDlg, g_TrackSlots[i].nFieldId, pszText);
    }

    MCRResume();
}

// The reader powered itself off: mark every field until a read or a resume
// replaces the text. Calls no library function.
static void ShowPowerOff(void)
{
    NKDbgPrintfW(L"MCR:APO!!>>>\r\n");
    for (int i = 0; i < TRACK_COUNT; i++)
        SetDlgItemTextW(g_hCardDlg, g_TrackSlots[i].nFieldId, L"APO");
}

// The loop both workers share: wait on the event handle current at that moment,
// run one cycle per setting, and leave when the worker's own handle is found 0 at
// the end of a cycle. A failed wait runs no cycle.
static DWORD RunWorker(HANDLE volatile *phEvent, HANDLE volatile *phThread,
                       void (*pfnCycle)(void))
{
    for (;;)
    {
        if (WaitForSingleObject(*phEvent, INFINITE) == WAIT_OBJECT_0)
            pfnCycle();
        else if (*phThread != 0)
            Sleep(FAILED_WAIT_PAUSE_MS);

        if (*phThread == 0)
            return 0;
    }
}

DWORD WINAPI SwipeThreadProc(LPVOID lpParameter)
{
    (void)lpParameter;
    return RunWorker(&g_hReadEvent, &g_hReadThread, ReadAndShowTracks);
}

DWORD WINAPI ApoThreadProc(LPVOID lpParameter)
{
    (void)lpParameter;
    return RunWorker(&g_hApoEvent, &g_hApoThread, ShowPowerOff);
}

// Starts one worker and records it. Its handle is its only stop request, so the worker
// is let go only once the handle is stored: one whose first wait returned at once (an
// event that could not be created, or one already set) would otherwise find the handle
// still 0 and end before its dialog ever had it.
static void StartWorker(LPTHREAD_START_ROUTINE pfnWorker, HANDLE volatile *phThread)
{
    DWORD dwThreadId;
    HANDLE hThread = CreateThread(NULL, 0, pfnWorker, 0, CREATE_SUSPENDED, &dwThreadId);
    *phThread = hThread;
    if (hThread != 0)
        ResumeThread(hThread);
}

void StartReaderWorkers(void)
{
    if (g_hReadThread == 0)
        StartWorker(SwipeThreadProc, &g_hReadThread);
    if (g_hApoThread == 0)
        StartWorker(ApoThreadProc, &g_hApoThread);
}
