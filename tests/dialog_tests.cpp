// The card test dialog, its template as compiled, field writes from other threads
// (port/dlgtext.cpp), and dialog centring.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "../dialogs/dialogs.h"
#include "../mcrsim/dll/mcrsim.h"
#include "../reader/mcrlib.h"
#include "../reader/reader.h"
#include "../res/resource.h"
#include "support/testsupport.h"

using namespace testing_support;
using Entries = std::vector<std::wstring>;

namespace {

constexpr UINT kPowerBroadcast = 0x218;

const Entries kClearedFields{FieldEntry(IDC_ISO1, L""), FieldEntry(IDC_ISO2, L""), FieldEntry(IDC_JIS2, L"")};

Entries Concat(std::initializer_list<Entries> parts) {
    Entries all;
    for (const auto &part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

void Command(HWND dialog, int id) { SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }

RECT WindowRect(HWND hwnd) {
    RECT rc{};
    GetWindowRect(hwnd, &rc);
    return rc;
}

// --- The running dialog -------------------------------------------------------

class CardDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSimulation();
        owner_ = CreateOwnerWindow(240, 294);
        ASSERT_NE(owner_, nullptr);
    }

    void TearDown() override {
        StopWorkers();
        if (dialog_) DestroyWindow(dialog_);
        DestroyWindow(owner_);
        PortSetDebugObserver(nullptr);
    }

    // Creates the dialog modeless from its real template; WM_INITDIALOG runs inside.
    void Create() {
        dialog_ = CreateCardDialog(owner_, CardDlgProc);
        ASSERT_NE(dialog_, nullptr);
        TrackWorkers();
        WatchTrackFields(dialog_);
    }

    HWND owner_ = nullptr;
    HWND dialog_ = nullptr;
};

TEST_F(CardDialogTest, InitialisationOpensStartsWorkersCentresAndSwitchesNotificationOn) {
    Create();
    EXPECT_EQ(CallsAndLogs(), (Entries{L"MCRGetStatus", LogEntry(L"MCRStatus=2\r\n"), OpenEntry(dialog_),
                                       L"MCRGetEventNotification", L"MCRSetEventNotification(1)"}));
    EXPECT_EQ(g_hCardDlg, dialog_);
    EXPECT_NE(g_hReadThread, nullptr);
    EXPECT_NE(g_hApoThread, nullptr);

    const RECT rc = WindowRect(dialog_);
    EXPECT_EQ(rc.left, std::max(0L, (240 - (rc.right - rc.left)) / 2));
    EXPECT_EQ(rc.top, std::max(0L, (294 - (rc.bottom - rc.top)) / 2));
    EXPECT_EQ(SendDlgItemMessageW(dialog_, IDC_APO, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(JournalWith({L"MCRSetAutoPowerOff"}), Entries{}) << "power-off setting left as it is";

    // The dialog is live: a swipe reaches its fields.
    MCRSimCard card = MakeCard("1", 1, "2", 1, "3", 1);
    ASSERT_EQ(MCRSimSwipe(&card), 1);
    ASSERT_TRUE(WaitForEntries(L"set:1004:", 1)) << DumpJournal();
    EXPECT_EQ(FieldText(dialog_, IDC_JIS2).substr(0, 4), L"33 0");
}

TEST_F(CardDialogTest, InitialisationLeavesNotificationAloneWhenItIsOn) {
    MCRSetEventNotification(1);
    MCRSimJournalClear();
    Create();
    EXPECT_EQ(JournalWith({L"MCRGetEventNotification", L"MCRSetEventNotification"}),
              (Entries{L"MCRGetEventNotification"}));
}

TEST_F(CardDialogTest, FailedOpenStartsNothingButTheDialogStillWorksAndCloses) {
    MCRSimSetOpenResult(0);
    Create();
    EXPECT_EQ(CallsAndLogs(), (Entries{L"MCRGetStatus", LogEntry(L"MCRStatus=2\r\n"), OpenEntry(dialog_),
                                       LogEntry(L"!!MCR:Open Failed.\r\n")}));
    EXPECT_EQ(g_hCardDlg, dialog_);
    EXPECT_EQ(g_hReadThread, nullptr);
    EXPECT_EQ(g_hApoThread, nullptr);
    const RECT rc = WindowRect(dialog_);
    EXPECT_EQ(rc.left, 0) << "not centred";
    EXPECT_EQ(rc.top, 0);
    EXPECT_TRUE(IsWindow(dialog_));

    MCRSimJournalClear();
    Command(dialog_, IDC_CLEAR);
    Command(dialog_, IDC_CLOSE);
    EXPECT_EQ(Journal(), Concat({kClearedFields, {L"MCRResume", L"MCRClose", LogEntry(L"!MCR:Closed.\r\n")}}));
}

TEST_F(CardDialogTest, ClearEmptiesTheFieldsAndCallsNoLibraryFunction) {
    Create();
    for (int id : {IDC_ISO1, IDC_ISO2, IDC_JIS2}) SetDlgItemTextW(dialog_, id, L"APO");
    MCRSimJournalClear();
    Command(dialog_, IDC_CLEAR);
    EXPECT_EQ(Journal(), kClearedFields);
    for (int id : {IDC_ISO1, IDC_ISO2, IDC_JIS2}) EXPECT_EQ(FieldText(dialog_, id), L"");
}

TEST_F(CardDialogTest, ApoCheckBoxSwitchesAutomaticPowerOff) {
    Create();
    MCRSimJournalClear();
    // A real click: the check box toggles itself, then tells the dialog.
    SendDlgItemMessageW(dialog_, IDC_APO, BM_CLICK, 0, 0);
    ASSERT_EQ(SendDlgItemMessageW(dialog_, IDC_APO, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(Journal(), (Entries{L"MCRSetAutoPowerOff(30)"}));

    MCRSimJournalClear();
    SendDlgItemMessageW(dialog_, IDC_APO, BM_CLICK, 0, 0);
    ASSERT_EQ(SendDlgItemMessageW(dialog_, IDC_APO, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(Journal(), (Entries{L"MCRSetAutoPowerOff(0)", L"MCRResume"}));
}

TEST_F(CardDialogTest, PowerBroadcastResumesTwiceAndClears) {
    Create();
    for (WPARAM event : {WPARAM{0}, WPARAM{4}, WPARAM{0x12}}) {
        MCRSimJournalClear();
        SendMessageW(dialog_, kPowerBroadcast, event, 0);
        EXPECT_EQ(Journal(), Concat({{L"MCRResume", LogEntry(L"WM_POWERBROADCAST.\r\n"), LogEntry(L"Resume.\r\n"),
                                      L"MCRResume"},
                                     kClearedFields}))
            << "power event " << event;
    }
}

TEST_F(CardDialogTest, StylusMovementResumesAndClearsOnEveryMessage) {
    Create();
    MCRSimJournalClear();
    for (int i = 0; i < 3; ++i) SendMessageW(dialog_, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(10 + i, 20));
    const Entries once = Concat({{LogEntry(L"Resume.\r\n"), L"MCRResume"}, kClearedFields});
    EXPECT_EQ(Journal(), Concat({once, once, once}));
}

TEST_F(CardDialogTest, ProcedureResults) {
    Create();
    EXPECT_EQ(CardDlgProc(dialog_, WM_COMMAND, IDC_CLEAR, 0), TRUE);
    EXPECT_EQ(CardDlgProc(dialog_, WM_COMMAND, MAKEWPARAM(IDC_APO, BN_CLICKED), 0), TRUE);
    EXPECT_EQ(CardDlgProc(dialog_, kPowerBroadcast, 0, 0), TRUE);
    EXPECT_EQ(CardDlgProc(dialog_, WM_MOUSEMOVE, 0, 0), TRUE);
    EXPECT_EQ(CardDlgProc(dialog_, WM_COMMAND, IDOK, 0), FALSE);
    EXPECT_EQ(CardDlgProc(dialog_, WM_COMMAND, IDCANCEL, 0), FALSE);
    EXPECT_EQ(CardDlgProc(dialog_, WM_COMMAND, 4242, 0), FALSE);
    EXPECT_EQ(CardDlgProc(dialog_, WM_PAINT, 0, 0), FALSE);
    EXPECT_EQ(CardDlgProc(dialog_, WM_COMMAND, IDC_CLOSE, 0), TRUE);
}

// --- One modal run from the real template -------------------------------------

// Drives a modal card test dialog from a second thread, as a person would.
struct ModalDriver {
    std::atomic<bool> ok{false};
    std::string failure;
    std::wstring fields[3];
    bool stillOpenAfterOkAndCancel = false;

    template <typename Pred>
    static bool Await(Pred pred, DWORD ms = 5000) {
        const DWORD start = GetTickCount();
        HANDLE journal = MCRSimJournalEvent();
        while (!pred()) {
            if (GetTickCount() - start > ms) return false;
            WaitForSingleObject(journal, 50);
        }
        return true;
    }

    void Run(const MCRSimCard &card) {
        HWND dialog = nullptr;
        if (!Await([&] {
                MCRSimState state;
                MCRSimGetState(&state);
                dialog = g_hCardDlg;
                return state.fOpen && state.fNotify && dialog != nullptr && IsWindowVisible(dialog);
            })) {
            failure = "the dialog did not open the reader";
            return;
        }
        if (MCRSimSwipe(&card) != 1) {
            failure = "the swipe was not delivered";
            return;
        }
        if (!Await([&] { return CountEntries(L"MCRResume") >= 1; })) {
            failure = "no read cycle";
            return;
        }
        const int ids[3] = {IDC_ISO1, IDC_ISO2, IDC_JIS2};
        for (int t = 0; t < 3; ++t) {
            wchar_t text[256] = L"";
            GetDlgItemTextW(dialog, ids[t], text, 256);
            fields[t] = text;
        }
        // Neither OK nor Cancel ends this dialog.
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);
        SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        stillOpenAfterOkAndCancel = IsWindow(dialog) && IsWindowVisible(dialog);
        SendDlgItemMessageW(dialog, IDC_CLOSE, BM_CLICK, 0, 0);
        ok = true;
    }
};

TEST_F(CardDialogTest, ModalRunShowsASwipedCardAndEndsWithClose) {
    const DLGTEMPLATE *tmpl = LoadDialogTemplate(IDD_CARD);
    ASSERT_NE(tmpl, nullptr);
    const MCRSimCard card = MakeCard("%B4111?", 1, ";4111=?", 1, "", 0x0C);

    ModalDriver driver;
    std::thread person([&] { driver.Run(card); });
    const INT_PTR result = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), tmpl, owner_, CardDlgProc, 0);
    person.join();

    ASSERT_TRUE(driver.ok) << driver.failure << "\n" << DumpJournal();
    EXPECT_EQ(result, IDC_CLOSE);
    EXPECT_TRUE(driver.stillOpenAfterOkAndCancel);
    EXPECT_EQ(driver.fields[0].substr(0, 14), L"2542343131313F");
    EXPECT_EQ(driver.fields[1].substr(0, 14), L"3B343131313D3F");
    EXPECT_EQ(driver.fields[2], L"Error:c");

    // Closing: resume and close the reader, clear the workers, then log.
    const Entries tail{L"MCRResume", L"MCRClose", LogEntry(L"!MCR:Closed.\r\n")};
    const Entries calls = CallsAndLogs();
    ASSERT_GE(calls.size(), tail.size());
    EXPECT_EQ(Entries(calls.end() - tail.size(), calls.end()), tail) << DumpJournal();
    EXPECT_EQ(g_hReadThread, nullptr);
    EXPECT_EQ(g_hApoThread, nullptr);
}

// --- The template as compiled ---------------------------------------------------

struct ItemSpec {
    int id;
    const wchar_t *cls;
    const wchar_t *text;
    short x, y, cx, cy;
    DWORD style;
};

TEST(CardTemplateTest, MatchesTheDesignedLayout) {
    HRSRC japanese = FindResourceExW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(5), MAKEINTRESOURCEW(IDD_CARD),
                                     MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT));
    ASSERT_NE(japanese, nullptr) << "template in language 1041";
    const DLGTEMPLATE *tmpl = LoadDialogTemplate(IDD_CARD);
    ASSERT_NE(tmpl, nullptr);

    TemplateReader r{reinterpret_cast<const BYTE *>(tmpl)};
    EXPECT_EQ(r.Dword(), 0x80C800C0u) << "style";
    EXPECT_EQ(r.Dword(), 0u) << "extended style";
    const WORD count = r.Word();
    const short x = r.Word(), y = r.Word(), cx = r.Word(), cy = r.Word();
    EXPECT_EQ(count, 9);
    EXPECT_EQ((std::vector<short>{x, y, cx, cy}), (std::vector<short>{0, 0, 137, 139}));
    EXPECT_EQ(r.SzOrOrd(), L"") << "menu";
    EXPECT_EQ(r.SzOrOrd(), L"") << "class";
    EXPECT_EQ(r.SzOrOrd(), L" * Stripewell *");
    EXPECT_EQ(r.Word(), 9) << "point size";
    EXPECT_EQ(r.SzOrOrd(), L"System");

    constexpr DWORD child = WS_CHILD | WS_VISIBLE;
    constexpr DWORD field = child | ES_MULTILINE | ES_AUTOVSCROLL | WS_BORDER | WS_VSCROLL | WS_TABSTOP;
    constexpr DWORD label = child | SS_LEFT | WS_GROUP;
    const ItemSpec expected[] = {
        {IDC_CLEAR, L"#128", L"CLEAR", 10, 116, 32, 14, child | BS_DEFPUSHBUTTON | WS_TABSTOP},
        {IDC_CLOSE, L"#128", L"Close", 45, 116, 32, 14, child | BS_PUSHBUTTON | WS_TABSTOP},
        {IDC_ISO1, L"#129", L"", 32, 12, 94, 30, field},
        {IDC_ISO2, L"#129", L"", 32, 46, 94, 30, field},
        {IDC_JIS2, L"#129", L"", 32, 80, 94, 30, field},
        {IDC_STATIC, L"#130", L"ISO1", 9, 12, 17, 11, label},
        {IDC_STATIC, L"#130", L"ISO2", 9, 46, 17, 11, label},
        {IDC_STATIC, L"#130", L"JIS2", 9, 78, 17, 11, label},
        {IDC_APO, L"#128", L"APO", 95, 116, 29, 14, child | BS_AUTOCHECKBOX | WS_TABSTOP},
    };
    for (int i = 0; i < count && i < 9; ++i) {
        const ItemSpec &e = expected[i];
        SCOPED_TRACE("control " + std::to_string(i));
        r.Align();
        EXPECT_EQ(r.Dword(), e.style);
        EXPECT_EQ(r.Dword(), 0u) << "extended style";
        const short ix = r.Word(), iy = r.Word(), icx = r.Word(), icy = r.Word();
        EXPECT_EQ((std::vector<short>{ix, iy, icx, icy}), (std::vector<short>{e.x, e.y, e.cx, e.cy}));
        EXPECT_EQ(r.Word(), static_cast<WORD>(e.id));
        EXPECT_EQ(r.SzOrOrd(), e.cls);
        EXPECT_EQ(r.SzOrOrd(), e.text);
        const WORD extra = r.Word();
        r.p += extra;
    }
}

// --- Field writes from other threads (port/dlgtext.cpp) --------------------------------

namespace {

// Every text that reaches a field's window procedure, and whether the dialog's thread
// was then carrying out a write another thread asked it for (port/dlgtext.cpp's
// message, which a hook of the test's, called before dlgtext's own, marks): a write that
// another thread looked the field up for itself comes outside such a request.
std::vector<std::pair<std::wstring, bool>> g_setTexts;
int g_insideRequest = 0;

LRESULT CALLBACK MarkRequests(int code, WPARAM wParam, LPARAM lParam) {
    static const UINT request = RegisterWindowMessageW(L"StripewellPortSetDlgItemText");
    const auto *msg = reinterpret_cast<const CWPSTRUCT *>(lParam);
    const bool marked = code == HC_ACTION && msg != nullptr && msg->message == request;
    g_insideRequest += marked;
    const LRESULT result = CallNextHookEx(nullptr, code, wParam, lParam);
    g_insideRequest -= marked;
    return result;
}

LRESULT CALLBACK RecordSetText(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    if (msg == WM_SETTEXT && lParam != 0)
        g_setTexts.emplace_back(reinterpret_cast<const wchar_t *>(lParam), g_insideRequest > 0);
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

// Set when the dialog is destroyed, from a thread the dialog's thread waits for there.
std::atomic<int> g_writeAtDestruction{-1};

DWORD WINAPI WriteLate(LPVOID dialog) {
    g_writeAtDestruction = PortSetDlgItemTextW(static_cast<HWND>(dialog), IDC_ISO1, L"late");
    return 0;
}

// On WM_DESTROY it has another thread write a field, and waits for it taking sent
// messages, as a thread does that waits for another during DestroyWindow.
INT_PTR CALLBACK WriteAtDestructionProc(HWND dlg, UINT msg, WPARAM, LPARAM) {
    if (msg != WM_DESTROY) return FALSE;
    HANDLE writer = CreateThread(nullptr, 0, WriteLate, dlg, 0, nullptr);
    while (MsgWaitForMultipleObjects(1, &writer, FALSE, 5000, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
        MSG pending;
        PeekMessageW(&pending, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    CloseHandle(writer);
    return TRUE;
}

// Waits, pumping, until the threads have done (a few seconds at most); then joins them.
void JoinPumping(std::vector<std::thread> &threads, const std::atomic<int> &done) {
    for (int waited = 0; done < static_cast<int>(threads.size()) && waited < 5000; waited += 10) PumpFor(10);
    EXPECT_EQ(done, static_cast<int>(threads.size())) << "threads done";
    for (std::thread &thread : threads)
        if (thread.joinable()) done == static_cast<int>(threads.size()) ? thread.join() : thread.detach();
}

}  // namespace

class CrossThreadTextTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_setTexts.clear();
        ASSERT_TRUE(PortEnableCrossThreadItemText());
        marker_ = SetWindowsHookExW(WH_CALLWNDPROC, MarkRequests, nullptr, GetCurrentThreadId());
        ASSERT_NE(marker_, nullptr);
        dialog_ = CreateCardDialog(nullptr, WriteAtDestructionProc);
        ASSERT_NE(dialog_, nullptr);
        SetWindowSubclass(GetDlgItem(dialog_, IDC_ISO1), RecordSetText, 1, 0);
    }
    void TearDown() override {
        if (dialog_ != nullptr && IsWindow(dialog_)) DestroyWindow(dialog_);
        UnhookWindowsHookEx(marker_);
    }
    HWND dialog_ = nullptr;
    HHOOK marker_ = nullptr;
};

// Every write from another thread is made by the dialog's own thread, which looks the
// field up: also when more come at once than there are request slots (16), when the
// ones beyond wait for a slot rather than look the field up from their own thread.
TEST_F(CrossThreadTextTest, WritesFromOtherThreadsAreMadeByTheDialogsThreadEvenBeyondItsSlots) {
    constexpr int kWriters = 40;
    std::vector<std::wstring> texts;
    for (int i = 0; i < kWriters; ++i) texts.push_back(L"write " + std::to_wstring(i));
    std::atomic<int> entered{0}, done{0};
    std::vector<int> results(kWriters, -1);
    std::vector<std::thread> writers;
    for (int i = 0; i < kWriters; ++i)
        writers.emplace_back([&, i] {
            ++entered;
            results[i] = PortSetDlgItemTextW(dialog_, IDC_ISO1, texts[i].c_str());
            ++done;
        });
    // Not pumping meanwhile: every writer comes to wait for this thread.
    while (entered < kWriters) Sleep(1);
    Sleep(200);
    JoinPumping(writers, done);
    EXPECT_EQ(std::count(results.begin(), results.end(), TRUE), kWriters) << "every write landed";
    std::set<std::wstring> landed;
    for (const auto &[text, asked] : g_setTexts) {
        landed.insert(text);
        EXPECT_TRUE(asked) << "'" << std::string(text.begin(), text.end())
                           << "' was looked up and sent from the writer's own thread";
    }
    EXPECT_EQ(landed, std::set<std::wstring>(texts.begin(), texts.end()));
}

// A write that comes while the dialog is being destroyed is dropped, and one after it
// fails at once: neither hangs.
TEST_F(CrossThreadTextTest, WritesDuringAndAfterTheDialogsDestructionFailAndWaitForNothing) {
    ASSERT_TRUE(PortSetDlgItemTextW(dialog_, IDC_ISO1, L"before"));
    g_writeAtDestruction = -1;
    const DWORD start = GetTickCount();
    DestroyWindow(dialog_);
    EXPECT_EQ(g_writeAtDestruction, FALSE);
    ASSERT_EQ(g_setTexts.size(), 1u) << "only the write before the destruction";
    EXPECT_EQ(g_setTexts[0], std::make_pair(std::wstring(L"before"), false)) << "made on the dialog's own thread";
    std::atomic<int> after{-1};
    std::thread([&] { after = PortSetDlgItemTextW(dialog_, IDC_ISO1, L"after"); }).join();
    EXPECT_EQ(after, FALSE);
    EXPECT_LT(GetTickCount() - start, 3000u);
    dialog_ = nullptr;
}

// A dialog's thread that ends (taking its dialog with it) while a write waits for it
// lets the writer go, with FALSE; and the threads after it get its slot (there are 8).
TEST(CrossThreadTextThreads, AThreadThatEndsReleasesItsWriterAndItsSlot) {
    HWND dialog = nullptr;
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr), end = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread owner([&] {
        if (PortEnableCrossThreadItemText()) dialog = CreateCardDialog(nullptr, InertDlgProc);
        SetEvent(ready);
        WaitForSingleObject(end, 10000);  // answering nothing meanwhile
    });
    ASSERT_EQ(WaitForSingleObject(ready, 5000), WAIT_OBJECT_0);
    ASSERT_NE(dialog, nullptr);
    std::atomic<bool> entered{false};
    std::atomic<int> written{-1};
    std::thread writer([&] {
        entered = true;
        written = PortSetDlgItemTextW(dialog, IDC_ISO1, L"lost");
    });
    while (!entered) Sleep(1);
    Sleep(100);
    SetEvent(end);
    owner.join();
    for (int i = 0; i < 500 && written == -1; ++i) Sleep(10);
    EXPECT_EQ(written, FALSE) << "the writer still waits for a thread that has ended";
    written == -1 ? writer.detach() : writer.join();

    for (int i = 0; i < 12; ++i) {
        std::atomic<int> served{-1};
        std::thread([&] { served = PortEnableCrossThreadItemText(); }).join();
        EXPECT_EQ(served, TRUE) << "thread " << i;
    }
    CloseHandle(ready);
    CloseHandle(end);
}

// --- Centring ----------------------------------------------------------------------

TEST(CenterOffsetTest, HalvesTheDifferenceTruncatingTowardZeroAndNeverNegative) {
    EXPECT_EQ(CenterOffset(240, 200), 20);
    EXPECT_EQ(CenterOffset(294, 150), 72);
    EXPECT_EQ(CenterOffset(241, 200), 20);
    EXPECT_EQ(CenterOffset(240, 239), 0);
    EXPECT_EQ(CenterOffset(240, 240), 0);
    EXPECT_EQ(CenterOffset(240, 241), 0);
    EXPECT_EQ(CenterOffset(240, 1000), 0);
    EXPECT_EQ(CenterOffset(0x7FFFFFFF, 1), 0x3FFFFFFF);
}

class CenterDialogTest : public ::testing::Test {
protected:
    void TearDown() override {
        if (dialog_) DestroyWindow(dialog_);
        if (owner_) DestroyWindow(owner_);
    }
    // An owned popup of the given size, somewhere away from its final place.
    void Make(int ownerX, int ownerY, int clientW, int clientH, int dlgW, int dlgH) {
        owner_ = CreateOwnerWindow(clientW, clientH);
        SetWindowPos(owner_, nullptr, ownerX, ownerY, 0, 0, SWP_NOZORDER | SWP_NOSIZE);
        dialog_ = CreateWindowExW(0, L"STATIC", L"dlg", WS_POPUP, 300, 300, dlgW, dlgH, owner_, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(dialog_, nullptr);
    }
    RECT Moved() {
        CenterDialog(dialog_);
        return WindowRect(dialog_);
    }
    HWND owner_ = nullptr;
    HWND dialog_ = nullptr;
};

TEST_F(CenterDialogTest, CentresOnTheParentClientSizeAtTheScreenOrigin) {
    Make(100, 50, 240, 294, 200, 150);
    const RECT rc = Moved();
    EXPECT_EQ(rc.left, 20) << "the owner's own position is not added";
    EXPECT_EQ(rc.top, 72);
    EXPECT_EQ(rc.right - rc.left, 200) << "size kept";
    EXPECT_EQ(rc.bottom - rc.top, 150);
}

TEST_F(CenterDialogTest, OnePixelNarrowerGivesZero) {
    Make(0, 0, 240, 294, 239, 150);
    EXPECT_EQ(Moved().left, 0);
}

TEST_F(CenterDialogTest, LargerThanTheParentGoesToZeroOnThatAxis) {
    Make(0, 0, 240, 294, 300, 100);
    RECT rc = Moved();
    EXPECT_EQ(rc.left, 0);
    EXPECT_EQ(rc.top, 97);
    DestroyWindow(dialog_);
    DestroyWindow(owner_);
    Make(0, 0, 240, 294, 100, 400);
    rc = Moved();
    EXPECT_EQ(rc.left, 70);
    EXPECT_EQ(rc.top, 0);
}

TEST_F(CenterDialogTest, AWindowThatIsGoneIsLeftAlone) {
    Make(0, 0, 240, 294, 200, 150);
    HWND gone = dialog_;
    DestroyWindow(gone);
    dialog_ = nullptr;
    const RECT ownerBefore = WindowRect(owner_);
    CenterDialog(gone);  // GetWindowRect fails: nothing moves, nothing breaks
    const RECT ownerAfter = WindowRect(owner_);
    EXPECT_EQ(ownerAfter.left, ownerBefore.left);
    EXPECT_EQ(ownerAfter.top, ownerBefore.top);
    EXPECT_FALSE(IsWindow(gone));
}

}  // namespace
