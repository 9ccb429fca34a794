// The simulated card reader library: the card in the slot, the reader's power and
// notification state, the named events as the device's library sets them, automatic
// power-off on its own timer, and a journal of every call.
#include "mcrsim.h"
#include "../../reader/mcrlib.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cwchar>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// MCRGetStatus bits; the program only logs the word.
constexpr DWORD kStatusOpen = 0x01;
constexpr DWORD kStatusPowered = 0x02;
constexpr DWORD kStatusNotify = 0x04;
constexpr DWORD kStatusCardWaiting = 0x08;
constexpr DWORD kStatusApoOn = 0x10;

constexpr DWORD kTrackBytes[MCRSIM_TRACKS] = {MCR_ISO1_BYTES, MCR_ISO2_BYTES, MCR_JIS2_BYTES};
static_assert(MCR_ISO1_BYTES <= MCRSIM_TRACK_MAX && MCR_ISO2_BYTES <= MCRSIM_TRACK_MAX &&
                  MCR_JIS2_BYTES <= MCRSIM_TRACK_MAX,
              "a track image must hold every MCRRead buffer");

// Sets one of the program's named events; false when the program has not created it.
bool SignalNamedEvent(const wchar_t *name) {
    HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, name);
    if (event == nullptr) return false;
    const bool set = SetEvent(event) != FALSE;
    CloseHandle(event);
    return set;
}

// All state lives in one Reader guarded by one mutex: the program calls MCRRead and
// MCRResume from its worker thread and the rest from its UI thread.
struct Reader {
    std::mutex lock;
    std::condition_variable timerWake;
    bool timerStarted = false;

    // Reader state.
    bool open = false;
    bool powered = true;
    bool notify = false;
    bool cardWaiting = false;
    MCRSimCard card{};
    int apoTimeout = 0;
    DWORD apoUnitMs = 1000;
    Clock::time_point lastActivity = Clock::now();
    HWND openWindow = nullptr;
    DWORD swipes = 0, reads = 0, powerOffs = 0;

    // Test settings.
    int openResult = 1;
    int readResult = MCRSIM_NATURAL;

    // Journal.
    std::vector<std::wstring> journal;
    HANDLE journalEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);

    void Journal(std::wstring entry) {  // caller holds the lock
        journal.push_back(std::move(entry));
        SetEvent(journalEvent);
    }

    void ResetLocked() {
        open = false;
        powered = true;
        notify = false;
        cardWaiting = false;
        card = MCRSimCard{};
        apoTimeout = 0;
        apoUnitMs = 1000;
        lastActivity = Clock::now();
        openWindow = nullptr;
        swipes = reads = powerOffs = 0;
        openResult = 1;
        readResult = MCRSIM_NATURAL;
        journal.clear();
        timerWake.notify_all();
    }

    // Something happened that keeps the reader awake.
    void TouchLocked() {
        lastActivity = Clock::now();
        timerWake.notify_all();
    }

    // Powers the reader off; true when the program was told through its event.
    bool PowerOffLocked() {
        powered = false;
        cardWaiting = false;
        ++powerOffs;
        return open && notify && SignalNamedEvent(MCR_APO_EVENT_NAME);
    }

    bool ApoArmedLocked() const { return open && powered && apoTimeout > 0; }

    Clock::time_point ApoDeadlineLocked() const {
        return lastActivity + std::chrono::milliseconds(static_cast<long long>(apoTimeout) * apoUnitMs);
    }

    // Starts the power-off timer the first time it may be needed. The thread lives as
    // long as the process; it sleeps on the condition variable while nothing is armed.
    void EnsureTimerLocked() {
        if (timerStarted) return;
        timerStarted = true;
        std::thread([this] { TimerLoop(); }).detach();
    }

    void TimerLoop() {
        std::unique_lock<std::mutex> guard(lock);
        for (;;) {
            if (!ApoArmedLocked()) {
                timerWake.wait(guard);
                continue;
            }
            const auto deadline = ApoDeadlineLocked();
            if (Clock::now() >= deadline) {
                PowerOffLocked();
                continue;
            }
            timerWake.wait_until(guard, deadline);
        }
    }
};

