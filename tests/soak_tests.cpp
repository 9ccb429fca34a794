// Long runs and faults: many swipes and many dialog openings must not leak, and
// broken events, failing reads, odd statuses and power events during reads must
// neither crash, hang, spin nor leave a half-written field.
#include <gtest/gtest.h>

#include <windows.h>

#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "../dialogs/dialogs.h"
#include "../mcrsim/dll/mcrsim.h"
#include "../reader/mcrlib.h"
#include "../reader/reader.h"
#include "../res/resource.h"
#include "support/childprocess.h"
#include "support/field_text.h"
#include "support/testsupport.h"

using namespace testing_support;

namespace {

constexpr int kFields[3] = {IDC_ISO1, IDC_ISO2, IDC_JIS2};
constexpr DWORD kBufferBytes[3] = {MCR_ISO1_BYTES, MCR_ISO2_BYTES, MCR_JIS2_BYTES};

struct Usage {
    DWORD threads = 0;
    DWORD handles = 0;
    SIZE_T privateBytes = 0;
};

Usage ProcessUsage() {
    Usage usage;
    const DWORD pid = GetCurrentProcessId();
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == pid) ++usage.threads;
    CloseHandle(snapshot);
    // GetProcessHandleCount is not implemented everywhere (Wine answers 0), so count
    // the handle values that name an object.
    for (ULONG_PTR value = 4; value < 0x4000; value += 4) {
        DWORD flags;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++usage.handles;
    }
    // Committed private memory, region by region (Wine reports no PrivateUsage).
    MEMORY_BASIC_INFORMATION region;
    for (const BYTE *address = nullptr; VirtualQuery(address, &region, sizeof(region)) == sizeof(region);
         address = static_cast<const BYTE *>(region.BaseAddress) + region.RegionSize) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) usage.privateBytes += region.RegionSize;
    }
    return usage;
}

// CPU time this process has used, in milliseconds.
double CpuMs() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto ms = [](FILETIME t) { return ((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e4; };
    return ms(kernel) + ms(user);
}

// What the person must see for one track of a card: MCRRead hands over at most the
// buffer's size.
std::wstring Expected(const MCRSimTrack &track, int t) {
    return TrackField(track.dwStatus, track.abData, std::min<DWORD>(track.cbData, kBufferBytes[t]), kBufferBytes[t]);
}

// A mix of good tracks (full, partial, empty), error codes the decoder gives and
// statuses it never gives (0 and 0xFFFFFFFF).
MCRSimCard RandomCard(std::mt19937 &rng) {
    static const DWORD kStatuses[] = {1, 1, 1, 1, 0x0C, 0x1F, 0, 0xFFFFFFFF, 2};
    MCRSimCard card{};
    for (auto &track : card.track) {
        track.dwStatus = kStatuses[rng() % (sizeof(kStatuses) / sizeof(kStatuses[0]))];
        track.cbData = rng() % (MCRSIM_TRACK_MAX + 1);
        for (DWORD k = 0; k < track.cbData; ++k) track.abData[k] = static_cast<BYTE>(rng());
    }
    return card;
}

bool IsWholeText(const std::wstring &text, int t) {
    if (text.empty() || text == L"APO") return true;
    if (text.compare(0, 6, L"Error:") == 0) return text.size() > 6 && text.size() <= 14;
    return text.size() == 2 * kBufferBytes[t];
}

class SoakTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSimulation();
        PortSetDebugObserver(nullptr);  // keep the journal to library calls
        owner_ = CreateOwnerWindow(240, 294);
    }
    void TearDown() override {
        StopWorkers();
        if (dialog_) DestroyWindow(dialog_);
        DestroyWindow(owner_);
    }
    void Open() {
        dialog_ = CreateCardDialog(owner_, CardDlgProc);
        ASSERT_NE(dialog_, nullptr);
        TrackWorkers();
    }
    void Close() {
        SendMessageW(dialog_, WM_COMMAND, IDC_CLOSE, 0);
        DestroyWindow(dialog_);
        dialog_ = nullptr;
    }
    HWND owner_ = nullptr;
    HWND dialog_ = nullptr;
};

