// Desktop stand-in that keeps a worker's field writes on the dialog's own thread, where
// Wine 10 cannot meet the dialog's destruction halfway (see PortSetDlgItemTextW).
#include "platform.h"

// Threads that may serve other threads' field writes at the same time.
#define ITEM_TEXT_MAX_THREADS 8
// Field writes from other threads that can be on their way at the same time.
#define ITEM_TEXT_MAX_REQUESTS 16
// How often a write waiting for a free request slot looks whether its dialog still lives.
#define ITEM_TEXT_SLOT_WAIT_MS 20

// One field write on its way to the dialog's thread. The message carries only the
// slot's number and its ticket, never a pointer: a message of this number that another
// process sends finds no slot of that ticket and is ignored.
struct ItemTextRequest
{
    LONG volatile lBusy;     // 1 while a sender owns the slot
    LONG volatile lTicket;   // the sender's ticket, checked by the hook
    int nIDDlgItem;
    LPCWSTR pszText;
    BOOL volatile fDone;     // the hook has run the write
    BOOL volatile fResult;   // what SetDlgItemTextW returned there
};

static ItemTextRequest s_aRequests[ITEM_TEXT_MAX_REQUESTS];
static LONG volatile s_lNextTicket = 0;
// Counts the free request slots, so that a write finding none waits for one.
static HANDLE volatile s_hFreeRequests = NULL;

// The message's number, registered once; 0 until a thread has enabled the hook.
static UINT volatile s_uItemTextMsg = 0;

// The serving threads: each slot's thread id (0 when free), read by every writer; a
// handle to the thread, to tell when it has ended; and its hooks. Written only under
// s_lEnabling.
static DWORD volatile s_adwServingThreads[ITEM_TEXT_MAX_THREADS];
static HANDLE s_ahServingThreads[ITEM_TEXT_MAX_THREADS];
static HHOOK s_ahHooks[ITEM_TEXT_MAX_THREADS];
static HHOOK s_ahCbtHooks[ITEM_TEXT_MAX_THREADS];
// 1 while a thread enables the hook (they take turns).
static LONG volatile s_lEnabling = 0;

// Marks a dialog whose destruction has begun. A thread that waits for another thread
// during DestroyWindow takes sent messages meanwhile, so a write may arrive while the
// dialog's controls are being unlinked: it is dropped then, as it would fail a moment
// later. One atom for the property, so that no destruction adds one.
static ATOM s_atomDestroying = 0;

#undef SetDlgItemTextW

static LRESULT CALLBACK ItemTextHookProc(int nCode, WPARAM wParam, LPARAM lParam)
{
    const CWPSTRUCT *pMsg = (const CWPSTRUCT *)lParam;
    if (nCode == HC_ACTION && pMsg != NULL && s_uItemTextMsg != 0 && pMsg->message == s_uItemTextMsg &&
        pMsg->wParam < ITEM_TEXT_MAX_REQUESTS)
    {
        ItemTextRequest *pRequest = &s_aRequests[pMsg->wParam];
        if (pRequest->lBusy && pRequest->lTicket == (LONG)pMsg->lParam && !pRequest->fDone)
        {
            pRequest->fResult = !GetPropW(pMsg->hwnd, MAKEINTATOM(s_atomDestroying)) &&
                                SetDlgItemTextW(pMsg->hwnd, pRequest->nIDDlgItem, pRequest->pszText);
            pRequest->fDone = TRUE;
        }
    }
    return CallNextHookEx(NULL, nCode, wParam, lParam);
}

static LRESULT CALLBACK ItemTextCbtProc(int nCode, WPARAM wParam, LPARAM lParam)
{
    if (nCode == HCBT_DESTROYWND)
        SetPropW((HWND)wParam, MAKEINTATOM(s_atomDestroying), (HANDLE)1);
    return CallNextHookEx(NULL, nCode, wParam, lParam);
}

// The serving slot of this thread id; -1 when there is none.
static int ServingSlot(DWORD dwThreadId)
{
    for (int i = 0; i < ITEM_TEXT_MAX_THREADS; i++)
        if (s_adwServingThreads[i] == dwThreadId)
            return i;
    return -1;
}

static BOOL HasEnded(HANDLE hThread)
{
    return hThread == NULL || WaitForSingleObject(hThread, 0) != WAIT_TIMEOUT;
}

// The calling thread's serving slot: its own, one of an ended thread that had its id,
// a free one, or one of another ended thread; -1 when every slot serves a live thread.
// Called under s_lEnabling.
static int TakeServingSlot(DWORD dwThread)
{
    int iSlot = ServingSlot(dwThread);
    if (iSlot < 0)
        iSlot = ServingSlot(0);
    for (int i = 0; iSlot < 0 && i < ITEM_TEXT_MAX_THREADS; i++)
        if (HasEnded(s_ahServingThreads[i]))
            iSlot = i;
    if (iSlot < 0)
        return -1;
    if (s_adwServingThreads[iSlot] != dwThread)
        s_adwServingThreads[iSlot] = 0;
    if (s_ahServingThreads[iSlot] != NULL)
        CloseHandle(s_ahServingThreads[iSlot]);
    s_ahServingThreads[iSlot] = NULL;
    return iSlot;
}

