// The simulator driven as a person drives it: Stripewell.exe, mcrsim.exe and
// mcrsim-panel.exe run as processes of their own, and the card test dialog's fields must
// show what the reader model (mcrsim::ReadCard) reads of the same card.
#include <gtest/gtest.h>

#include <windows.h>

#include <tlhelp32.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "support/childprocess.h"
#include "support/field_text.h"
#include "../mcrsim/core/damage_kinds.h"
#include "../mcrsim/core/deck.h"
#include "../mcrsim/core/default_deck.h"
#include "../mcrsim/core/wedge.h"
#include "../mcrsim/panel/panel_ids.h"
#include "../mcrsim/client/mailbox_client.h"
#include "../mcrsim/control/control.h"
#include "../mcrsim/text/utf8.h"
#include "../res/resource.h"
#include "../mcrsim/client/find_window.h"

namespace {

using mcrsim_text::Utf8;
using mcrsim_text::Wide;

constexpr DWORD kWaitMs = 8000;

// Waits, pumping this thread's messages, until pred() holds; false after timeoutMs.
bool WaitFor(const std::function<bool()> &pred, DWORD timeoutMs = kWaitMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        if (pred()) return true;
        const DWORD spent = GetTickCount() - start;
        if (spent >= timeoutMs) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, std::min<DWORD>(20, timeoutMs - spent), QS_ALLINPUT);
    }
}

// A window's text, also of another process's control (GetWindowTextW would not ask it).
std::wstring Text(HWND hwnd) {
    wchar_t text[1024] = L"";
    SendMessageTimeoutW(hwnd, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, kWaitMs, nullptr);
    return text;
}

std::wstring Field(HWND dlg, int id) { return Text(GetDlgItem(dlg, id)); }

// What the card test dialog shows for a track the reader read.
std::wstring Shown(const mcrsim::TrackRead &track, size_t bufferBytes) {
    return testing_support::TrackField(track.status, track.bytes.data(), bufferBytes, bufferBytes);
}

// One run of mcrsim.exe with the given arguments and standard input.
struct ToolRun {
    DWORD code = STILL_ACTIVE;
    std::string out, err;
};

// Takes whatever the pipe holds without blocking.
void Drain(HANDLE pipe, std::string *into) {
    DWORD available = 0;
    while (PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
        char buffer[4096];
        DWORD got = 0;
        if (!ReadFile(pipe, buffer, std::min<DWORD>(available, sizeof buffer), &got, nullptr) || got == 0) return;
        into->append(buffer, got);
    }
}

ToolRun RunTool(const std::wstring &args, const std::string &input = "") {
    ToolRun run;
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE inRead, inWrite, outRead, outWrite, errRead, errWrite;
    if (!CreatePipe(&inRead, &inWrite, &inherit, 0) || !CreatePipe(&outRead, &outWrite, &inherit, 0) ||
        !CreatePipe(&errRead, &errWrite, &inherit, 0)) {
        ADD_FAILURE() << "no pipes";
        return run;
    }
    for (HANDLE mine : {inWrite, outRead, errRead}) SetHandleInformation(mine, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = inRead;
    si.hStdOutput = outWrite;
    si.hStdError = errWrite;
    PROCESS_INFORMATION pi{};
    const std::wstring exe = testing_support::BesideMe(L"mcrsim.exe");
    std::wstring command = L"\"" + exe + L"\" " + args;
    DWORD startError = ERROR_SUCCESS;
    const BOOL started = testing_support::CreateProcessInheriting(exe, command, si, pi, &startError);
    for (HANDLE theirs : {inRead, outWrite, errWrite}) CloseHandle(theirs);
    if (started) {
        DWORD written = 0;
        if (!input.empty()) WriteFile(inWrite, input.data(), static_cast<DWORD>(input.size()), &written, nullptr);
        CloseHandle(inWrite);
        inWrite = nullptr;
        const bool ended = WaitFor([&] {
            Drain(outRead, &run.out);
            Drain(errRead, &run.err);
            return WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0;
        });
        if (!ended) {
            ADD_FAILURE() << "mcrsim " << Utf8(args) << " did not end";
            TerminateProcess(pi.hProcess, 99);
            WaitForSingleObject(pi.hProcess, kWaitMs);
        }
        Drain(outRead, &run.out);
        Drain(errRead, &run.err);
        GetExitCodeProcess(pi.hProcess, &run.code);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    } else {
        ADD_FAILURE() << "cannot start mcrsim.exe: " << startError;
    }
    for (HANDLE h : {inWrite, outRead, errRead})
        if (h) CloseHandle(h);
    return run;
}

std::string Describe(const ToolRun &run) {
    return "exit " + std::to_string(run.code) + "\nstdout:\n" + run.out + "stderr:\n" + run.err;
}

// Waits until the three fields of the card test dialog show these texts.
::testing::AssertionResult DialogShowsTexts(HWND dialog, const std::wstring (&expected)[3]) {
    const int ids[] = {IDC_ISO1, IDC_ISO2, IDC_JIS2};
    if (WaitFor([&] {
            for (int t = 0; t < 3; ++t)
                if (Field(dialog, ids[t]) != expected[t]) return false;
            return true;
        }))
        return ::testing::AssertionSuccess();
    auto failure = ::testing::AssertionFailure();
    for (int t = 0; t < 3; ++t)
        failure << "field " << ids[t] << ": " << Utf8(Field(dialog, ids[t])) << "\n  expected " << Utf8(expected[t]) << "\n";
    return failure;
}

// Waits until they show what the reader model read.
::testing::AssertionResult DialogShows(HWND dialog, const mcrsim::CardRead &read) {
    const std::wstring expected[] = {Shown(read.tracks[0], 76), Shown(read.tracks[1], 37), Shown(read.tracks[2], 69)};
    return DialogShowsTexts(dialog, expected);
}

// Stripewell with its card test dialog open and its reader taking cards.
class Stripewell {
public:
    ::testing::AssertionResult Start() {
        if (!process_.Start(L"Stripewell.exe")) return ::testing::AssertionFailure() << "cannot start Stripewell.exe";
        if (!WaitFor([&] { return (main_ = FindWindowW(L"STRIPEWELL", nullptr)) != nullptr; }))
            return ::testing::AssertionFailure() << "no main window";
        return ::testing::AssertionSuccess();
    }

    ::testing::AssertionResult OpenCardDialog() {
        PostMessageW(main_, WM_COMMAND, MAKEWPARAM(IDM_CARD_TEST, 0), 0);
        dialog_ = process_.WaitForWindow(L"#32770", L" * Stripewell *");
        if (dialog_ == nullptr) return ::testing::AssertionFailure() << "no card test dialog";
        mcrsim_mailbox::Client reader(process_.pid());
        if (!WaitFor([&] {
                const auto reply = reader.State();
                return reply && reply->state.fOpen && reply->state.fNotify;
            }))
            return ::testing::AssertionFailure() << "the reader never took cards";
        return ::testing::AssertionSuccess();
    }

    // Waits until the three fields show what the reader model read.
    ::testing::AssertionResult Shows(const mcrsim::CardRead &read) const { return DialogShows(dialog_, read); }
    ::testing::AssertionResult ShowsTexts(const std::wstring (&expected)[3]) const {
        return DialogShowsTexts(dialog_, expected);
    }

    // Closes the card test dialog, then the program; its exit code.
    DWORD Close() {
        if (dialog_ != nullptr && IsWindow(dialog_)) {
            SendMessageW(GetDlgItem(dialog_, IDC_CLOSE), BM_CLICK, 0, 0);
            WaitFor([&] { return !IsWindow(dialog_); });
        }
        PostMessageW(main_, WM_CLOSE, 0, 0);
        return process_.ExitCode();
    }

    DWORD pid() const { return process_.pid(); }
    HWND dialog() const { return dialog_; }

private:
    testing_support::ChildProcess process_;
    HWND main_ = nullptr;
    HWND dialog_ = nullptr;
};

const mcrsim::Card &DeckCard(const char *name) { return *mcrsim::FindCard(mcrsim::DefaultDeck(), name); }

}  // namespace

