#include "testsupport.h"

#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cwchar>
#include <map>

#include "../../port/platform.h"
#include "../../reader/mcrlib.h"
#include "../../reader/reader.h"
#include "../../res/resource.h"

namespace testing_support {

namespace {

void ObserveDebugLine(LPCWSTR line) { MCRSimJournalAppend(LogEntry(line).c_str()); }

std::string Narrow(const std::wstring &text) {
    std::string out;
    for (wchar_t c : text) {
        if (c == L'\r') out += "\\r";
        else if (c == L'\n') out += "\\n";
        else if (c < 0x80) out += static_cast<char>(c);
        else out += '?';
    }
    return out;
}

void PumpPending() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

LRESULT CALLBACK FieldWatchProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    if (msg == WM_SETTEXT) {
        const wchar_t *text = reinterpret_cast<const wchar_t *>(lParam);
        MCRSimJournalAppend(FieldEntry(GetDlgCtrlID(hwnd), text ? text : L"").c_str());
    }
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

// Worker threads seen during this test, by thread id.
std::map<DWORD, HANDLE> g_trackedWorkers;

void TrackThread(HANDLE thread) {
    if (thread == nullptr) return;
    const DWORD id = GetThreadId(thread);
    if (id == 0 || g_trackedWorkers.count(id)) return;
    HANDLE copy = nullptr;
    if (DuplicateHandle(GetCurrentProcess(), thread, GetCurrentProcess(), &copy, SYNCHRONIZE, FALSE, 0))
        g_trackedWorkers[id] = copy;
}

// A test that hangs (a UI thread blocked on a worker that waits for it, a wait with
// no time-out) fails with its journal well before ctest's timeout would kill it with
// neither: after STRIPEWELL_HANG_SECONDS (ctest sets it 20 s below the test's timeout),
// 40 s without it. The watchdog thread sleeps without a handle, so it still runs when
// every thread of the test is blocked.
ULONGLONG HangMs() {
    wchar_t text[16] = L"";
    const DWORD n = GetEnvironmentVariableW(L"STRIPEWELL_HANG_SECONDS", text, 16);
    const unsigned long seconds = n > 0 && n < 16 ? std::wcstoul(text, nullptr, 10) : 0;
    return (seconds > 0 && seconds <= 3600 ? seconds : 40) * 1000ULL;
}
const ULONGLONG kHangMs = HangMs();

class HangWatchdog : public ::testing::EmptyTestEventListener {
public:
    void OnTestStart(const ::testing::TestInfo &) override {
        started_ = GetTickCount64();
        if (thread_ == nullptr) thread_ = CreateThread(nullptr, 0, Watch, this, 0, nullptr);
    }
    void OnTestEnd(const ::testing::TestInfo &) override { started_ = 0; }

private:
    static DWORD WINAPI Watch(LPVOID self) {
        auto *watchdog = static_cast<HangWatchdog *>(self);
        for (;;) {
            Sleep(250);
            const ULONGLONG started = watchdog->started_;
            if (started == 0 || GetTickCount64() - started < kHangMs) continue;
            ADD_FAILURE() << "the test still runs after " << kHangMs / 1000 << " s: it hangs\n" << DumpJournal();
            std::fflush(stdout);
            TerminateProcess(GetCurrentProcess(), 3);
        }
    }
    std::atomic<ULONGLONG> started_{0};
    HANDLE thread_ = nullptr;
};

const bool g_hangWatchdogInstalled = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new HangWatchdog);
    return true;
}();

}  // namespace

std::wstring LogEntry(const std::wstring &line) { return L"log:" + line; }

std::wstring FieldEntry(int fieldId, const std::wstring &text) {
    return L"set:" + std::to_wstring(fieldId) + L":" + text;
}

std::wstring OpenEntry(HWND hwnd) {
    wchar_t text[64];
    swprintf(text, 64, L"MCROpen(%llx)", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(hwnd)));
    return text;
}

std::vector<std::wstring> Journal() {
    std::vector<std::wstring> entries;
    const int count = MCRSimJournalCount();
    std::vector<wchar_t> buffer(4096);
    for (int i = 0; i < count; ++i)
        if (MCRSimJournalGet(i, buffer.data(), static_cast<int>(buffer.size()))) entries.emplace_back(buffer.data());
    return entries;
}

std::vector<std::wstring> JournalWith(const std::vector<std::wstring> &prefixes) {
    std::vector<std::wstring> out;
    for (const auto &entry : Journal())
        for (const auto &prefix : prefixes)
            if (entry.compare(0, prefix.size(), prefix) == 0) {
                out.push_back(entry);
                break;
            }
    return out;
}

std::vector<std::wstring> CallsAndLogs() { return JournalWith({L"MCR", L"log:"}); }

std::string DumpJournal() {
    std::string out = "journal:\n";
    for (const auto &entry : Journal()) out += "  " + Narrow(entry) + "\n";
    return out;
}

void ResetSimulation() {
    MCRSimReset();
    PortSetDebugObserver(ObserveDebugLine);
    // The workers' field writes reach the test's dialogs as they reach the program's.
    PortEnableCrossThreadItemText();
}

bool PumpUntil(const std::function<bool()> &pred, DWORD timeoutMs, const std::vector<HANDLE> &wakeOn) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::vector<HANDLE> handles{MCRSimJournalEvent()};
    handles.insert(handles.end(), wakeOn.begin(), wakeOn.end());
    for (;;) {
        PumpPending();
        if (pred()) return true;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        MsgWaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE,
                                  static_cast<DWORD>(left.count()), QS_ALLINPUT);
    }
}