TEST_F(SoakTest, TwoThousandMixedSwipesShowEachCardAndLeakNothing) {
    Open();
    std::mt19937 rng(20261208);
    Usage before{};
    for (int i = 0; i < 2000; ++i) {
        if (i == 100) before = ProcessUsage();  // after the first swipes have warmed up
        const MCRSimCard card = RandomCard(rng);
        ASSERT_EQ(MCRSimSwipe(&card), 1) << "swipe " << i;
        ASSERT_TRUE(WaitForEntries(L"MCRResume", 1)) << "swipe " << i << "\n" << DumpJournal();
        for (int t = 0; t < 3; ++t)
            ASSERT_EQ(FieldText(dialog_, kFields[t]), Expected(card.track[t], t)) << "swipe " << i << " track " << t;
        MCRSimJournalClear();
    }
    const Usage after = ProcessUsage();
    std::printf("2000 swipes: threads %lu -> %lu, handles %lu -> %lu, committed private KiB %zu -> %zu\n",
                before.threads, after.threads, before.handles, after.handles, before.privateBytes / 1024,
                after.privateBytes / 1024);
    ASSERT_GT(before.threads, 2u);
    ASSERT_GT(before.handles, 10u);
    ASSERT_GT(before.privateBytes, 0u);
    EXPECT_EQ(after.threads, before.threads);
    EXPECT_LE(after.handles, before.handles + 2);
    EXPECT_LE(after.privateBytes, before.privateBytes + 512 * 1024) << "private memory grew";
}

TEST_F(SoakTest, TwoHundredOpenCloseCyclesGrowOnlyByTheNeverClosedEvents) {
    // Warm up, so that first-time allocations of the window system do not count.
    Open();
    Close();
    MCRSimJournalClear();
    StopWorkers();
    const Usage before = ProcessUsage();

    constexpr int kCycles = 200;
    for (int i = 0; i < kCycles; ++i) {
        Open();
        TrackWorkers();
        Close();
        // The closed dialog's workers still wait; the next setting of each event
        // lets them finish one cycle and leave.
        StopWorkers();
    }
    const Usage after = ProcessUsage();
    std::printf("%d open/close cycles: threads %lu -> %lu, handles %lu -> %lu\n", kCycles, before.threads,
                after.threads, before.handles, after.handles);
    ASSERT_GT(before.handles, 10u);
    EXPECT_EQ(after.threads, before.threads) << "every old worker left after its event";
    // Each open makes two new event handles that live until the process ends.
    EXPECT_GE(after.handles, before.handles + 2 * kCycles - 4);
    EXPECT_LE(after.handles, before.handles + 2 * kCycles + 4);

    // Still reads correctly.
    Open();
    const MCRSimCard card = MakeCard("END", 1, "", 0x0C, "", 1);
    MCRSimJournalClear();
    ASSERT_EQ(MCRSimSwipe(&card), 1);
    ASSERT_TRUE(WaitForEntries(L"MCRResume", 1)) << DumpJournal();
    EXPECT_EQ(FieldText(dialog_, IDC_ISO1).substr(0, 6), L"454E44");
    EXPECT_EQ(FieldText(dialog_, IDC_ISO2), L"Error:c");
}

TEST_F(SoakTest, ABrokenReadingEventNeitherSpinsNorStopsPowerOffNotices) {
    HANDLE squatter = CreateSemaphoreW(nullptr, 0, 1, MCR_READING_EVENT_NAME);
    if (squatter == nullptr && GetLastError() == ERROR_INVALID_HANDLE)
        GTEST_SKIP() << "an earlier test of this process still holds the event; ctest runs each test alone";
    ASSERT_NE(squatter, nullptr);
    Open();
    ASSERT_EQ(g_hReadEvent, nullptr);

    const double cpuBefore = CpuMs();
    PumpFor(1000);
    EXPECT_LT(CpuMs() - cpuBefore, 250.0) << "a worker spins on its failed wait";
    EXPECT_EQ(CountEntries(L"MCRRead"), 0u);

    ASSERT_EQ(MCRSimPowerOff(), 1);
    ASSERT_TRUE(PumpUntil([&] { return FieldText(dialog_, IDC_JIS2) == L"APO"; })) << DumpJournal();
    Close();
    StopWorkers();
    CloseHandle(squatter);
}