TEST(MCRSimDrive, ToolSwipesDeckCardsAndWedgeLinesPowersOffAndReportsTheState) {
    ASSERT_EQ(FindWindowW(L"STRIPEWELL", nullptr), nullptr) << "another Stripewell runs in this prefix";
    ToolRun run = RunTool(L"status");
    EXPECT_EQ(run.code, 3u) << Describe(run);
    EXPECT_EQ(run.err, mcrsim_control::NoStripewellMessage() + "\r\n");

    Stripewell program;
    ASSERT_TRUE(program.Start());
    run = RunTool(L"swipe full");
    EXPECT_EQ(run.code, 4u) << Describe(run);
    EXPECT_NE(run.err.find("card reader is closed: open the card test dialog"), std::string::npos) << Describe(run);
    ASSERT_TRUE(program.OpenCardDialog());

    run = RunTool(L"swipe full --check");
    EXPECT_EQ(run.code, 0u) << Describe(run);
    EXPECT_EQ(run.out.rfind("Swiped 'full': iso1 good", 0), 0u) << Describe(run);
    EXPECT_NE(run.out.find("\r\nStripewell shows what the reader read.\r\n  iso1 shows \"B3530111333300000^"),
              std::string::npos)
        << Describe(run);
    EXPECT_TRUE(program.Shows(mcrsim::ReadCard(DeckCard("full"))));

    run = RunTool(L"swipe err-parity --pid " + std::to_wstring(program.pid()));
    EXPECT_EQ(run.code, 0u) << Describe(run);
    EXPECT_TRUE(program.Shows(mcrsim::ReadCard(DeckCard("err-parity"))));

    run = RunTool(L"status");
    EXPECT_EQ(run.code, 0u) << Describe(run);
    for (const char *line : {"reader: open\r\n", "powered: yes\r\n", "notification: on\r\n", "auto power-off: off\r\n",
                             "swipes: 2\r\n", "reads: 2\r\n", "ready for cards\r\n"})
        EXPECT_NE(run.out.find(line), std::string::npos) << line << Describe(run);
    EXPECT_NE(run.out.find("Stripewell: process " + std::to_string(program.pid()) + "\r\n"), std::string::npos);

    // A wedge line swipes; an unparseable one after it swipes nothing.
    const std::string iso = "%B4111111111111111^SAMPLE/JANE^4912101?;4111111111111111=4912101?";
    run = RunTool(L"wedge", iso + "\r\n%B4111\r\n");
    EXPECT_EQ(run.code, 1u) << Describe(run);
    EXPECT_EQ(run.out.rfind("line 1: Swiped the wedge line: iso1 good", 0), 0u) << Describe(run);
    EXPECT_EQ(run.err, "line 2: column 1: the iso1 track that starts here has no end sentinel '?'; nothing swiped.\r\n");
    EXPECT_TRUE(program.Shows(mcrsim::ReadCard(mcrsim::ParseWedge(iso).card)));
    // Lines far too long, or with no end, are skipped whole, in time linear in the input;
    // the lines after them still swipe.
    const DWORD start = GetTickCount();
    run = RunTool(L"wedge", std::string(16 << 20, 'x') + "\n" + iso + "\n" + std::string(9000, '%'));
    EXPECT_LT(GetTickCount() - start, 8000u);
    EXPECT_EQ(run.code, 1u) << Describe(run);
    EXPECT_EQ(run.out.rfind("line 2: Swiped the wedge line: iso1 good", 0), 0u) << Describe(run);
    EXPECT_EQ(run.err, "line 1: longer than 8192 bytes; skipped, nothing swiped.\r\n"
                       "line 3: longer than 8192 bytes; skipped, nothing swiped.\r\n");
    // JIS II in the second slot, typed with escapes, after a track the wedge could not read.
    const std::string jis = "%E?\\x7FSTRIPEWELL WEDGE 4111111111111111\\x7F";
    run = RunTool(L"wedge", jis + "\n");
    EXPECT_EQ(run.code, 0u) << Describe(run);
    const mcrsim::CardRead jisRead = mcrsim::ReadCard(mcrsim::ParseWedge(jis).card);
    ASSERT_EQ(jisRead[mcrsim::Track::Jis2].status, mcrsim::kTrackGood);
    EXPECT_TRUE(program.Shows(jisRead));

    run = RunTool(L"apo");
    EXPECT_EQ(run.code, 0u) << Describe(run);
    const std::wstring apo[3] = {L"APO", L"APO", L"APO"};
    EXPECT_TRUE(program.ShowsTexts(apo));
    run = RunTool(L"status");
    EXPECT_EQ(run.code, 4u) << Describe(run);
    EXPECT_NE(run.out.find("powered: no (powered off)\r\n"), std::string::npos) << Describe(run);
    EXPECT_NE(run.out.find("power-offs: 1\r\n"), std::string::npos) << Describe(run);

    EXPECT_EQ(program.Close(), 0u);
}