bool WaitForThreadExit(HANDLE thread, DWORD timeoutMs) {
    return PumpUntil([&] { return WaitForSingleObject(thread, 0) != WAIT_TIMEOUT; }, timeoutMs, {thread});
}

void PumpFor(DWORD ms) { PumpUntil([] { return false; }, ms); }

size_t CountEntries(const std::wstring &prefix) { return JournalWith({prefix}).size(); }

bool WaitForEntries(const std::wstring &prefix, size_t n, DWORD timeoutMs) {
    return PumpUntil([&] { return CountEntries(prefix) >= n; }, timeoutMs);
}

const DLGTEMPLATE *LoadDialogTemplate(int id) {
    HMODULE self = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(self, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5) /* RT_DIALOG */);
    if (found == nullptr) return nullptr;
    HGLOBAL loaded = LoadResource(self, found);
    return loaded ? static_cast<const DLGTEMPLATE *>(LockResource(loaded)) : nullptr;
}

HWND CreateOwnerWindow(int clientW, int clientH) {
    // A borderless popup: its client area is its whole window.
    return CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, 0, 0, clientW, clientH, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

HWND CreateCardDialog(HWND owner, DLGPROC dlgProc) {
    const DLGTEMPLATE *tmpl = LoadDialogTemplate(IDD_CARD);
    if (tmpl == nullptr) return nullptr;
    return CreateDialogIndirectParamW(GetModuleHandleW(nullptr), tmpl, owner, dlgProc, 0);
}

INT_PTR CALLBACK InertDlgProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

void InertCardDialogTest::SetUp() {
    ResetSimulation();
    owner_ = CreateOwnerWindow(240, 294);
    dialog_ = CreateCardDialog(owner_, InertDlgProc);
    ASSERT_NE(dialog_, nullptr);
    WatchTrackFields(dialog_);
    g_hCardDlg = dialog_;
}

void InertCardDialogTest::TearDown() {
    StopWorkers();
    DestroyWindow(dialog_);
    DestroyWindow(owner_);
    PortSetDebugObserver(nullptr);
}

void WatchTrackFields(HWND dlg) {
    for (int id : {IDC_ISO1, IDC_ISO2, IDC_JIS2}) SetWindowSubclass(GetDlgItem(dlg, id), FieldWatchProc, 1, 0);
}

std::wstring FieldText(HWND dlg, int fieldId) {
    wchar_t text[512] = L"";
    GetDlgItemTextW(dlg, fieldId, text, 512);
    return text;
}

MCRSimCard MakeCard(const std::string &iso1, DWORD iso1Status, const std::string &iso2, DWORD iso2Status,
                    const std::string &jis2, DWORD jis2Status) {
    MCRSimCard card{};
    const std::string *data[MCRSIM_TRACKS] = {&iso1, &iso2, &jis2};
    const DWORD status[MCRSIM_TRACKS] = {iso1Status, iso2Status, jis2Status};
    for (int t = 0; t < MCRSIM_TRACKS; ++t) {
        card.track[t].cbData = static_cast<DWORD>(std::min<size_t>(data[t]->size(), MCRSIM_TRACK_MAX));
        std::copy_n(data[t]->begin(), card.track[t].cbData, card.track[t].abData);
        card.track[t].dwStatus = status[t];
    }
    return card;
}

void TrackWorkers() {
    TrackThread(g_hReadThread);
    TrackThread(g_hApoThread);
}

size_t RunningTrackedWorkers() {
    size_t running = 0;
    for (const auto &worker : g_trackedWorkers)
        if (WaitForSingleObject(worker.second, 0) == WAIT_TIMEOUT) ++running;
    return running;
}

void StopWorkers() {
    TrackWorkers();
    HANDLE read = g_hReadThread, apo = g_hApoThread;
    g_hReadThread = nullptr;
    g_hApoThread = nullptr;
    if (read) CloseHandle(read);
    if (apo) CloseHandle(apo);
    g_hCardDlg = nullptr;  // woken workers write nowhere

    // Each setting of an event wakes one waiting worker, so many old workers take a while.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5) +
                          std::chrono::milliseconds(20) * g_trackedWorkers.size();
    while (!g_trackedWorkers.empty() && std::chrono::steady_clock::now() < deadline) {
        for (const wchar_t *name : {MCR_READING_EVENT_NAME, MCR_APO_EVENT_NAME}) {
            if (HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, name)) {
                SetEvent(event);
                CloseHandle(event);
            }
        }
        std::vector<HANDLE> threads;
        for (const auto &worker : g_trackedWorkers) {
            if (threads.size() == MAXIMUM_WAIT_OBJECTS - 2) break;  // room for the journal event
            threads.push_back(worker.second);
        }
        PumpUntil([] { return false; }, 20, threads);
        for (auto it = g_trackedWorkers.begin(); it != g_trackedWorkers.end();) {
            if (WaitForSingleObject(it->second, 0) == WAIT_OBJECT_0) {
                CloseHandle(it->second);
                it = g_trackedWorkers.erase(it);
            } else {
                ++it;
            }
        }
    }

    // Each round sets both events, whichever worker is still to leave, and a worker
    // that is still inside its last cycle waits on neither: every round after the one
    // that woke it leaves its event set with no waiter. Clear that, or the next
    // workers to wait would wake at once and read with no card in the slot.
    for (const wchar_t *name : {MCR_READING_EVENT_NAME, MCR_APO_EVENT_NAME}) {
        if (HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, name)) {
            ResetEvent(event);
            CloseHandle(event);
        }
    }
}

}  // namespace testing_support