TEST_F(SoakTest, PowerEventsDuringReadsLeaveOnlyWholeTexts) {
    Open();
    std::mt19937 rng(7);
    for (int i = 0; i < 300; ++i) {
        const MCRSimCard card = RandomCard(rng);
        MCRSimSwipe(&card);
        switch (rng() % 3) {
        case 0: MCRSimPowerOff(); break;
        case 1: PostMessageW(dialog_, 0x218 /* WM_POWERBROADCAST */, 0, 0); break;
        default: PostMessageW(dialog_, WM_MOUSEMOVE, 0, 0); break;
        }
        MCRResume();
        PumpFor(1);
        for (int t = 0; t < 3; ++t) {
            const std::wstring text = FieldText(dialog_, kFields[t]);
            ASSERT_TRUE(IsWholeText(text, t)) << "round " << i << " track " << t << ": " << text.size();
        }
    }
    // Afterwards the reader still works as before.
    MCRResume();
    PumpFor(50);
    MCRSimJournalClear();
    const MCRSimCard card = MakeCard("OK", 1, "OK", 1, "OK", 1);
    ASSERT_EQ(MCRSimSwipe(&card), 1);
    ASSERT_TRUE(PumpUntil([&] { return FieldText(dialog_, IDC_JIS2).substr(0, 4) == L"4F4B"; })) << DumpJournal();
}

TEST_F(SoakTest, ClosingWhileAReadIsInFlightEndsCleanly) {
    Open();
    HANDLE readThread = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), g_hReadThread, GetCurrentProcess(), &readThread,
                                SYNCHRONIZE | THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT, FALSE, 0));
    const MCRSimCard card = MakeCard("X", 1, "Y", 1, "Z", 1);
    ASSERT_EQ(MCRSimSwipe(&card), 1);
    // Without pumping, the worker stops inside its cycle at its first field write.
    HANDLE journalEvent = MCRSimJournalEvent();
    while (CountEntries(L"MCRRead") < 1) ASSERT_EQ(WaitForSingleObject(journalEvent, 5000), WAIT_OBJECT_0);

    // The dialog ends and its window is destroyed under the worker. The worker is held
    // still while the window goes: Wine 10's server spins for ever when another thread
    // lists a dialog's children while that dialog's children are being destroyed, which
    // would hang every process of the prefix instead of testing the worker.
    SendMessageW(dialog_, WM_COMMAND, IDC_CLOSE, 0);
    ASSERT_NE(SuspendThread(readThread), static_cast<DWORD>(-1));
    CONTEXT context{};
    context.ContextFlags = CONTEXT_CONTROL;
    GetThreadContext(readThread, &context);  // returns once the thread has really stopped
    DestroyWindow(dialog_);
    dialog_ = nullptr;
    ASSERT_NE(ResumeThread(readThread), static_cast<DWORD>(-1));
    ASSERT_TRUE(WaitForThreadExit(readThread)) << "the worker finishes its cycle and leaves\n" << DumpJournal();
    EXPECT_EQ(CountEntries(L"MCRResume"), 2u) << "one from Close, one ending the worker's cycle";
    CloseHandle(readThread);
}

