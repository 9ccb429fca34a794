// mcrsim-panel.exe: a small window a person uses as the card reader of a running
// Stripewell. All the talking to it is done by a worker thread (worker.h); the window
// only asks and shows.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <charconv>
#include <cwchar>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "../core/damage_kinds.h"
#include "../core/deck.h"
#include "../core/default_deck.h"
#include "../core/wedge.h"
#include "../control/control.h"
#include "../text/utf8.h"
#include "panel_ids.h"
#include "stripewell_version.h"
#include "track_window.h"
#include "worker.h"

namespace {

using namespace mcrsim_control;
using mcrsim_text::Utf8;
using mcrsim_text::Wide;

using mcrsim_panel::Job;
using mcrsim_panel::Result;

constexpr UINT_PTR kPollTimer = 1;
constexpr UINT kPollMs = 500;
// The worker has results waiting (worker.h). The message carries nothing: another
// process may post it too, and then the panel finds nothing new.
constexpr UINT kResultMessage = WM_APP + 1;
// A request that takes longer than this is shown as not answered: the mailbox and the
// relay give up on their own after 5 s.
constexpr DWORD kNoAnswerMs = 6000;

// The panel's state. Its window shows the deck's cards with a Swipe button and a damage
// choice, Power off, a keyboard-wedge input line, a status line with the reader's state
// (polled) and the result of the last action, the track view (the chosen card's tracks
// bit by bit, then the last swipe's), and what Stripewell's card test dialog shows, read
// back and compared with what the reader read for the panel's last swipe.
struct Panel {
    std::vector<mcrsim::Card> deck;
    std::string deckText;                     // what IDC_PANEL_DECK shows
    std::optional<DWORD> pid;                 // --pid, else the running Stripewell
    bool relay = false;                       // --relay: through standard input and output
    std::optional<POINT> at;                  // --at: where the window's top-left corner is wanted
    std::unique_ptr<mcrsim_panel::Worker> worker;
    // The panel's last swipe and the reader's counts right after it: while they stay,
    // the dialog's fields must show that read.
    std::optional<mcrsim::CardRead> lastRead;
    DWORD swipesAfter = 0, powerOffsAfter = 0;
};

Panel g_panel;

void SetText(HWND dlg, int id, const std::string &text) {
    const std::wstring wide = Wide(text);
    wchar_t current[1024] = L"";
    GetDlgItemTextW(dlg, id, current, 1024);
    if (wide != current) SetDlgItemTextW(dlg, id, wide.c_str());
}

// What the card test dialog showed after a job: each field decoded, and whether they
// show the panel's last swipe.
void ShowCardDialogFields(HWND dlg, const std::optional<MCRSimState> &state, const std::optional<mcrsim_dialog::Fields> &fields) {
    Panel &p = g_panel;
    for (mcrsim::Track t : mcrsim::kTracks) {
        const int i = static_cast<int>(t);
        SetText(dlg, IDC_PANEL_SHOWN + i,
                fields && fields->dialog ? std::string(mcrsim::FormatOf(t).name) + "  " + DecodeField(fields->text[i])
                                         : std::string());
    }
    std::string verdict;
    if (!state || !fields || !fields->dialog)
        verdict = "Stripewell has no card test dialog open.";
    else if (!p.lastRead)
        verdict = "Stripewell's card test dialog shows (swipe a card here to compare it with what the reader read):";
    else if (state->dwSwipes != p.swipesAfter || state->dwPowerOffs != p.powerOffsAfter)
        verdict = "Stripewell's card test dialog shows (not compared: the reader has had another card or a "
                  "power-off since this panel's last swipe):";
    else
        verdict = Verdict(*fields, *p.lastRead);
    SetText(dlg, IDC_PANEL_VERDICT, verdict);
}

// Hands an action to the worker; says so, or that too many are waiting.
void QueueJob(HWND dlg, Job job, const std::string &doing) {
    const bool queued = g_panel.worker->Post(std::move(job));
    SetText(dlg, IDC_PANEL_RESULT, queued ? doing : "Still busy with earlier requests: nothing done; try again.");
}

void Poll(HWND dlg) {
    g_panel.worker->Post(Job{});
    const DWORD waited = g_panel.worker->BusyMs();
    if (waited >= kNoAnswerMs)
        SetText(dlg, IDC_PANEL_STATE,
                std::string(g_panel.relay ? "The relay to Stripewell's prefix" : "Stripewell's card reader") +
                    " does not answer: the panel has waited " + std::to_string(waited / 1000) +
                    " s for it (and goes on when it answers).");
}

// A swipe's tracks go to the track view (a wedge line's are not drawn: it may be a real
// card), and the wedge line is made ready for the next card unless it already holds one.
void Swiped(HWND dlg, const Result &result) {
    const Job &job = result.job;
    HWND view = GetDlgItem(dlg, IDC_PANEL_TRACKVIEW);
    g_panel.lastRead = job.read;
    g_panel.swipesAfter = result.outcome.state->dwSwipes;
    g_panel.powerOffsAfter = result.outcome.state->dwPowerOffs;
    if (job.card) {
        ShowTrackViewCard(view, &*job.card, "Last swipe: " + job.what);
        return;
    }
    HWND wedge = GetDlgItem(dlg, IDC_PANEL_WEDGE);
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(wedge)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(wedge, text.data(), static_cast<int>(text.size()))));
    if (text == job.wedgeText) SetWindowTextW(wedge, L"");
    ShowTrackViewCard(view, nullptr, "Last swipe: the wedge text (its tracks are not shown: it may be a real card)");
}

