// Swipe to screen and dialog open/close, measured against a bare Win32 baseline in
// the same run. Prints figures; never fails on timing.
//   card_bench [swipes] [cycles]
#include <windows.h>

#include <commctrl.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "../dialogs/dialogs.h"
#include "../mcrsim/dll/mcrsim.h"
#include "../reader/mcrlib.h"
#include "../reader/reader.h"
#include "../res/resource.h"
#include "../tests/support/testsupport.h"
#include "bench_stats.h"

// The baseline sets its fields with the plain call, not the program's desktop stand-in.
#undef SetDlgItemTextW

using namespace testing_support;

namespace {

// When the third field last received its text, stamped on the UI thread.
double g_thirdFieldSetUs = 0;
LONG g_thirdFieldSets = 0;

LRESULT CALLBACK StampThirdField(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    if (msg == WM_SETTEXT) {
        g_thirdFieldSetUs = bench::NowUs();
        ++g_thirdFieldSets;
    }
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

bool PumpUntilSets(LONG n) { return PumpUntil([n] { return g_thirdFieldSets >= n; }, 5000); }

// The baseline: a thread that waits on the same named event and sets three fields.
HWND g_bareDialog = nullptr;
volatile bool g_bareStop = false;

DWORD WINAPI BareWorker(LPVOID) {
    static wchar_t text[2 * MCR_ISO1_BYTES + 1];
    for (int i = 0; i < 2 * MCR_ISO1_BYTES; ++i) text[i] = L'0' + (i % 10);
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, MCR_READING_EVENT_NAME);
    while (!g_bareStop) {
        if (WaitForSingleObject(event, INFINITE) != WAIT_OBJECT_0) break;
        SetDlgItemTextW(g_bareDialog, IDC_ISO1, text);
        SetDlgItemTextW(g_bareDialog, IDC_ISO2, text);
        SetDlgItemTextW(g_bareDialog, IDC_JIS2, text);
    }
    CloseHandle(event);
    return 0;
}

std::vector<double> TimeSwipes(int swipes, HWND dialog) {
    SetWindowSubclass(GetDlgItem(dialog, IDC_JIS2), StampThirdField, 1, 0);
    const MCRSimCard card = MakeCard(std::string(76, 'A'), 1, std::string(37, '5'), 1, std::string(69, 'J'), 1);
    std::vector<double> samples;
    for (int i = 0; i < swipes; ++i) {
        const LONG before = g_thirdFieldSets;
        const double start = bench::NowUs();
        if (MCRSimSwipe(&card) != 1 || !PumpUntilSets(before + 1)) {
            std::fprintf(stderr, "swipe %d was not shown\n", i);
            std::exit(1);
        }
        samples.push_back(g_thirdFieldSetUs - start);
        PumpUntil([] { return CountEntries(L"MCRResume") > 0; }, 5000);  // the cycle's end
        MCRSimJournalClear();
    }
    return samples;
}

void SwipeToScreen(int swipes) {
    HWND owner = CreateOwnerWindow(240, 294);

    // Bare baseline first.
    MCRSimReset();
    HANDLE keepEvent = CreateEventW(nullptr, FALSE, FALSE, MCR_READING_EVENT_NAME);
    g_bareDialog = CreateCardDialog(owner, InertDlgProc);
    MCROpen(g_bareDialog);
    MCRSetEventNotification(1);
    HANDLE bare = CreateThread(nullptr, 0, BareWorker, nullptr, 0, nullptr);
    std::vector<double> bareSamples;
    {
        SetWindowSubclass(GetDlgItem(g_bareDialog, IDC_JIS2), StampThirdField, 1, 0);
        const MCRSimCard card = MakeCard("A", 1, "B", 1, "C", 1);
        for (int i = 0; i < swipes; ++i) {
            const LONG before = g_thirdFieldSets;
            const double start = bench::NowUs();
            const int delivered = MCRSimSwipe(&card);
            if (delivered != 1 || !PumpUntilSets(before + 1)) {
                std::fprintf(stderr, "bare swipe %d was not shown (delivered %d)\n", i, delivered);
                std::exit(1);
            }
            bareSamples.push_back(g_thirdFieldSetUs - start);
            MCRRead(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);  // empty the slot
        }
    }
    g_bareStop = true;
    SetEvent(keepEvent);
    WaitForThreadExit(bare);
    CloseHandle(bare);
    MCRClose();
    DestroyWindow(g_bareDialog);

    // Stripewell's own dialog and workers.
    MCRSimReset();
    HWND dialog = CreateCardDialog(owner, CardDlgProc);
    TrackWorkers();
    const std::vector<double> samples = TimeSwipes(swipes, dialog);
    SendMessageW(dialog, WM_COMMAND, IDC_CLOSE, 0);
    DestroyWindow(dialog);
    StopWorkers();
    CloseHandle(keepEvent);
    DestroyWindow(owner);

    const bench::Summary ours = bench::Summarise(samples), base = bench::Summarise(bareSamples);
    std::printf("Swipe to screen, %d swipes (event set -> third field holds its text)\n", swipes);
    bench::Print("Stripewell", ours, "us");
    bench::Print("bare thread + three fields", base, "us");
    std::printf("  ratio p99 %.2f (target <= 3.0), median %.2f\n\n", ours.p99 / base.p99, ours.median / base.median);
}

DWORD CountThreads() {
    DWORD n = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++n;
    CloseHandle(snapshot);
    return n;
}

DWORD CountHandles() {
    DWORD n = 0, flags;
    for (ULONG_PTR value = 4; value < 0x4000; value += 4)
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++n;
    return n;
}

void OpenClose(int cycles) {
    MCRSimReset();
    HWND owner = CreateOwnerWindow(240, 294);
    const DLGTEMPLATE *tmpl = LoadDialogTemplate(IDD_CARD);
    // Baseline: the same template with a procedure that does nothing.
    std::vector<double> bare, ours;
    for (int i = 0; i < cycles; ++i) {
        const double start = bench::NowUs();
        HWND dialog = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), tmpl, owner, InertDlgProc, 0);
        DestroyWindow(dialog);
        bare.push_back(bench::NowUs() - start);
    }
    const DWORD threads0 = CountThreads(), handles0 = CountHandles();
    for (int i = 0; i < cycles; ++i) {
        const double start = bench::NowUs();
        HWND dialog = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), tmpl, owner, CardDlgProc, 0);
        const double opened = bench::NowUs();
        TrackWorkers();  // not timed
        const double closing = bench::NowUs();
        SendMessageW(dialog, WM_COMMAND, IDC_CLOSE, 0);
        DestroyWindow(dialog);
        ours.push_back(bench::NowUs() - closing + opened - start);
    }
    const DWORD threads1 = CountThreads(), handles1 = CountHandles();
    const size_t waiting = RunningTrackedWorkers();
    StopWorkers();
    const DWORD threads2 = CountThreads(), handles2 = CountHandles();
    DestroyWindow(owner);

    const bench::Summary o = bench::Summarise(ours), b = bench::Summarise(bare);
    std::printf("Card dialog open and close, %d cycles\n", cycles);
    bench::Print("Stripewell (open reader, workers)", o, "us");
    bench::Print("same template, inert procedure", b, "us");
    std::printf("  ratio median %.2f\n", o.median / b.median);
    std::printf("  after the cycles: threads %+ld, handles %+ld, %zu old workers waiting for their next\n"
                "  event (each open leaves two event handles by design)\n",
                static_cast<long>(threads1) - static_cast<long>(threads0),
                static_cast<long>(handles1) - static_cast<long>(handles0), waiting);
    std::printf("  after waking the old workers once: threads %+ld, handles %+ld\n\n",
                static_cast<long>(threads2) - static_cast<long>(threads0),
                static_cast<long>(handles2) - static_cast<long>(handles0));
}

// Named objects are shared by every process of a Wine prefix. When another process
// already holds the reader's events, its swipes and its stopping of workers would wake
// this run's workers (and this run would wake its): the figures would be of both.
bool ReaderEventsHeldElsewhere() {
    for (const wchar_t *name : {MCR_READING_EVENT_NAME, MCR_APO_EVENT_NAME}) {
        if (HANDLE event = OpenEventW(SYNCHRONIZE, FALSE, name)) {
            CloseHandle(event);
            return true;
        }
    }
    return false;
}

}  // namespace

int wmain(int argc, wchar_t **argv) {
    const int swipes = argc > 1 ? _wtoi(argv[1]) : 1000;
    const int cycles = argc > 2 ? _wtoi(argv[2]) : 200;
    if (ReaderEventsHeldElsewhere()) {
        std::fprintf(stderr, "another process of this Wine prefix holds the reader's events; "
                             "run the benchmark in a prefix of its own (scripts/bench does)\n");
        return 1;
    }
    ResetSimulation();
    PortSetDebugObserver(nullptr);
    SwipeToScreen(swipes);
    OpenClose(cycles);
    return 0;
}