// Never destroyed: the timer thread may still run while the process exits.
Reader &TheReader() {
    static Reader *reader = new Reader;
    return *reader;
}

std::wstring WithArgument(const wchar_t *name, long long value) {
    wchar_t text[64];
    std::swprintf(text, 64, L"%ls(%lld)", name, value);
    return text;
}

}  // namespace

// The eight reader functions.

extern "C" DWORD MCRGetStatus(void) {
    Reader &r = TheReader();
    std::lock_guard<std::mutex> guard(r.lock);
    r.Journal(L"MCRGetStatus");
    return (r.open ? kStatusOpen : 0) | (r.powered ? kStatusPowered : 0) |
           (r.notify ? kStatusNotify : 0) | (r.cardWaiting ? kStatusCardWaiting : 0) |
           (r.apoTimeout > 0 ? kStatusApoOn : 0);
}

extern "C" int MCROpen(HWND hWnd) {
    Reader &r = TheReader();
    std::lock_guard<std::mutex> guard(r.lock);
    wchar_t text[64];
    std::swprintf(text, 64, L"MCROpen(%llx)", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(hWnd)));
    r.Journal(text);
    if (r.openResult != 1) return r.openResult;
    r.open = true;
    r.powered = true;
    r.cardWaiting = false;
    r.openWindow = hWnd;
    r.TouchLocked();
    r.EnsureTimerLocked();
    return 1;
}

extern "C" int MCRClose(void) {
    Reader &r = TheReader();
    std::lock_guard<std::mutex> guard(r.lock);
    r.Journal(L"MCRClose");
    r.open = false;
    r.cardWaiting = false;
    r.timerWake.notify_all();
    return 1;
}

extern "C" int MCRRead(BYTE *pJis2, BYTE *pIso1, BYTE *pIso2, void *pReserved4, DWORD *pdwJis2Status,
                       DWORD *pdwIso1Status, DWORD *pdwIso2Status, void *pReserved8) {
    Reader &r = TheReader();
    std::lock_guard<std::mutex> guard(r.lock);
    r.Journal(pReserved4 == nullptr && pReserved8 == nullptr ? L"MCRRead" : L"MCRRead(reserved arguments not 0)");
    ++r.reads;

    int result = 0;
    if (r.open && r.powered && r.cardWaiting) {
        BYTE *buffers[MCRSIM_TRACKS] = {pIso1, pIso2, pJis2};
        DWORD *statuses[MCRSIM_TRACKS] = {pdwIso1Status, pdwIso2Status, pdwJis2Status};
        for (int t = 0; t < MCRSIM_TRACKS; ++t) {
            const MCRSimTrack &track = r.card.track[t];
            if (buffers[t] != nullptr)
                std::copy_n(track.abData, std::min(track.cbData, kTrackBytes[t]), buffers[t]);
            if (statuses[t] != nullptr) *statuses[t] = track.dwStatus;
        }
        r.cardWaiting = false;
        result = 1;
    }
    return r.readResult == MCRSIM_NATURAL ? result : r.readResult;
}

extern "C" int MCRResume(void) {
    Reader &r = TheReader();
    std::lock_guard<std::mutex> guard(r.lock);
    r.Journal(L"MCRResume");
    r.powered = true;
    r.TouchLocked();
    return 1;
}

extern "C" int MCRGetEventNotification(void) {
    Reader &r = TheReader();
    std::lock_guard<std::mutex> guard(r.lock);
    r.Journal(L"MCRGetEventNotification");
    return r.notify ? 1 : 0;
}

extern "C" int MCRSetEventNotification(int nEnable) {
    Reader &r = TheReader();
    std::lock_guard<std::mutex> guard(r.lock);
    r.Journal(WithArgument(L"MCRSetEventNotification", nEnable));
    r.notify = nEnable != 0;
    return 1;
}