// Another process reading the card test dialog's fields all the while, as the panel and
// `mcrsim check` do: `mcrsim relay` for this process, asked for the fields line after
// line by a thread of this test. Its dialog reader looks the fields up from its own
// process, while this test's thread opens and destroys the dialog.
class FieldPoller {
public:
    ::testing::AssertionResult Start() {
        HANDLE theirIn = nullptr, theirOut = nullptr;
        if (!CreatePipe(&theirIn, &requests_, nullptr, 0) || !CreatePipe(&replies_, &theirOut, nullptr, 0))
            return ::testing::AssertionFailure() << "no pipes";
        SetHandleInformation(theirIn, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
        SetHandleInformation(theirOut, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
        const bool started =
            relay_.Start(L"mcrsim.exe", L"relay --pid " + std::to_wstring(GetCurrentProcessId()), theirIn, theirOut);
        CloseHandle(theirIn);
        CloseHandle(theirOut);
        if (!started) return ::testing::AssertionFailure() << "cannot start mcrsim.exe: " << relay_.startError();
        thread_ = std::thread([this] { Poll(); });
        return ::testing::AssertionSuccess();
    }
    // Stops asking, and ends the relay (its input ends); the reads that found the dialog
    // open, and those that found none.
    void Stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        CloseHandle(requests_);
        requests_ = nullptr;
        EXPECT_EQ(relay_.ExitCode(), 0u) << relay_.Stderr();
        CloseHandle(replies_);
        replies_ = nullptr;
    }
    ~FieldPoller() {
        if (thread_.joinable()) Stop();
    }
    std::atomic<int> open{0}, closed{0}, other{0};
    std::string lastOther;

private:
    void Poll() {
        std::string pending;
        while (!stop_) {
            DWORD written = 0;
            if (!WriteFile(requests_, "F\n", 2, &written, nullptr)) return;
            size_t end;
            while ((end = pending.find('\n')) == std::string::npos) {
                char buffer[8192];
                DWORD got = 0;
                if (!ReadFile(replies_, buffer, sizeof buffer, &got, nullptr) || got == 0) return;
                pending.append(buffer, got);
            }
            const std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            if (line.rfind("F1 ", 0) == 0) {
                ++open;
            } else if (line.rfind("F0 ", 0) == 0) {
                ++closed;
            } else {
                ++other;
                lastOther = line.substr(0, 200);
            }
        }
    }
    testing_support::ChildProcess relay_;
    HANDLE requests_ = nullptr, replies_ = nullptr;
    std::thread thread_;
    std::atomic<bool> stop_{false};
};

// Closing the dialog while cards keep landing: a second thread swipes all the time, so
// that closes meet the workers in the middle of their field writes (as a person closing
// the dialog at the moment a card lands), and another process reads the dialog's fields
// all the while. Under Wine 10 such a close once hung every process of the session; here
// each one must end, and the reader must still read.
TEST_F(SoakTest, ClosingAsCardsKeepLandingNeverHangs) {
    FieldPoller poller;
    ASSERT_TRUE(poller.Start());
    std::atomic<bool> stop{false};
    std::thread swiper([&stop] {
        const MCRSimCard card = MakeCard("RACE", 1, "RACE", 1, "RACE", 1);
        while (!stop) {
            MCRSimSwipe(&card);  // lost while the dialog is closed
            Sleep(1);
        }
    });
    std::mt19937 rng(20261209);
    constexpr int kRounds = 200;
    int closedMidCycle = 0;
    for (int i = 0; i < kRounds; ++i) {
        MCRSimJournalClear();
        Open();
        PumpFor(rng() % 12);
        Close();
        // A cycle was in flight when the reader closed when more reads had begun than
        // cycles had ended (each ends with MCRResume; Close's own comes just before
        // MCRClose).
        size_t reads = 0, resumes = 0;
        for (const std::wstring &entry : Journal()) {
            if (entry == L"MCRClose") break;
            reads += entry == L"MCRRead";
            resumes += entry == L"MCRResume";
        }
        if (resumes > 0 && reads > resumes - 1) ++closedMidCycle;
        StopWorkers();
        ASSERT_EQ(RunningTrackedWorkers(), 0u) << "round " << i << "\n" << DumpJournal();
    }
    stop = true;
    swiper.join();
    poller.Stop();
    std::printf("%d closes while cards kept landing, %d of them in the middle of a read's cycle; another process "
                "read the fields %d times with the dialog open, %d with it gone\n",
                kRounds, closedMidCycle, poller.open.load(), poller.closed.load());
    EXPECT_GT(closedMidCycle, 0) << "no close met a worker in its cycle: the race was not run";
    EXPECT_EQ(poller.other, 0) << poller.lastOther;
    EXPECT_GE(poller.open, kRounds) << "the other process's reads hardly met an open dialog";
    EXPECT_GT(poller.closed, 0) << "the other process's reads never met a closed dialog";

    Open();
    MCRSimJournalClear();
    const MCRSimCard card = MakeCard("AFTER", 1, "", 0x10, "", 1);
    ASSERT_EQ(MCRSimSwipe(&card), 1);
    ASSERT_TRUE(PumpUntil([&] { return FieldText(dialog_, IDC_ISO2) == L"Error:10"; })) << DumpJournal();
    EXPECT_EQ(FieldText(dialog_, IDC_ISO1).substr(0, 10), L"4146544552");
}

}  // namespace
