// The reader core against the simulated library: open and close, the workers'
// cycles, the texts they put into the track fields, and how they stop.
#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <vector>

#include "../mcrsim/dll/mcrsim.h"
#include "../reader/mcrlib.h"
#include "../reader/reader.h"
#include "../res/resource.h"
#include "support/field_text.h"
#include "support/testsupport.h"

using namespace testing_support;
using Entries = std::vector<std::wstring>;

namespace {

std::wstring Repeat(const std::wstring &piece, size_t times) {
    std::wstring text;
    for (size_t i = 0; i < times; ++i) text += piece;
    return text;
}

bool IsRunning(HANDLE thread) { return WaitForSingleObject(thread, 0) == WAIT_TIMEOUT; }


HANDLE Duplicate(HANDLE thread) {
    HANDLE copy = nullptr;
    DuplicateHandle(GetCurrentProcess(), thread, GetCurrentProcess(), &copy, SYNCHRONIZE | THREAD_QUERY_INFORMATION,
                    FALSE, 0);
    return copy;
}

class ReaderTest : public InertCardDialogTest {
protected:
    // The reader opened for the dialog, notifying, workers running, journal empty.
    void OpenWithWorkers() {
        ASSERT_EQ(ReaderOpen(dialog_), TRUE);
        StartReaderWorkers();
        TrackWorkers();
        MCRSetEventNotification(1);
        MCRSimJournalClear();
    }

    void SwipeAndWait(const MCRSimCard &card) {
        const size_t resumes = CountEntries(L"MCRResume");
        ASSERT_EQ(MCRSimSwipe(&card), 1);
        ASSERT_TRUE(WaitForEntries(L"MCRResume", resumes + 1)) << DumpJournal();
    }
};

TEST_F(ReaderTest, OpenCreatesUnsetAutoResetEventsAndLogsOnlyTheStatus) {
    ASSERT_EQ(ReaderOpen(dialog_), TRUE);
    EXPECT_EQ(CallsAndLogs(), (Entries{L"MCRGetStatus", LogEntry(L"MCRStatus=2\r\n"), OpenEntry(dialog_)}));

    ASSERT_NE(g_hReadEvent, nullptr);
    ASSERT_NE(g_hApoEvent, nullptr);
    for (HANDLE event : {g_hReadEvent, g_hApoEvent}) {
        EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT) << "starts unset";
        SetEvent(event);
        EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
        EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT) << "resets itself";
    }
    // The library finds them by name.
    for (const wchar_t *name : {MCR_READING_EVENT_NAME, MCR_APO_EVENT_NAME}) {
        HANDLE byName = OpenEventW(EVENT_MODIFY_STATE, FALSE, name);
        EXPECT_NE(byName, nullptr);
        CloseHandle(byName);
    }
}

TEST_F(ReaderTest, FailedOpenLogsTwoLinesAndKeepsTheEvents) {
    for (int result : {0, 2, -1}) {
        MCRSimReset();
        MCRSimSetOpenResult(result);
        EXPECT_EQ(ReaderOpen(dialog_), FALSE) << "MCROpen gave " << result;
        EXPECT_EQ(CallsAndLogs(), (Entries{L"MCRGetStatus", LogEntry(L"MCRStatus=2\r\n"), OpenEntry(dialog_),
                                           LogEntry(L"!!MCR:Open Failed.\r\n")}));
        EXPECT_NE(g_hReadEvent, nullptr);
        EXPECT_NE(g_hApoEvent, nullptr);
    }
    // Closing from that state still runs the whole sequence.
    MCRSimJournalClear();
    EXPECT_EQ(ReaderClose(), TRUE);
    EXPECT_EQ(CallsAndLogs(), (Entries{L"MCRResume", L"MCRClose"}));
}

TEST_F(ReaderTest, CloseClosesAndClearsWorkerHandlesButKeepsEvents) {
    OpenWithWorkers();
    HANDLE readThread = g_hReadThread, apoThread = g_hApoThread;
    HANDLE readEvent = g_hReadEvent, apoEvent = g_hApoEvent;
    ASSERT_NE(readThread, nullptr);
    ASSERT_NE(apoThread, nullptr);
    const DWORD readThreadId = GetThreadId(readThread), apoThreadId = GetThreadId(apoThread);

    EXPECT_EQ(ReaderClose(), TRUE);
    EXPECT_EQ(CallsAndLogs(), (Entries{L"MCRResume", L"MCRClose"}));
    EXPECT_EQ(g_hReadThread, nullptr);
    EXPECT_EQ(g_hApoThread, nullptr);
    EXPECT_EQ(g_hReadEvent, readEvent);
    EXPECT_EQ(g_hApoEvent, apoEvent);
    // A closed handle's value may already name a new object of another thread (the
    // library's timer creates some), but never the worker again.
    EXPECT_NE(GetThreadId(readThread), readThreadId) << "thread handle was closed";
    EXPECT_NE(GetThreadId(apoThread), apoThreadId) << "thread handle was closed";
    DWORD flags;
    EXPECT_TRUE(GetHandleInformation(readEvent, &flags)) << "events live on";
}

