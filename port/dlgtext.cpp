// Desktop stand-in that keeps a worker's field writes on the dialog's own thread.
//
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
// call does.
//
// The hook lives on a thread only after that thread has called
// PortEnableCrossThreadItemText (the desktop entry point does, for the user-interface
// thread; tests do for theirs). A dialog on any other thread gets the plain call.
#include "platform.h"

// Threads that may serve other threads' field writes, and their hooks.
#define ITEM_TEXT_MAX_THREADS 8
// Field writes from other threads that can be on their way at the same time.
#define ITEM_TEXT_MAX_REQUESTS 16

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

// The message's number, registered once; 0 until a thread has enabled the hook.
static UINT volatile s_uItemTextMsg = 0;

// Written only by the threads that enable the hook, each into a slot it claims.
static DWORD volatile s_adwServingThreads[ITEM_TEXT_MAX_THREADS];
static HHOOK s_ahHooks[ITEM_TEXT_MAX_THREADS];
static HHOOK s_ahCbtHooks[ITEM_TEXT_MAX_THREADS];

// Marks a dialog whose destruction has begun. A thread that waits for another thread
// during DestroyWindow takes sent messages meanwhile, so a write may arrive while the
// dialog's controls are being unlinked: it is dropped then, as it would fail a moment
// later. One atom for the property, so that no destruction adds one.
static ATOM s_atomDestroying = 0;
static LONG volatile s_lServingCount = 0;

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

static BOOL IsServingThread(DWORD dwThreadId)
{
    LONG lCount = s_lServingCount;
    for (LONG i = 0; i < lCount && i < ITEM_TEXT_MAX_THREADS; i++)
        if (s_adwServingThreads[i] == dwThreadId)
            return TRUE;
    return FALSE;
}

BOOL PortEnableCrossThreadItemText(void)
{
    DWORD dwThread = GetCurrentThreadId();
    if (IsServingThread(dwThread))
        return TRUE;
    if (s_atomDestroying == 0)
        s_atomDestroying = GlobalAddAtomW(L"StripewellPortDestroying");
    if (s_uItemTextMsg == 0)
        s_uItemTextMsg = RegisterWindowMessageW(L"StripewellPortSetDlgItemText");
    if (s_uItemTextMsg == 0 || s_atomDestroying == 0)
        return FALSE;
    LONG lSlot = InterlockedIncrement(&s_lServingCount) - 1;
    if (lSlot >= ITEM_TEXT_MAX_THREADS)
    {
        InterlockedDecrement(&s_lServingCount);
        return FALSE;
    }
    s_ahHooks[lSlot] = SetWindowsHookExW(WH_CALLWNDPROC, ItemTextHookProc, NULL, dwThread);
    s_ahCbtHooks[lSlot] = SetWindowsHookExW(WH_CBT, ItemTextCbtProc, NULL, dwThread);
    BOOL fServing = s_ahHooks[lSlot] != NULL && s_ahCbtHooks[lSlot] != NULL;
    // A slot whose hooks could not both be set names no thread (0 is never a thread's id).
    s_adwServingThreads[lSlot] = fServing ? dwThread : 0;
    return fServing;
}

// Takes a free request slot; -1 when all are in use.
static int ClaimRequest(void)
{
    for (int i = 0; i < ITEM_TEXT_MAX_REQUESTS; i++)
        if (InterlockedCompareExchange(&s_aRequests[i].lBusy, 1, 0) == 0)
            return i;
    return -1;
}

BOOL PortSetDlgItemTextW(HWND hDlg, int nIDDlgItem, LPCWSTR lpString)
{
    DWORD dwOwner = GetWindowThreadProcessId(hDlg, NULL);
    if (dwOwner == 0)
    {
        // No such window: fail as SetDlgItemTextW fails, without asking for its children.
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    int iSlot = -1;
    if (dwOwner != GetCurrentThreadId() && IsServingThread(dwOwner))
        iSlot = ClaimRequest();
    if (iSlot < 0)
        return SetDlgItemTextW(hDlg, nIDDlgItem, lpString);

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
    pRequest->lTicket = 0;
    InterlockedExchange(&pRequest->lBusy, 0);

    if (fDone)
        return fResult;
    // The dialog is gone (the send failed), as SetDlgItemTextW finds it then.
    if (!IsWindow(hDlg))
        return FALSE;
    // The dialog's thread no longer serves the writes (it has ended, and another thread
    // has its id): the plain call, as without this stand-in.
    return SetDlgItemTextW(hDlg, nIDDlgItem, lpString);
}