void ShowResult(HWND dlg, const Result &result) {
    const mcrsim_control::Outcome &outcome = result.outcome;
    if (result.job.kind == Job::Kind::Poll) {
        SetText(dlg, IDC_PANEL_STATE, outcome.message);
    } else {
        if (result.job.kind == Job::Kind::Swipe && outcome.code == kExitOk && outcome.state) Swiped(dlg, result);
        SetText(dlg, IDC_PANEL_RESULT, outcome.message);
        if (outcome.state) SetText(dlg, IDC_PANEL_STATE, StateSummary(result.pid, *outcome.state));
    }
    ShowCardDialogFields(dlg, outcome.state, result.fields);
}

// Shows every result the worker has ready.
void ShowResults(HWND dlg) {
    while (const std::unique_ptr<Result> result = g_panel.worker->TakeResult()) ShowResult(dlg, *result);
}

// The card chosen in the list with the damage chosen in the boxes, and words for it
// ("'full' with flip on iso2"); false, with why in *why, when there is none.
bool ChosenCard(HWND dlg, mcrsim::Card *card, std::string *what, std::string *why) {
    const LRESULT index = SendDlgItemMessageW(dlg, IDC_PANEL_CARDS, LB_GETCURSEL, 0, 0);
    if (index == LB_ERR || static_cast<size_t>(index) >= g_panel.deck.size()) {
        *why = "Choose a card in the list first.";
        return false;
    }
    *card = g_panel.deck[static_cast<size_t>(index)];
    *what = "'" + card->name + "'";
    const LRESULT kind = SendDlgItemMessageW(dlg, IDC_PANEL_DAMAGE, CB_GETCURSEL, 0, 0);
    const LRESULT trackIndex = SendDlgItemMessageW(dlg, IDC_PANEL_TRACK, CB_GETCURSEL, 0, 0);
    if (kind > 0 && static_cast<size_t>(kind) < std::size(mcrsim::kDamageKinds)) {
        const mcrsim::DamageKindInfo &info = mcrsim::kDamageKinds[kind];
        std::optional<mcrsim::Track> track;
        if (trackIndex >= 1 && trackIndex <= mcrsim::kTrackCount) track = mcrsim::kTracks[trackIndex - 1];
        const std::string trackName = track ? mcrsim::FormatOf(*track).name : "every track";
        if (mcrsim::AddDamage(card, info.kind, track) == 0) {
            *why = "Card " + *what + " has no " + (track ? trackName + " track" : std::string("tracks")) +
                   " to damage (a blank stripe cannot be damaged); nothing swiped.";
            return false;
        }
        *what += " with " + std::string(info.name) + " on " + trackName;
    }
    return true;
}