TEST_F(ReaderTest, ReopenGivesNewEventHandlesAndNoWorkersUntilStarted) {
    OpenWithWorkers();
    HANDLE readEvent = g_hReadEvent, apoEvent = g_hApoEvent;
    ReaderClose();
    ASSERT_EQ(ReaderOpen(dialog_), TRUE);
    EXPECT_NE(g_hReadEvent, readEvent);
    EXPECT_NE(g_hApoEvent, apoEvent);
    EXPECT_EQ(g_hReadThread, nullptr);
    EXPECT_EQ(g_hApoThread, nullptr);
}

TEST_F(ReaderTest, StartingWorkersTwiceStartsEachOnce) {
    OpenWithWorkers();
    HANDLE readThread = g_hReadThread, apoThread = g_hApoThread;
    StartReaderWorkers();
    EXPECT_EQ(g_hReadThread, readThread);
    EXPECT_EQ(g_hApoThread, apoThread);
}

TEST_F(ReaderTest, SwipeWritesFieldsInOrderThenResumes) {
    OpenWithWorkers();
    const std::string iso1 = "%B4111111111111111^TEST/CARD^?";
    SwipeAndWait(MakeCard(iso1, 1, "ignored", 0x1F, "", 0xFFFFFFFF));

    const Entries expected{LogEntry(L"Get Data...\r\n"),
                           L"MCRRead",
                           FieldEntry(IDC_ISO1, HexField(iso1, MCR_ISO1_BYTES)),
                           FieldEntry(IDC_ISO2, L"Error:1f"),
                           FieldEntry(IDC_JIS2, L"Error:ffffffff"),
                           L"MCRResume"};
    EXPECT_EQ(Journal(), expected) << DumpJournal();
    EXPECT_EQ(FieldText(dialog_, IDC_ISO1).size(), 152u);
    EXPECT_EQ(FieldText(dialog_, IDC_ISO2), L"Error:1f");
}

TEST_F(ReaderTest, GoodEmptyTracksShowWholeBuffersOfSpaceZeroPairs) {
    OpenWithWorkers();
    SwipeAndWait(MakeCard("", 1, "", 1, "", 1));
    EXPECT_EQ(FieldText(dialog_, IDC_ISO1), Repeat(L" 0", 76));
    EXPECT_EQ(FieldText(dialog_, IDC_ISO2), Repeat(L" 0", 37));
    EXPECT_EQ(FieldText(dialog_, IDC_JIS2), Repeat(L" 0", 69));
}

TEST_F(ReaderTest, FullTracksAreShownByteForByte) {
    OpenWithWorkers();
    std::string all;
    for (int b = 0; b < 76; ++b) all += static_cast<char>(b * 3 + 0x0A);
    SwipeAndWait(MakeCard(all, 1, all, 1, all, 1));
    EXPECT_EQ(FieldText(dialog_, IDC_ISO1), HexField(all, MCR_ISO1_BYTES));
    EXPECT_EQ(FieldText(dialog_, IDC_ISO2), HexField(all.substr(0, MCR_ISO2_BYTES), MCR_ISO2_BYTES));
    EXPECT_EQ(FieldText(dialog_, IDC_JIS2), HexField(all.substr(0, MCR_JIS2_BYTES), MCR_JIS2_BYTES));
}

TEST(FormatTrackHexTest, WritesPaddedUpperCasePairsWithoutSeparators) {
    struct Case {
        std::vector<BYTE> bytes;
        std::wstring text;
    } cases[] = {
        {{0x25, 0x42, 0x31}, L"254231"},
        {{0x0A}, L" A"},
        {{0x00}, L" 0"},
        {{0xFF, 0x10, 0x0F}, L"FF10 F"},
        {{}, L""},
    };
    for (const auto &c : cases) {
        wchar_t text[16];
        wmemset(text, L'#', 16);
        FormatTrackHex(c.bytes.data(), static_cast<int>(c.bytes.size()), text);
        EXPECT_EQ(std::wstring(text), c.text);
    }
}