extern "C" int MCRSetAutoPowerOff(int nTimeout) {
    Reader &r = TheReader();
    std::lock_guard<std::mutex> guard(r.lock);
    r.Journal(WithArgument(L"MCRSetAutoPowerOff", nTimeout));
    r.apoTimeout = std::max(nTimeout, 0);
    r.TouchLocked();
    if (r.apoTimeout > 0) r.EnsureTimerLocked();
    return 1;
}

// The control interface.

extern "C" void MCRSimReset(void) {
    Reader &r = TheReader();
    std::lock_guard<std::mutex> guard(r.lock);
    r.ResetLocked();
}

extern "C" int MCRSimSwipe(const MCRSimCard *pCard) {
    Reader &r = TheReader();
    std::lock_guard<std::mutex> guard(r.lock);
    r.TouchLocked();
    if (pCard == nullptr || !r.open || !r.powered || !r.notify) return 0;
    r.card = *pCard;
    r.cardWaiting = true;
    if (!SignalNamedEvent(MCR_READING_EVENT_NAME)) {
        r.cardWaiting = false;
        return 0;
    }
    ++r.swipes;
    return 1;
}

extern "C" int MCRSimPowerOff(void) {
    Reader &r = TheReader();
    std::lock_guard<std::mutex> guard(r.lock);
    return r.PowerOffLocked() ? 1 : 0;
}

extern "C" void MCRSimSetOpenResult(int nResult) {
    Reader &r = TheReader();
    std::lock_guard<std::mutex> guard(r.lock);
    r.openResult = nResult;
}

extern "C" void MCRSimSetReadResult(int nResult) {
    Reader &r = TheReader();
    std::lock_guard<std::mutex> guard(r.lock);
    r.readResult = nResult;
}

extern "C" void MCRSimSetApoUnitMs(DWORD dwMs) {
    Reader &r = TheReader();
    std::lock_guard<std::mutex> guard(r.lock);
    r.apoUnitMs = std::max<DWORD>(dwMs, 1);
    r.timerWake.notify_all();
}

extern "C" void MCRSimGetState(MCRSimState *pState) {
    if (pState == nullptr) return;
    Reader &r = TheReader();
    std::lock_guard<std::mutex> guard(r.lock);
    pState->fOpen = r.open;
    pState->fPowered = r.powered;
    pState->fNotify = r.notify;
    pState->fCardWaiting = r.cardWaiting;
    pState->nApoTimeout = r.apoTimeout;
    pState->hOpenWindow = r.openWindow;
    pState->dwSwipes = r.swipes;
    pState->dwReads = r.reads;
    pState->dwPowerOffs = r.powerOffs;
}

extern "C" int MCRSimJournalCount(void) {
    Reader &r = TheReader();
    std::lock_guard<std::mutex> guard(r.lock);
    return static_cast<int>(r.journal.size());
}

extern "C" BOOL MCRSimJournalGet(int i, LPWSTR pszEntry, int cch) {
    Reader &r = TheReader();
    std::lock_guard<std::mutex> guard(r.lock);
    if (i < 0 || i >= static_cast<int>(r.journal.size()) || pszEntry == nullptr || cch <= 0) return FALSE;
    const std::wstring &entry = r.journal[i];
    const size_t n = std::min(entry.size(), static_cast<size_t>(cch - 1));
    std::wmemcpy(pszEntry, entry.data(), n);
    pszEntry[n] = L'\0';
    return TRUE;
}

extern "C" void MCRSimJournalAppend(LPCWSTR pszEntry) {
    Reader &r = TheReader();
    std::lock_guard<std::mutex> guard(r.lock);
    r.Journal(pszEntry != nullptr ? pszEntry : L"");
}

extern "C" void MCRSimJournalClear(void) {
    Reader &r = TheReader();
    std::lock_guard<std::mutex> guard(r.lock);
    r.journal.clear();
}

extern "C" HANDLE MCRSimJournalEvent(void) { return TheReader().journalEvent; }