// The track view follows the choice until a swipe, which it then shows.
void ShowChoice(HWND dlg) {
    mcrsim::Card card;
    std::string what, why;
    const bool chosen = ChosenCard(dlg, &card, &what, &why);
    ShowTrackViewCard(GetDlgItem(dlg, IDC_PANEL_TRACKVIEW), chosen ? &card : nullptr,
                      chosen ? "Chosen: " + what + ", as the reader would read it" : why);
}

void SwipeCard(HWND dlg) {
    Job job;
    job.kind = Job::Kind::Swipe;
    mcrsim::Card card;
    std::string why;
    if (!ChosenCard(dlg, &card, &job.what, &why)) {
        SetText(dlg, IDC_PANEL_RESULT, why);
        return;
    }
    job.read = mcrsim::ReadCard(card);
    job.card = card;
    const std::string doing = "Swiping " + job.what + "...";
    QueueJob(dlg, std::move(job), doing);
}

void SwipeWedge(HWND dlg) {
    Job job;
    job.kind = Job::Kind::Swipe;
    const int length = GetWindowTextLengthW(GetDlgItem(dlg, IDC_PANEL_WEDGE));
    job.wedgeText.assign(static_cast<size_t>(length) + 1, L'\0');
    job.wedgeText.resize(static_cast<size_t>(
        GetDlgItemTextW(dlg, IDC_PANEL_WEDGE, job.wedgeText.data(), static_cast<int>(job.wedgeText.size()))));
    const mcrsim::WedgeParse parse = mcrsim::ParseWedge(Utf8(job.wedgeText));
    if (!parse.ok) {
        SetText(dlg, IDC_PANEL_RESULT, "Wedge text not swiped: " + parse.error.ToString() + ".");
        return;
    }
    job.read = mcrsim::ReadCard(parse.card);
    job.what = "the wedge text";
    QueueJob(dlg, std::move(job), "Swiping the wedge text...");
}

void PowerOff(HWND dlg) {
    Job job;
    job.kind = Job::Kind::PowerOff;
    QueueJob(dlg, std::move(job), "Powering the reader off...");
}

// The wedge line takes Enter itself: a wedge reader ends every swipe with it.
LRESULT CALLBACK WedgeEditProc(HWND edit, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    switch (msg) {
    case WM_GETDLGCODE:
        if (wParam == VK_RETURN) return DLGC_WANTALLKEYS | DefSubclassProc(edit, msg, wParam, lParam);
        break;
    case WM_KEYDOWN:
        if (wParam == VK_RETURN) {
            SendMessageW(GetParent(edit), WM_COMMAND, MAKEWPARAM(IDC_PANEL_WEDGE_GO, BN_CLICKED), 0);
            return 0;
        }
        break;
    case WM_CHAR:
        if (wParam == L'\r' || wParam == L'\n') return 0;
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(edit, WedgeEditProc, 0);
        break;
    }
    return DefSubclassProc(edit, msg, wParam, lParam);
}

// The controls' contents at the start: the deck, the damage and track choices, the
// wedge line taking Enter, the track view.
void SetUpControls(HWND dlg) {
    SetText(dlg, IDC_PANEL_DECK, g_panel.deckText);
    for (const mcrsim::Card &card : g_panel.deck) {
        const std::wstring item = Wide(card.title.empty() ? card.name : card.name + "  -  " + card.title);
        SendDlgItemMessageW(dlg, IDC_PANEL_CARDS, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
    }
    if (!g_panel.deck.empty()) SendDlgItemMessageW(dlg, IDC_PANEL_CARDS, LB_SETCURSEL, 0, 0);
    for (const mcrsim::DamageKindInfo &info : mcrsim::kDamageKinds)
        SendDlgItemMessageW(dlg, IDC_PANEL_DAMAGE, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(info.label).c_str()));
    SendDlgItemMessageW(dlg, IDC_PANEL_DAMAGE, CB_SETCURSEL, 0, 0);
    for (const wchar_t *track : {L"all tracks", L"ISO1", L"ISO2", L"JIS2"})
        SendDlgItemMessageW(dlg, IDC_PANEL_TRACK, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(track));
    SendDlgItemMessageW(dlg, IDC_PANEL_TRACK, CB_SETCURSEL, 0, 0);
    SendDlgItemMessageW(dlg, IDC_PANEL_WEDGE, EM_SETLIMITTEXT, mcrsim::kMaxWedgeLine, 0);
    SetWindowSubclass(GetDlgItem(dlg, IDC_PANEL_WEDGE), WedgeEditProc, 0, 0);
    CreateTrackView(dlg, IDC_PANEL_TRACKVIEW);
    ShowChoice(dlg);
}