TEST_F(ReaderTest, FailedReadIsLoggedAndStatusesStillDecide) {
    OpenWithWorkers();
    MCRSimSetReadResult(0);
    SwipeAndWait(MakeCard("\x01", 1, "", 0x05, "", 1));
    EXPECT_EQ(JournalWith({L"log:", L"MCRRead"}),
              (Entries{LogEntry(L"Get Data...\r\n"), L"MCRRead", LogEntry(L"Read Error...\r\n")}));
    EXPECT_EQ(FieldText(dialog_, IDC_ISO1).substr(0, 4), L" 1 0");
    EXPECT_EQ(FieldText(dialog_, IDC_ISO2), L"Error:5");

    // A wake-up with no card: the read fails as a whole and statuses stay 0.
    MCRSimSetReadResult(MCRSIM_NATURAL);
    SetEvent(g_hReadEvent);
    ASSERT_TRUE(WaitForEntries(L"MCRResume", 2)) << DumpJournal();
    for (int id : {IDC_ISO1, IDC_ISO2, IDC_JIS2}) EXPECT_EQ(FieldText(dialog_, id), L"Error:0");
}

TEST_F(ReaderTest, TwoSettingsBeforeTheWorkerWakesGiveOneCycle) {
    OpenWithWorkers();
    MCRSimCard card = MakeCard("A", 1, "B", 1, "C", 1);
    ASSERT_EQ(MCRSimSwipe(&card), 1);
    // Without pumping, the worker's first field write blocks it inside its cycle.
    HANDLE journalEvent = MCRSimJournalEvent();
    while (CountEntries(L"MCRRead") < 1) ASSERT_EQ(WaitForSingleObject(journalEvent, 5000), WAIT_OBJECT_0);
    SetEvent(g_hReadEvent);
    SetEvent(g_hReadEvent);

    ASSERT_TRUE(WaitForEntries(L"MCRResume", 2)) << DumpJournal();
    PumpFor(300);
    EXPECT_EQ(CountEntries(L"MCRRead"), 2u) << DumpJournal();
}

TEST_F(ReaderTest, TwoSettingsAfterTheWorkerWokeGiveTwoCycles) {
    OpenWithWorkers();
    SwipeAndWait(MakeCard("A", 1, "B", 1, "C", 1));
    SwipeAndWait(MakeCard("D", 1, "E", 1, "F", 1));
    EXPECT_EQ(CountEntries(L"MCRRead"), 2u);
    EXPECT_EQ(FieldText(dialog_, IDC_ISO2).substr(0, 2), L"45");
}

TEST_F(ReaderTest, PowerOffMarksFieldsWithoutCallingTheLibrary) {
    OpenWithWorkers();
    ASSERT_EQ(MCRSimPowerOff(), 1);
    ASSERT_TRUE(WaitForEntries(L"set:1004:", 1)) << DumpJournal();
    PumpFor(100);
    EXPECT_EQ(Journal(), (Entries{LogEntry(L"MCR:APO!!>>>\r\n"), FieldEntry(IDC_ISO1, L"APO"),
                                  FieldEntry(IDC_ISO2, L"APO"), FieldEntry(IDC_JIS2, L"APO")}));
}

TEST_F(ReaderTest, AutoPowerOffTimerPowersTheReaderOffUntilResumed) {
    OpenWithWorkers();
    MCRSimSetApoUnitMs(5);
    MCRSetAutoPowerOff(MCR_APO_TIMEOUT);
    ASSERT_TRUE(WaitForEntries(L"set:1004:APO", 1)) << DumpJournal();
    MCRSimState state;
    MCRSimGetState(&state);
    EXPECT_FALSE(state.fPowered);
    MCRSimCard card = MakeCard("A", 1, "B", 1, "C", 1);
    EXPECT_EQ(MCRSimSwipe(&card), 0) << "a reader that is off sees no card";

    MCRSetAutoPowerOff(MCR_APO_OFF);
    MCRResume();
    MCRSimGetState(&state);
    EXPECT_TRUE(state.fPowered);
    SwipeAndWait(card);
    EXPECT_EQ(FieldText(dialog_, IDC_ISO1).substr(0, 2), L"41");
}