static BOOL EnableLocked(void)
{
    DWORD dwThread = GetCurrentThreadId();
    int iSlot = ServingSlot(dwThread);
    if (iSlot >= 0 && !HasEnded(s_ahServingThreads[iSlot]))
        return TRUE;
    if (s_atomDestroying == 0)
        s_atomDestroying = GlobalAddAtomW(L"StripewellPortDestroying");
    if (s_uItemTextMsg == 0)
        s_uItemTextMsg = RegisterWindowMessageW(L"StripewellPortSetDlgItemText");
    if (s_hFreeRequests == NULL)
        s_hFreeRequests = CreateSemaphoreW(NULL, ITEM_TEXT_MAX_REQUESTS, ITEM_TEXT_MAX_REQUESTS, NULL);
    if (s_uItemTextMsg == 0 || s_atomDestroying == 0 || s_hFreeRequests == NULL)
        return FALSE;
    iSlot = TakeServingSlot(dwThread);
    if (iSlot < 0)
        return FALSE;
    s_ahServingThreads[iSlot] = OpenThread(SYNCHRONIZE, FALSE, dwThread);
    s_ahHooks[iSlot] = SetWindowsHookExW(WH_CALLWNDPROC, ItemTextHookProc, NULL, dwThread);
    s_ahCbtHooks[iSlot] = SetWindowsHookExW(WH_CBT, ItemTextCbtProc, NULL, dwThread);
    BOOL fServing = s_ahServingThreads[iSlot] != NULL && s_ahHooks[iSlot] != NULL && s_ahCbtHooks[iSlot] != NULL;
    // A slot whose thread could not be set up names no thread (0 is never a thread's id).
    s_adwServingThreads[iSlot] = fServing ? dwThread : 0;
    return fServing;
}

// The hook lives on a thread only after that thread has called
// PortEnableCrossThreadItemText (the desktop entry point does, for the user-interface
// thread; tests do for theirs). A dialog on any other thread gets the plain call. The
// hooks end with their thread, and Windows gives its id to later threads: a slot whose
// thread has ended is taken by the next thread that enables the hook.
BOOL PortEnableCrossThreadItemText(void)
{
    while (InterlockedCompareExchange(&s_lEnabling, 1, 0) != 0)
        Sleep(0);
    BOOL fServing = EnableLocked();
    InterlockedExchange(&s_lEnabling, 0);
    return fServing;
}

// Takes a free request slot, waiting for one while they are all in use and the dialog
// lives; -1 once it is gone.
static int ClaimRequest(HWND hDlg)
{
    while (WaitForSingleObject(s_hFreeRequests, ITEM_TEXT_SLOT_WAIT_MS) != WAIT_OBJECT_0)
        if (!IsWindow(hDlg))
            return -1;
    // The semaphore's count keeps a slot free for each writer it lets through.
    for (;;)
        for (int i = 0; i < ITEM_TEXT_MAX_REQUESTS; i++)
            if (InterlockedCompareExchange(&s_aRequests[i].lBusy, 1, 0) == 0)
                return i;
}

static void ReleaseRequest(int iSlot)
{
    s_aRequests[iSlot].lTicket = 0;
    InterlockedExchange(&s_aRequests[iSlot].lBusy, 0);
    ReleaseSemaphore(s_hFreeRequests, 1, NULL);
}

// The reader's workers set the card test dialog's fields from their own threads with
// SetDlgItemTextW, which first looks the field up among the dialog's children. Under
// Wine 10 that lookup from another thread, made while the dialog's own thread destroys
// the dialog, can send the wineserver into an endless walk of a child list that is
// being unlinked (closing the dialog at the moment a card lands): every process of the
// session then hangs. The device and Wine 8 do not have the fault, and the program's
// code stays as the device runs it.
//
// Off the device SetDlgItemTextW is this function (platform.h). Called on the dialog's
// own thread it is the plain call. Called from another thread, it sends the dialog a
// message of its own and a hook on the dialog's thread sets the text there: the field is
// looked up by the thread that alone destroys the dialog, so the two can no longer
// overlap. The caller waits as it waits for SetDlgItemTextW itself, which sends
// WM_SETTEXT to that same thread; when the dialog is gone the send fails, as the plain
// call does. A write that finds every request slot taken waits for one as long as the
// dialog lives (the writes holding them end as the dialog's thread serves them): it is
// never made from the caller's thread instead, and never dropped while the dialog lives.
BOOL PortSetDlgItemTextW(HWND hDlg, int nIDDlgItem, LPCWSTR lpString)
{
    DWORD dwOwner = GetWindowThreadProcessId(hDlg, NULL);
    if (dwOwner == 0)
    {
        // No such window: fail as SetDlgItemTextW fails, without asking for its children.
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (dwOwner == GetCurrentThreadId() || ServingSlot(dwOwner) < 0)
        return SetDlgItemTextW(hDlg, nIDDlgItem, lpString);
    int iSlot = ClaimRequest(hDlg);
    if (iSlot < 0)
    {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }

    ItemTextRequest *pRequest = &s_aRequests[iSlot];
    LONG lTicket = InterlockedIncrement(&s_lNextTicket);
    pRequest->nIDDlgItem = nIDDlgItem;
    pRequest->pszText = lpString;
    pRequest->fDone = FALSE;
    pRequest->fResult = FALSE;
    pRequest->lTicket = lTicket;
    SendMessageW(hDlg, s_uItemTextMsg, (WPARAM)iSlot, (LPARAM)lTicket);
    BOOL fDone = pRequest->fDone;
    BOOL fResult = pRequest->fResult;
    ReleaseRequest(iSlot);

    if (fDone)
        return fResult;
    // The dialog is gone (the send failed, or its thread ended meanwhile), as
    // SetDlgItemTextW finds it then.
    if (!IsWindow(hDlg))
        return FALSE;
    // The dialog's thread no longer serves the writes (it has ended, and another thread
    // has its id): the plain call, as without this stand-in.
    return SetDlgItemTextW(hDlg, nIDDlgItem, lpString);
}