INT_PTR CALLBACK PanelProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM) {
    switch (msg) {
    case WM_INITDIALOG:
        SetUpControls(dlg);
        g_panel.worker = std::make_unique<mcrsim_panel::Worker>(dlg, kResultMessage, g_panel.pid, g_panel.relay);
        Poll(dlg);
        SetTimer(dlg, kPollTimer, kPollMs, nullptr);
        return TRUE;
    case WM_TIMER:
        if (wParam == kPollTimer) {
            ShowResults(dlg);
            Poll(dlg);
        }
        return TRUE;
    case kResultMessage:
        ShowResults(dlg);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_PANEL_SWIPE: SwipeCard(dlg); return TRUE;
        case IDC_PANEL_POWER_OFF: PowerOff(dlg); return TRUE;
        case IDC_PANEL_WEDGE_GO: SwipeWedge(dlg); return TRUE;
        case IDC_PANEL_CARDS:
            if (HIWORD(wParam) == LBN_DBLCLK) SwipeCard(dlg);
            if (HIWORD(wParam) == LBN_SELCHANGE) ShowChoice(dlg);
            return TRUE;
        case IDC_PANEL_DAMAGE:
        case IDC_PANEL_TRACK:
            if (HIWORD(wParam) == CBN_SELCHANGE) ShowChoice(dlg);
            return TRUE;
        case IDOK:  // Enter outside the wedge line swipes the chosen card
            if (GetFocus() == GetDlgItem(dlg, IDC_PANEL_CARDS)) SwipeCard(dlg);
            return TRUE;
        case IDCANCEL: DestroyWindow(dlg); return TRUE;
        }
        return FALSE;
    case WM_CLOSE:
        DestroyWindow(dlg);
        return TRUE;
    case WM_DESTROY:
        KillTimer(dlg, kPollTimer);
        g_panel.worker.reset();
        PostQuitMessage(0);
        return TRUE;
    }
    return FALSE;
}