TEST_F(ReaderTest, AfterCloseAWorkerEndsAtTheEndOfItsNextCycle) {
    OpenWithWorkers();
    HANDLE readThread = Duplicate(g_hReadThread), apoThread = Duplicate(g_hApoThread);
    ReaderClose();
    PumpFor(200);
    EXPECT_TRUE(IsRunning(readThread)) << "not woken by the close";
    EXPECT_TRUE(IsRunning(apoThread));

    MCRSimJournalClear();
    SetEvent(g_hReadEvent);
    ASSERT_TRUE(WaitForThreadExit(readThread)) << DumpJournal();
    // The last cycle still read, wrote the fields and resumed the closed reader.
    EXPECT_EQ(JournalWith({L"MCR"}), (Entries{L"MCRRead", L"MCRResume"}));
    EXPECT_EQ(FieldText(dialog_, IDC_ISO1), L"Error:0");
    EXPECT_TRUE(IsRunning(apoThread));

    SetEvent(g_hApoEvent);
    ASSERT_TRUE(WaitForThreadExit(apoThread)) << DumpJournal();
    EXPECT_EQ(FieldText(dialog_, IDC_ISO1), L"APO");
    DWORD code = 1;
    GetExitCodeThread(readThread, &code);
    EXPECT_EQ(code, 0u);
    CloseHandle(readThread);
    CloseHandle(apoThread);
}

TEST_F(ReaderTest, AnOldWorkerStaysWhenAReopenStoredNewHandles) {
    OpenWithWorkers();
    HANDLE oldRead = Duplicate(g_hReadThread);
    ReaderClose();
    ASSERT_EQ(ReaderOpen(dialog_), TRUE);
    StartReaderWorkers();
    TrackWorkers();
    HANDLE newRead = Duplicate(g_hReadThread);
    MCRSimJournalClear();

    // Old and new swipe workers wait on the same auto-reset event: each setting
    // wakes one of them, and neither leaves.
    for (int i = 1; i <= 3; ++i) {
        SetEvent(g_hReadEvent);
        ASSERT_TRUE(WaitForEntries(L"MCRResume", i)) << DumpJournal();
    }
    PumpFor(100);
    EXPECT_EQ(CountEntries(L"MCRRead"), 3u);
    EXPECT_TRUE(IsRunning(oldRead));
    EXPECT_TRUE(IsRunning(newRead));
    CloseHandle(oldRead);
    CloseHandle(newRead);
}

// A debug observer that makes every swipe cycle take 200 ms, ten rounds of StopWorkers.
void SlowReadCycle(LPCWSTR line) {
    if (wcsncmp(line, L"Get Data", 8) == 0) Sleep(200);
}

TEST_F(ReaderTest, WorkersStartedAfterOthersWereStoppedWaitForTheirOwnEvents) {
    OpenWithWorkers();
    ReaderClose();
    PortSetDebugObserver(SlowReadCycle);
    StopWorkers();
    ASSERT_EQ(RunningTrackedWorkers(), 0u);
    PortSetDebugObserver(nullptr);

    // The next dialog's workers: no card, no power-off, so no cycle.
    ResetSimulation();
    g_hCardDlg = dialog_;
    OpenWithWorkers();
    PumpFor(300);
    EXPECT_EQ(CountEntries(L"MCRRead"), 0u) << DumpJournal();
    EXPECT_EQ(CountEntries(L"set:"), 0u) << DumpJournal();
}

TEST_F(ReaderTest, AFailedWaitRunsNoCycleAndStillStops) {
    // Another kind of object holds the event's name, so the reading event cannot be
    // created and the worker's wait fails at once.
    HANDLE squatter = CreateMutexW(nullptr, FALSE, MCR_READING_EVENT_NAME);
    if (squatter == nullptr && GetLastError() == ERROR_INVALID_HANDLE)
        GTEST_SKIP() << "an earlier test of this process still holds the event; ctest runs each test alone";
    ASSERT_NE(squatter, nullptr);
    ASSERT_EQ(ReaderOpen(dialog_), TRUE);
    ASSERT_EQ(g_hReadEvent, nullptr);
    StartReaderWorkers();
    HANDLE readThread = Duplicate(g_hReadThread);
    MCRSimJournalClear();

    PumpFor(500);
    EXPECT_EQ(CountEntries(L"MCRRead"), 0u) << DumpJournal();
    EXPECT_EQ(CountEntries(L"log:Get Data"), 0u);
    EXPECT_EQ(CountEntries(L"set:"), 0u);
    EXPECT_TRUE(IsRunning(readThread));

    ReaderClose();
    EXPECT_TRUE(WaitForThreadExit(readThread, 2000)) << "the stop request is honoured without any event";
    CloseHandle(readThread);
    CloseHandle(squatter);
}

}  // namespace