TEST(MCRSimDrive, PanelFindsStripewellSwipesWithDamageTakesWedgeTextAndPowersOff) {
    ASSERT_EQ(FindWindowW(L"STRIPEWELL", nullptr), nullptr) << "another Stripewell runs in this prefix";
    testing_support::ChildProcess panelProcess;
    ASSERT_TRUE(panelProcess.Start(L"mcrsim-panel.exe"));
    HWND panel = panelProcess.WaitForWindow(MCRSIM_PANEL_CLASS);
    ASSERT_NE(panel, nullptr);
    const std::wstring none = Wide(mcrsim_control::NoStripewellMessage());
    EXPECT_TRUE(WaitFor([&] { return Field(panel, IDC_PANEL_STATE) == none; })) << Utf8(Field(panel, IDC_PANEL_STATE));

    Stripewell program;
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(program.OpenCardDialog());
    const std::wstring found = L"Stripewell (process " + std::to_wstring(program.pid()) + L"): reader open";
    EXPECT_TRUE(WaitFor([&] {
        const std::wstring state = Field(panel, IDC_PANEL_STATE);
        return state.rfind(found, 0) == 0 && state.find(L"Ready for cards.") != std::wstring::npos;
    })) << "the panel polls the reader: "
        << Utf8(Field(panel, IDC_PANEL_STATE));

    // The full card with its ISO2 end worn off, chosen in the list and the damage boxes.
    const LRESULT index = SendDlgItemMessageW(panel, IDC_PANEL_CARDS, LB_FINDSTRING, static_cast<WPARAM>(-1),
                                              reinterpret_cast<LPARAM>(L"full  "));
    ASSERT_NE(index, LB_ERR);
    SendDlgItemMessageW(panel, IDC_PANEL_CARDS, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    const LRESULT lostEnd = SendDlgItemMessageW(panel, IDC_PANEL_DAMAGE, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                                reinterpret_cast<LPARAM>(L"Lost end sentinel"));
    ASSERT_NE(lostEnd, CB_ERR);
    SendDlgItemMessageW(panel, IDC_PANEL_DAMAGE, CB_SETCURSEL, static_cast<WPARAM>(lostEnd), 0);
    SendDlgItemMessageW(panel, IDC_PANEL_TRACK, CB_SETCURSEL, 2, 0);  // ISO2
    // The track view, under the list and inside the panel, follows the choice.
    HWND view = GetDlgItem(panel, IDC_PANEL_TRACKVIEW);
    ASSERT_NE(view, nullptr);
    RECT list{}, viewRect{}, client{};
    GetWindowRect(GetDlgItem(panel, IDC_PANEL_CARDS), &list);
    GetWindowRect(view, &viewRect);
    GetClientRect(panel, &client);
    MapWindowPoints(panel, nullptr, reinterpret_cast<POINT *>(&client), 2);
    EXPECT_GE(viewRect.top, list.bottom);
    EXPECT_LE(viewRect.bottom, client.bottom);
    SendMessageW(panel, WM_COMMAND, MAKEWPARAM(IDC_PANEL_TRACK, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(GetDlgItem(panel, IDC_PANEL_TRACK)));
    EXPECT_EQ(Utf8(Text(view)), "Chosen: 'full' with lose-end on iso2, as the reader would read it\r\n"
                                "iso1  good (57 characters), read forward\r\n"
                                "iso2  Error:14 (no-end), read forward (backward: no-start)\r\n"
                                "jis2  good (69 characters), read forward");
    SendDlgItemMessageW(panel, IDC_PANEL_SWIPE, BM_CLICK, 0, 0);
    mcrsim::Card worn = DeckCard("full");
    mcrsim::AddDamage(&worn, mcrsim::DamageKind::LostEnd, mcrsim::Track::Iso2);
    const mcrsim::CardRead wornRead = mcrsim::ReadCard(worn);
    ASSERT_EQ(wornRead[mcrsim::Track::Iso2].status, mcrsim::kErrNoEndSentinel);
    EXPECT_TRUE(program.Shows(wornRead));
    EXPECT_TRUE(WaitFor([&] {
        return Field(panel, IDC_PANEL_RESULT).rfind(L"Swiped 'full' with lose-end on iso2: iso1 good", 0) == 0;
    })) << Utf8(Field(panel, IDC_PANEL_RESULT));
    EXPECT_EQ(Text(view).rfind(L"Last swipe: 'full' with lose-end on iso2\r\niso1  good", 0), 0u) << Utf8(Text(view));
    // The panel reads the dialog back, decoded, and compares it with what the reader read.
    EXPECT_TRUE(WaitFor([&] { return Field(panel, IDC_PANEL_VERDICT) == L"Stripewell shows what the reader read."; }))
        << Utf8(Field(panel, IDC_PANEL_VERDICT));
    EXPECT_EQ(Field(panel, IDC_PANEL_SHOWN + 1), L"iso2  Error:14 (no-end)");
    EXPECT_EQ(Field(panel, IDC_PANEL_SHOWN).rfind(L"iso1  \"B3530111333300000^SAMPLE/HANAKO^", 0), 0u);
    // A field set wrong by hand after the swipe: the panel's next look and mcrsim check
    // both say how it differs.
    SendMessageW(GetDlgItem(program.dialog(), IDC_ISO2), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"Error:12"));
    const std::string differs = "Stripewell differs: iso2: Stripewell shows Error:12 (parity), the reader read Error:14 (no-end).";
    EXPECT_TRUE(WaitFor([&] { return Utf8(Field(panel, IDC_PANEL_VERDICT)) == differs; }))
        << Utf8(Field(panel, IDC_PANEL_VERDICT));
    ToolRun check = RunTool(L"check full --damage lose-end --track iso2");
    EXPECT_EQ(check.code, 5u) << Describe(check);
    EXPECT_EQ(check.err.rfind(differs + "\r\n  iso1 shows ", 0), 0u) << Describe(check);

    // Wedge text and Enter, as a wedge reader types it into the line.
    HWND wedge = GetDlgItem(panel, IDC_PANEL_WEDGE);
    SetWindowTextW(wedge, L"%B4111\\x7F");
    PostMessageW(wedge, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_TRUE(WaitFor([&] { return Field(panel, IDC_PANEL_RESULT).rfind(L"Wedge text not swiped: column 1: ", 0) == 0; }))
        << Utf8(Field(panel, IDC_PANEL_RESULT));
    EXPECT_EQ(Text(wedge), L"%B4111\\x7F") << "text that swiped nothing stays to be mended";
    const std::string line = ";4111111111111111=4912101?\\x7FSTRIPEWELL PANEL\\x7F";
    SetWindowTextW(wedge, Wide(line).c_str());
    PostMessageW(wedge, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_TRUE(program.Shows(mcrsim::ReadCard(mcrsim::ParseWedge(line).card)));
    EXPECT_TRUE(WaitFor([&] { return Text(wedge).empty(); })) << "the line is ready for the next swipe";
    EXPECT_EQ(Utf8(Text(view)), "Last swipe: the wedge text (its tracks are not shown: it may be a real card)");

    SendDlgItemMessageW(panel, IDC_PANEL_POWER_OFF, BM_CLICK, 0, 0);
    const std::wstring apo[3] = {L"APO", L"APO", L"APO"};
    EXPECT_TRUE(program.ShowsTexts(apo));
    EXPECT_TRUE(WaitFor([&] { return Field(panel, IDC_PANEL_STATE).find(L"powered off") != std::wstring::npos; }));

    // Stripewell ends; the panel says so and stays open for the next one.
    EXPECT_EQ(program.Close(), 0u);
    EXPECT_TRUE(WaitFor([&] { return Field(panel, IDC_PANEL_STATE) == none; })) << Utf8(Field(panel, IDC_PANEL_STATE));
    SendDlgItemMessageW(panel, IDC_PANEL_SWIPE, BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitFor([&] { return Field(panel, IDC_PANEL_RESULT) == none; })) << Utf8(Field(panel, IDC_PANEL_RESULT));
    PostMessageW(panel, WM_CLOSE, 0, 0);
    EXPECT_EQ(panelProcess.ExitCode(), 0u);
}

TEST(MCRSimDrive, PanelShowsWhyADeckFileDidNotLoadAndRefusesArgumentsThatMeanNothing) {
    testing_support::ChildProcess panelProcess;
    const std::string deck = std::string(CARD_TEST_DATA) + "/typo.deck";
    ASSERT_TRUE(panelProcess.Start(L"mcrsim-panel.exe", L"--deck \"" + Wide(deck) + L"\""));
    HWND panel = panelProcess.WaitForWindow(MCRSIM_PANEL_CLASS);
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(Utf8(Field(panel, IDC_PANEL_DECK)), "Deck not loaded: " + deck + ":7: unknown damage 'flipp' "
                                                  "(expected flip, lose-start, lose-end, reversed or truncate)");
    EXPECT_EQ(SendDlgItemMessageW(panel, IDC_PANEL_CARDS, LB_GETCOUNT, 0, 0), 0);
    SendDlgItemMessageW(panel, IDC_PANEL_SWIPE, BM_CLICK, 0, 0);
    EXPECT_EQ(Field(panel, IDC_PANEL_RESULT), L"Choose a card in the list first.");
    PostMessageW(panel, WM_CLOSE, 0, 0);
    EXPECT_EQ(panelProcess.ExitCode(), 0u);

    // A deck named as a Windows device would have the panel read the serial port for
    // ever before its window shows.
    testing_support::ChildProcess device;
    ASSERT_TRUE(device.Start(L"mcrsim-panel.exe", L"--deck com1.deck"));
    panel = device.WaitForWindow(MCRSIM_PANEL_CLASS);
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(Utf8(Field(panel, IDC_PANEL_DECK)), "Deck not loaded: com1.deck: Windows opens this name as the device COM1, "
                                                  "not as a file (in any folder, with any extension): give the deck "
                                                  "another name");
    PostMessageW(panel, WM_CLOSE, 0, 0);
    EXPECT_EQ(device.ExitCode(), 0u);

    // A usage error ends the panel before it opens, saying what is wrong; --pid reads as
    // mcrsim's does.
    const std::string pid = "--pid needs a process id (a number above 0), not '";
    const std::string at = "--at needs X,Y (the window's top-left corner, in whole pixels), not '";
    const std::pair<std::wstring, std::string> usage[] = {
        {L"--colour blue", "unknown argument '--colour'"},
        {L"--pid -1", pid + "-1'"},
        {L"--pid 99999999999", pid + "99999999999'"},
        {L"--pid 4294967296", pid + "4294967296'"},
        {L"--at 10", at + "10'"},
        {L"--at 1.5,2", at + "1.5,2'"},
        {L"--at 99999999999,0", at + "99999999999,0'"},
        {L"--at 1,2,3", at + "1,2,3'"},
    };
    for (const auto &[args, says] : usage) {
        testing_support::ChildProcess wrong;
        ASSERT_TRUE(wrong.Start(L"mcrsim-panel.exe", args));
        EXPECT_EQ(wrong.ExitCode(), 2u) << Utf8(args);
        const std::vector<std::string> lines = wrong.StderrLines();
        EXPECT_EQ(lines.empty() ? std::string() : lines[0], "mcrsim-panel: " + says) << Utf8(args);
    }

    // A place beyond every screen puts the whole panel as far there as the work area goes.
    RECT work{};
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    for (const bool beyond : {true, false}) {
        testing_support::ChildProcess placed;
        ASSERT_TRUE(placed.Start(L"mcrsim-panel.exe", beyond ? L"--at 2147483647,2147483647" : L"--at -99999,-99999"));
        panel = placed.WaitForWindow(MCRSIM_PANEL_CLASS);
        ASSERT_NE(panel, nullptr);
        RECT rc{};
        GetWindowRect(panel, &rc);
        const POINT corner = beyond ? POINT{rc.right, rc.bottom} : POINT{rc.left, rc.top};
        EXPECT_EQ(corner.x, beyond ? work.right : work.left) << "beyond " << beyond;
        EXPECT_EQ(corner.y, beyond ? work.bottom : work.top) << "beyond " << beyond;
        PostMessageW(panel, WM_CLOSE, 0, 0);
        EXPECT_EQ(placed.ExitCode(), 0u);
    }
}

namespace {

// Whether the window answers a message within a second (its thread waits for nothing).
bool Answers(HWND hwnd) {
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_NORMAL, 1000, &ignored) != 0;
}

// Waits until the window's text is text, checking all the while that the window answers.
::testing::AssertionResult AnswersUntil(HWND window, HWND field, const std::wstring &text) {
    bool answered = true;
    if (WaitFor([&] { return (answered = answered && Answers(window)) && Text(field) == text; }) && answered)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << (answered ? "" : "the window stopped answering; ") << "it shows "
                                         << Utf8(Text(field)) << "\n  expected " << Utf8(text);
}

void EndProcess(DWORD pid) {
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
    ASSERT_NE(process, nullptr);
    TerminateProcess(process, 9);
    WaitForSingleObject(process, kWaitMs);
    CloseHandle(process);
}

// One pipe whose ends go to different processes: an end is made inheritable just for
// the process that takes it, and this test's copy is closed once that process has it,
// so that when a process ends the other side sees the pipe close.
struct Pipe {
    HANDLE read = nullptr, write = nullptr;
    Pipe() { CreatePipe(&read, &write, nullptr, 1 << 16); }
    ~Pipe() {
        for (HANDLE h : {read, write})
            if (h != nullptr) CloseHandle(h);
    }
    static HANDLE Give(HANDLE end) {
        SetHandleInformation(end, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
        return end;
    }
    static void Gone(HANDLE *end) {
        CloseHandle(*end);
        *end = nullptr;
    }
};

// Starts `mcrsim relay` for Stripewell pid between the pipe of requests and the pipe
// of replies, and gives the client's ends to client (when given) as its standard
// input and output.
bool StartRelay(testing_support::ChildProcess *relay, DWORD pid, Pipe *requests, Pipe *replies,
                testing_support::ChildProcess *client = nullptr, const std::wstring &clientArgs = L"") {
    const bool started = relay->Start(L"mcrsim.exe", L"relay --pid " + std::to_wstring(pid), Pipe::Give(requests->read),
                                      Pipe::Give(replies->write));
    Pipe::Gone(&requests->read);
    Pipe::Gone(&replies->write);
    if (!started || client == nullptr) return started;
    const bool clientStarted =
        client->Start(L"mcrsim-panel.exe", clientArgs, Pipe::Give(replies->read), Pipe::Give(requests->write));
    Pipe::Gone(&replies->read);
    Pipe::Gone(&requests->write);
    return clientStarted;
}

}  // namespace

TEST(MCRSimDrive, RelayCarriesSwipesAndTheDialogAndThePanelSeesItEnd) {
    ASSERT_EQ(FindWindowW(L"STRIPEWELL", nullptr), nullptr) << "another Stripewell runs in this prefix";
    Stripewell program;
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(program.OpenCardDialog());

    // This test as the relay's client: a swipe, the dialog read back, an over-long line.
    Pipe requests, replies;
    testing_support::ChildProcess relay;
    ASSERT_TRUE(StartRelay(&relay, program.pid(), &requests, &replies));
    mcrsim_control::Connection connection(mcrsim_relay::Pipes{requests.write, replies.read}, program.pid());
    const mcrsim::CardRead read = mcrsim::ReadCard(DeckCard("err-parity"));
    EXPECT_EQ(connection.Swipe(read, "'err-parity'").code, 0) << connection.WhyNoReply().message;
    const mcrsim_control::Outcome check = connection.Check(read);
    EXPECT_EQ(check.message, "Stripewell shows what the reader read.");
    EXPECT_TRUE(program.Shows(read));
    const std::string tooLong = std::string(10000, 'M') + "\n";
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(requests.write, tooLong.data(), static_cast<DWORD>(tooLong.size()), &written, nullptr));
    std::string answer;
    char c = 0;
    for (DWORD got = 0; answer.size() < 200 && ReadFile(replies.read, &c, 1, &got, nullptr) && got == 1 && c != '\n';)
        answer += c;
    EXPECT_EQ(answer, "Ee a request line longer than 8192 bytes; it was skipped\r");
    EXPECT_EQ(connection.State().code, 0) << "the relay goes on after it";
    // The relay ends: the client says so at once, and again when asked again.
    EndProcess(relay.pid());
    for (int again = 0; again < 2; ++again) {
        const DWORD start = GetTickCount();
        const mcrsim_control::Outcome gone = connection.State();
        EXPECT_EQ(gone.code, 3);
        EXPECT_EQ(gone.message, "Stripewell cannot be reached: the relay to Stripewell's prefix has ended.");
        EXPECT_LT(GetTickCount() - start, 1000u);
    }

    // The panel through a relay of its own, as scripts/run starts it.
    Pipe panelRequests, panelReplies;
    testing_support::ChildProcess panelRelay, panelProcess;
    ASSERT_TRUE(StartRelay(&panelRelay, program.pid(), &panelRequests, &panelReplies, &panelProcess,
                           L"--relay --pid " + std::to_wstring(program.pid())));
    HWND panel = panelProcess.WaitForWindow(MCRSIM_PANEL_CLASS);
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(WaitFor([&] { return Field(panel, IDC_PANEL_STATE).find(L"Ready for cards.") != std::wstring::npos; }))
        << Utf8(Field(panel, IDC_PANEL_STATE));
    SendDlgItemMessageW(panel, IDC_PANEL_SWIPE, BM_CLICK, 0, 0);  // the first card, 'full'
    EXPECT_TRUE(program.Shows(mcrsim::ReadCard(DeckCard("full"))));
    EXPECT_TRUE(AnswersUntil(panel, GetDlgItem(panel, IDC_PANEL_VERDICT), L"Stripewell shows what the reader read."));
    EndProcess(panelRelay.pid());
    const std::wstring ended = L"Stripewell cannot be reached: the relay to Stripewell's prefix has ended.";
    EXPECT_TRUE(AnswersUntil(panel, GetDlgItem(panel, IDC_PANEL_STATE), ended));
    SendDlgItemMessageW(panel, IDC_PANEL_SWIPE, BM_CLICK, 0, 0);
    EXPECT_TRUE(AnswersUntil(panel, GetDlgItem(panel, IDC_PANEL_RESULT), ended));
    PostMessageW(panel, WM_CLOSE, 0, 0);
    EXPECT_EQ(panelProcess.ExitCode(), 0u);
    EXPECT_EQ(program.Close(), 0u);

    // A relay that never answers (this test, holding the panel's pipes): the panel says
    // so, keeps answering, and closes.
    Pipe silentRequests, silentReplies;
    testing_support::ChildProcess waiting;
    ASSERT_TRUE(waiting.Start(L"mcrsim-panel.exe", L"--relay --pid 4", Pipe::Give(silentReplies.read),
                              Pipe::Give(silentRequests.write)));
    Pipe::Gone(&silentReplies.read);
    Pipe::Gone(&silentRequests.write);
    panel = waiting.WaitForWindow(MCRSIM_PANEL_CLASS);
    ASSERT_NE(panel, nullptr);
    bool answered = true;
    const std::wstring silent = L"The relay to Stripewell's prefix does not answer: the panel has waited ";
    EXPECT_TRUE(WaitFor([&] {
        return (answered = answered && Answers(panel)) && Field(panel, IDC_PANEL_STATE).rfind(silent, 0) == 0;
    }, 3 * kWaitMs)) << Utf8(Field(panel, IDC_PANEL_STATE));
    EXPECT_TRUE(answered) << "the panel's window waited for the relay";
    PostMessageW(panel, WM_CLOSE, 0, 0);
    EXPECT_EQ(waiting.ExitCode(), 0u);
}

TEST(MCRSimDrive, AReaderAnotherProgramKeepsBusyOrForgedMessagesLeaveThePanelAnswering) {
    ASSERT_EQ(FindWindowW(L"STRIPEWELL", nullptr), nullptr) << "another Stripewell runs in this prefix";
    Stripewell program;
    ASSERT_TRUE(program.Start());
    const std::wstring self = std::to_wstring(program.pid());
    testing_support::ChildProcess panelProcess;
    ASSERT_TRUE(panelProcess.Start(L"mcrsim-panel.exe", L"--pid " + self));
    HWND panel = panelProcess.WaitForWindow(MCRSIM_PANEL_CLASS);
    ASSERT_NE(panel, nullptr);
    HWND state = GetDlgItem(panel, IDC_PANEL_STATE);
    const std::wstring idle = L"Stripewell (process " + self + L"): reader closed";
    EXPECT_TRUE(WaitFor([&] { return Text(state).rfind(idle, 0) == 0; })) << Utf8(Text(state));

    // Any process may post the panel any message. The worker's own carries nothing the
    // panel trusts: one with a made-up pointer in it (once deleted, a page fault) and a
    // storm of them leave the panel up, and a swipe posted after them has its result.
    PostMessageW(panel, WM_APP + 1, 0, 0x12345678);
    for (int i = 1; i <= 10000; ++i) PostMessageW(panel, WM_APP + 1, i, static_cast<LPARAM>(i) * 0x10001);
    PostMessageW(panel, WM_COMMAND, MAKEWPARAM(IDC_PANEL_SWIPE, BN_CLICKED), 0);
    EXPECT_TRUE(AnswersUntil(panel, GetDlgItem(panel, IDC_PANEL_RESULT),
                             Wide("Not swiped: " + mcrsim_control::NotReadyReason(MCRSimState{}))));
    EXPECT_EQ(panelProcess.ExitCode(0), static_cast<DWORD>(STILL_ACTIVE)) << panelProcess.Stderr();

    // The panel has made the mutex already: taking it is waiting for it.
    HANDLE held = CreateMutexW(nullptr, FALSE, (L"MCRSim." + self + L".client").c_str());
    ASSERT_NE(held, nullptr);
    ASSERT_EQ(WaitForSingleObject(held, kWaitMs), WAIT_OBJECT_0);
    const std::wstring busy = L"Stripewell's card reader is busy: another program has held its mailbox (MCRSim." + self +
                              L".client) for 3 s; try again when that program has finished with it.";
    const DWORD start = GetTickCount();
    const ToolRun run = RunTool(L"status --pid " + self);
    EXPECT_LT(GetTickCount() - start, 7000u);
    EXPECT_EQ(run.code, 4u) << Describe(run);
    EXPECT_EQ(run.err, Utf8(busy) + "\r\n");
    EXPECT_TRUE(AnswersUntil(panel, state, busy));
    EXPECT_FALSE(WaitFor([&] { return !Answers(panel); }, 4000)) << "the panel's window waits while it polls";
    ReleaseMutex(held);
    CloseHandle(held);
    EXPECT_TRUE(WaitFor([&] { return Text(state).rfind(idle, 0) == 0; })) << Utf8(Text(state));
    PostMessageW(panel, WM_CLOSE, 0, 0);
    EXPECT_EQ(panelProcess.ExitCode(), 0u);
    EXPECT_EQ(program.Close(), 0u);
}

namespace {

// The process started by parent from exe; 0 when there is none.
DWORD ChildOf(DWORD parent, const wchar_t *exe) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    DWORD found = 0;
    for (BOOL more = Process32FirstW(snapshot, &entry); more && found == 0; more = Process32NextW(snapshot, &entry))
        if (entry.th32ParentProcessID == parent && _wcsicmp(entry.szExeFile, exe) == 0) found = entry.th32ProcessID;
    CloseHandle(snapshot);
    return found;
}

// A Stripewell and its panel as one start program started them, its card test dialog open.
struct Started {
    testing_support::ChildProcess start;
    DWORD stripewell = 0, panelPid = 0;
    HWND main = nullptr, panel = nullptr, dialog = nullptr;

    ::testing::AssertionResult Run() {
        if (!start.Start(L"StartStripewell.exe")) return ::testing::AssertionFailure() << "cannot start it";
        if (!start.WaitFor([&] {
                stripewell = ChildOf(start.pid(), L"Stripewell.exe");
                panelPid = ChildOf(start.pid(), L"mcrsim-panel.exe");
                main = window_search::FindTopLevel(stripewell, L"STRIPEWELL", nullptr, true);
                panel = window_search::FindTopLevel(panelPid, MCRSIM_PANEL_CLASS, nullptr, true);
                return stripewell != 0 && panelPid != 0 && main != nullptr && panel != nullptr;
            }, 3 * kWaitMs))
            return ::testing::AssertionFailure() << "no Stripewell with a panel: " << start.Stderr();
        PostMessageW(main, WM_COMMAND, MAKEWPARAM(IDM_CARD_TEST, 0), 0);
        mcrsim_mailbox::Client reader(stripewell);
        if (!WaitFor([&] {
                dialog = window_search::FindTopLevel(stripewell, L"#32770", L" * Stripewell *", true);
                const auto reply = reader.State();
                return dialog != nullptr && reply && reply->state.fOpen && reply->state.fNotify;
            }))
            return ::testing::AssertionFailure() << "no card test dialog taking cards";
        return ::testing::AssertionSuccess();
    }

    DWORD Swipes() const {
        mcrsim_mailbox::Client reader(stripewell);
        const auto reply = reader.State();
        return reply ? reply->state.dwSwipes : 0xFFFFFFFF;
    }
};

}  // namespace

// Two start programs at once (a person double-clicks twice): each panel drives the
// Stripewell its own start program started, not whichever is on top; and a panel whose
// Stripewell has ended says so, and goes to no other.
TEST(MCRSimDrive, TwoStartProgramsEachPanelSwipesIntoItsOwnStripewell) {
    ASSERT_EQ(FindWindowW(L"STRIPEWELL", nullptr), nullptr) << "another Stripewell runs in this prefix";
    Started first, second;
    ASSERT_TRUE(first.Run());
    ASSERT_TRUE(second.Run());
    ASSERT_NE(first.stripewell, second.stripewell);
    const std::wstring empty[3] = {L"", L"", L""};

    SendDlgItemMessageW(first.panel, IDC_PANEL_SWIPE, BM_CLICK, 0, 0);  // the first card, 'full'
    const mcrsim::CardRead full = mcrsim::ReadCard(DeckCard("full"));
    EXPECT_TRUE(DialogShows(first.dialog, full));
    EXPECT_TRUE(WaitFor([&] { return first.Swipes() == 1; }));
    EXPECT_EQ(second.Swipes(), 0u) << "the first panel swiped into the second Stripewell";
    EXPECT_TRUE(DialogShowsTexts(second.dialog, empty));

    const LRESULT index = SendDlgItemMessageW(second.panel, IDC_PANEL_CARDS, LB_FINDSTRING, static_cast<WPARAM>(-1),
                                              reinterpret_cast<LPARAM>(L"err-parity  "));
    ASSERT_NE(index, LB_ERR);
    SendDlgItemMessageW(second.panel, IDC_PANEL_CARDS, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendDlgItemMessageW(second.panel, IDC_PANEL_SWIPE, BM_CLICK, 0, 0);
    EXPECT_TRUE(DialogShows(second.dialog, mcrsim::ReadCard(DeckCard("err-parity"))));
    EXPECT_TRUE(DialogShows(first.dialog, full));
    EXPECT_EQ(first.Swipes(), 1u);

    // Without its start program, which would close it, the first panel outlives its
    // Stripewell: it says so, then and at a swipe, and never drives the second one.
    EndProcess(first.start.pid());
    HANDLE firstPanel = OpenProcess(SYNCHRONIZE, FALSE, first.panelPid);
    ASSERT_NE(firstPanel, nullptr);
    SendMessageW(GetDlgItem(first.dialog, IDC_CLOSE), BM_CLICK, 0, 0);
    PostMessageW(first.main, WM_CLOSE, 0, 0);
    const std::wstring ended = L"Stripewell (process " + std::to_wstring(first.stripewell) + L") has ended.";
    EXPECT_TRUE(AnswersUntil(first.panel, GetDlgItem(first.panel, IDC_PANEL_STATE), ended));
    SendDlgItemMessageW(first.panel, IDC_PANEL_SWIPE, BM_CLICK, 0, 0);
    EXPECT_TRUE(AnswersUntil(first.panel, GetDlgItem(first.panel, IDC_PANEL_RESULT), ended));
    EXPECT_FALSE(WaitFor([&] { return Text(GetDlgItem(first.panel, IDC_PANEL_STATE)) != ended; }, 1500))
        << Utf8(Text(GetDlgItem(first.panel, IDC_PANEL_STATE)));
    EXPECT_EQ(second.Swipes(), 1u);
    PostMessageW(first.panel, WM_CLOSE, 0, 0);
    EXPECT_TRUE(WaitFor([&] { return WaitForSingleObject(firstPanel, 0) == WAIT_OBJECT_0; }));
    CloseHandle(firstPanel);

    // Closing the second Stripewell ends its panel and its start program, with its code.
    SendMessageW(GetDlgItem(second.dialog, IDC_CLOSE), BM_CLICK, 0, 0);
    PostMessageW(second.main, WM_CLOSE, 0, 0);
    EXPECT_EQ(second.start.ExitCode(), 0u) << second.start.Stderr();
    EXPECT_EQ(window_search::FindTopLevel(second.panelPid, MCRSIM_PANEL_CLASS, nullptr), nullptr);
}