void WriteStderr(const std::string &text) {
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    if (err == nullptr || err == INVALID_HANDLE_VALUE) return;
    const std::string line = text + "\r\n";
    DWORD written = 0;
    WriteFile(err, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

constexpr const char *kUsage = "usage: mcrsim-panel [--deck FILE] [--pid N] [--relay] [--at X,Y] | --version";

// --at's X,Y: two whole numbers of pixels (each may be negative), and nothing else.
bool ParseAt(const std::string &text, POINT *at) {
    const char *end = text.data() + text.size();
    int x = 0, y = 0;
    const auto first = std::from_chars(text.data(), end, x);
    if (first.ec != std::errc() || first.ptr == end || *first.ptr != ',') return false;
    const auto second = std::from_chars(first.ptr + 1, end, y);
    if (second.ec != std::errc() || second.ptr != end) return false;
    *at = POINT{x, y};
    return true;
}

// Puts the panel where --at asks, moved as little as it takes to keep it whole on the
// work area of the screen nearest that point (from its top left, when it is larger):
// a panel off every screen is one nobody can reach. The start program asks for a place
// beside Stripewell's dialog, which on a small screen may lie beyond its edge.
void PlaceAt(HWND dlg, POINT at) {
    RECT window{}, work{};
    GetWindowRect(dlg, &window);
    MONITORINFO screen{};
    screen.cbSize = sizeof(screen);
    if (GetMonitorInfoW(MonitorFromPoint(at, MONITOR_DEFAULTTONEAREST), &screen))
        work = screen.rcWork;
    else
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int x = std::max<int>(work.left, std::min<int>(at.x, work.right - (window.right - window.left)));
    const int y = std::max<int>(work.top, std::min<int>(at.y, work.bottom - (window.bottom - window.top)));
    SetWindowPos(dlg, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// --version alone: says the version on standard output (which reaches the caller under
// Wine, or through a redirection on Windows) and opens no window.
bool VersionAsked() {
    int argc = 0;
    wchar_t **argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    const bool asked = argc == 2 && std::wcscmp(argv[1], L"--version") == 0;
    LocalFree(argv);
    if (!asked) return false;
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    const std::string line = "mcrsim-panel (Stripewell) " STRIPEWELL_VERSION "\r\n";
    DWORD written = 0;
    if (out != nullptr && out != INVALID_HANDLE_VALUE)
        WriteFile(out, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    return true;
}

//   mcrsim-panel [--deck FILE] [--pid N] [--relay] [--at X,Y] | --version
// With --relay (and --pid) it talks to Stripewell through `mcrsim relay` on its standard
// input and output, from a Wine prefix of its own (scripts/run).
//
// Reads the command line into g_panel; false (after saying why) on a usage error.
bool ParseCommandLine() {
    int argc = 0;
    wchar_t **argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::optional<std::string> deckFile;
    std::string wrong;
    for (int i = 1; i < argc && wrong.empty(); ++i) {
        const std::string arg = Utf8(argv[i]);
        if (arg == "--relay") {
            g_panel.relay = true;
        } else if ((arg == "--deck" || arg == "--pid" || arg == "--at") && i + 1 >= argc) {
            wrong = arg + " needs a value";
        } else if (arg == "--deck") {
            deckFile = Utf8(argv[++i]);
        } else if (arg == "--at") {
            const std::string value = Utf8(argv[++i]);
            POINT at{};
            if (!ParseAt(value, &at))
                wrong = "--at needs X,Y (the window's top-left corner, in whole pixels), not '" + value + "'";
            else
                g_panel.at = at;
        } else if (arg == "--pid") {
            const std::string value = Utf8(argv[++i]);
            DWORD pid = 0;
            if (!ParsePid(value, &pid))
                wrong = "--pid needs a process id (a number above 0), not '" + value + "'";
            else
                g_panel.pid = pid;
        } else {
            wrong = "unknown argument '" + arg + "'";
        }
    }
    LocalFree(argv);
    if (wrong.empty() && g_panel.relay && !g_panel.pid) wrong = "--relay needs --pid";
    if (!wrong.empty()) {
        WriteStderr("mcrsim-panel: " + wrong);
        WriteStderr(kUsage);
        return false;
    }
    if (!deckFile) {
        g_panel.deck = mcrsim::DefaultDeck();
        g_panel.deckText = "Built-in deck: " + std::to_string(g_panel.deck.size()) + " cards";
        return true;
    }
    const mcrsim::DeckLoad load = LoadDeck(*deckFile);
    if (load.ok) {
        g_panel.deck = load.cards;
        g_panel.deckText = "Deck " + *deckFile + ": " + std::to_string(g_panel.deck.size()) + " cards";
    } else {
        // The panel still opens, with no cards, so that the person sees why.
        g_panel.deckText = "Deck not loaded: " + load.error.ToString();
        WriteStderr(g_panel.deckText);
    }
    return true;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int show) {
    if (VersionAsked()) return 0;
    if (!ParseCommandLine()) return kExitUsage;
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_STANDARD_CLASSES;
    InitCommonControlsEx(&controls);

    WNDCLASSEXW cls{};
    cls.cbSize = sizeof(cls);
    cls.lpfnWndProc = DefDlgProcW;
    cls.cbWndExtra = DLGWINDOWEXTRA;
    cls.hInstance = instance;
    cls.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    cls.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    cls.lpszClassName = MCRSIM_PANEL_CLASS;
    if (!RegisterClassExW(&cls) || !RegisterTrackView(instance)) return 1;

    HWND dlg = CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_PANEL), nullptr, PanelProc, 0);
    if (dlg == nullptr) {
        WriteStderr("mcrsim-panel: cannot create the panel window");
        return 1;
    }
    // A program started from Windows' desktop has no console to ask: its title says it.
    SetWindowTextW(dlg, L"Card reader simulator (Stripewell " STRIPEWELL_VERSION_W L")");
    if (g_panel.at) PlaceAt(dlg, *g_panel.at);
    ShowWindow(dlg, show);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageW(dlg, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return 0;
}
