// Starts Stripewell.exe (from this program's own folder) and shows it working: the
// driver of scripts/run.
//
//   stripewell-demo.exe demo OUTPUT_DIR [--since UNIX_MS] [--screen WxH|none]
//       Opens the card test dialog through the menu, swipes the built-in deck's "full"
//       card and its damaged "err-parity" card through the simulated reader's mailbox,
//       prints the three field texts after each swipe, opens the About dialog, saves
//       main.png, card-full.png, card-err-parity.png and about.png into OUTPUT_DIR, and
//       ends the program through its menu. Prints Stripewell's standard error (its debug
//       lines) as it comes. Exit code 0, or 1 with the reason when something did not
//       appear, did not fit the screen, was not the size it has on the handheld, the
//       screen was not the one asked for, the program's debug lines did not come through,
//       or the program did not end cleanly.
//   stripewell-demo.exe launch [--since UNIX_MS] [--screen WxH|none]
//       Starts the program for a person, prints "main window shown ... (process N)" once
//       its main window shows, prints its debug lines as they come, and waits for it to
//       end; exits with its exit code.
//
// --since: when the start began (Unix time in ms), so that the time printed until the
// main window showed covers all that came before this program (prefix, Wine).
// On a screen of the handheld's size the main window must cover the work area, as the
// device gives it (port/devscreen.cpp), and the dialogs must lie inside its client area
// below the command bar; on a larger screen, inside the screen.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <functional>
#include <string>

#include "../windows/find_window.h"
#include "../../mcrsim/core/deck.h"
#include "../../mcrsim/remote_client.h"
#include "../../mcrsim/simcard.h"
#include "../../res/resource.h"
#include "../capture/capture.h"

namespace {

constexpr DWORD kWindowWaitMs = 20000;  // a cold Wine start can be slow
// What the demo waits for at most for each thing it asks of the program (a dialog, the
// fields after a swipe, the end). Each wait ends as soon as the thing is seen; on a loaded
// machine the card test dialog once took more than 5 s to open after a 15 s start.
constexpr DWORD kWaitMs = 15000;
constexpr wchar_t kMainClass[] = L"STRIPEWELL";
constexpr wchar_t kCardCaption[] = L" * Stripewell *";
constexpr wchar_t kAboutCaption[] = L"About Stripewell";
// The largest side of a screen taken to be the handheld's (as port/devscreen.cpp).
constexpr int kHandheldMaxSide = 640;
// The dialogs' client areas on the handheld: their templates in its 6 x 13 dialog font.
constexpr SIZE kCardClient{206, 226};
constexpr SIZE kAboutClient{188, 89};

HANDLE g_process = nullptr;
DWORD g_pid = 0;
HANDLE g_stderr = nullptr;  // read end of the program's standard error
std::string g_stderrText;   // not yet printed (an unfinished line)
int g_debugLines = 0;       // lines of the program's standard error printed so far
int g_failures = 0;
// Where a dialog must lie: below the command bar in the main window's client area on a
// handheld-sized screen, as on the device; elsewhere the screen.
RECT g_dialogArea{};
// The screen size the run asked for (--screen WxH); 0 x 0 when it asked for none.
SIZE g_expectedScreen{};

void Say(const std::string &line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

void Fail(const std::string &why) {
    std::fprintf(stderr, "demo: FAILED: %s\n", why.c_str());
    std::fflush(stderr);
    ++g_failures;
}

std::string Narrow(const std::wstring &text) {
    if (text.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                      nullptr);
    std::string out(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

long long UnixMs() {
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    const unsigned long long ticks = (static_cast<unsigned long long>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    return static_cast<long long>((ticks - 116444736000000000ULL) / 10000ULL);
}

// Prints every whole line the program has written to its standard error so far.
void DrainStderr() {
    if (g_stderr == nullptr) return;
    DWORD available = 0;
    char buffer[4096];
    while (PeekNamedPipe(g_stderr, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
        DWORD got = 0;
        if (!ReadFile(g_stderr, buffer, std::min<DWORD>(available, sizeof(buffer)), &got, nullptr) || got == 0) break;
        g_stderrText.append(buffer, got);
    }
    size_t nl;
    while ((nl = g_stderrText.find('\n')) != std::string::npos) {
        std::string line = g_stderrText.substr(0, nl);
        g_stderrText.erase(0, nl + 1);
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
        Say("  [Stripewell] " + line);
        ++g_debugLines;
    }
}

// Waits until pred() holds (false after timeoutMs), pumping and printing debug lines.
bool WaitFor(const std::function<bool()> &pred, DWORD timeoutMs = kWaitMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        DrainStderr();
        if (pred()) return true;
        const DWORD spent = GetTickCount() - start;
        if (spent >= timeoutMs) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, std::min<DWORD>(20, timeoutMs - spent), QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
}

bool Ended() { return WaitForSingleObject(g_process, 0) == WAIT_OBJECT_0; }

// Lets the program paint and the display show it.
void Settle() { WaitFor([] { return false; }, 400); }

HWND FindTopLevel(const wchar_t *cls, const wchar_t *caption) {
    return window_search::FindTopLevel(g_pid, cls, caption, true);
}

HWND WaitForWindow(const wchar_t *cls, const wchar_t *caption, DWORD timeoutMs = kWaitMs) {
    HWND found = nullptr;
    WaitFor([&] { return (found = FindTopLevel(cls, caption)) != nullptr || Ended(); }, timeoutMs);
    return found;
}

std::string Size(const RECT &rc) { return std::to_string(rc.right - rc.left) + " x " + std::to_string(rc.bottom - rc.top); }

std::string Rect(const RECT &rc) {
    return "(" + std::to_string(rc.left) + "," + std::to_string(rc.top) + ")-(" + std::to_string(rc.right) + "," +
           std::to_string(rc.bottom) + ")";
}

RECT Screen() { return RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }

bool HandheldScreen() {
    const RECT s = Screen();
    return s.right <= kHandheldMaxSide && s.bottom <= kHandheldMaxSide;
}

bool Inside(const RECT &inner, const RECT &outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

// Starts Stripewell.exe from this program's folder, its standard error into a pipe.
bool StartProgram() {
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path, n);
    const std::wstring exe = dir.substr(0, dir.find_last_of(L"\\/") + 1) + L"Stripewell.exe";

    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&g_stderr, &writeEnd, &inherit, 0)) return false;
    SetHandleInformation(g_stderr, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    si.hStdError = writeEnd;
    PROCESS_INFORMATION pi{};
    std::wstring cmd = L"\"" + exe + L"\"";
    const BOOL ok = CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    CloseHandle(writeEnd);
    if (!ok) {
        Fail("cannot start " + Narrow(exe) + " (error " + std::to_string(GetLastError()) + ")");
        return false;
    }
    g_process = pi.hProcess;
    g_pid = pi.dwProcessId;
    CloseHandle(pi.hThread);
    return true;
}

// Waits for the main window and says how long the start took; checks its placement.
HWND WaitForMainWindow(long long since) {
    HWND main = WaitForWindow(kMainClass, nullptr, kWindowWaitMs);
    if (main == nullptr) {
        Fail(Ended() ? "Stripewell ended before its main window appeared"
                     : "no main window (class STRIPEWELL) within " + std::to_string(kWindowWaitMs / 1000) + " s");
        return nullptr;
    }
    const long long now = UnixMs();
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f", (now - since) / 1000.0);
    Say(std::string("main window shown ") + seconds + " s after the start (process " + std::to_string(g_pid) + ")");

    // The program shows the window while it still creates it: let it finish first.
    WaitFor([] { return false; }, 200);
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const RECT rc = screen_capture::WindowRect(main);
    const RECT bar = screen_capture::WindowRect(GetDlgItem(main, ID_CMDBAR));
    Say("screen " + Size(Screen()) + ", work area " + Rect(work) + ", main window " + Rect(rc) + ", client " +
        Size(screen_capture::ClientRectOnScreen(main)) + ", command bar " + std::to_string(bar.bottom - bar.top) +
        " px high");
    const RECT screen = Screen();
    if (g_expectedScreen.cx != 0 &&
        (screen.right != g_expectedScreen.cx || screen.bottom != g_expectedScreen.cy))
        Fail("the screen is " + Size(screen) + ", not the " + std::to_string(g_expectedScreen.cx) + " x " +
             std::to_string(g_expectedScreen.cy) + " asked for");
    g_dialogArea = screen;
    if (HandheldScreen()) {
        if (!EqualRect(&rc, &work))
            Fail("the main window does not cover the handheld's work area " + Rect(work) + ": " + Rect(rc));
        g_dialogArea = screen_capture::ClientRectOnScreen(main);
        // The program asks for no caption, and on the device gets none.
        if (!EqualRect(&g_dialogArea, &rc)) Fail("the main window has a caption or frame: client " + Rect(g_dialogArea));
        g_dialogArea.top += bar.bottom - bar.top;
    }
    return main;
}

// Says the dialog's size; fails when it does not lie inside g_dialogArea or its client
// area is not the size it has on the handheld (what the dialog font gives it).
void CheckDialog(HWND dlg, const char *what, SIZE deviceClient) {
    const RECT rc = screen_capture::WindowRect(dlg);
    const RECT client = screen_capture::ClientRectOnScreen(dlg);
    Say(std::string(what) + ": " + Size(rc) + " px at " + Rect(rc) + ", client " + Size(client));
    if (client.right - client.left != deviceClient.cx || client.bottom - client.top != deviceClient.cy)
        Fail(std::string(what) + ": client " + Size(client) + ", not " + std::to_string(deviceClient.cx) + " x " +
             std::to_string(deviceClient.cy) + " as on the handheld (the dialog font is not mapped)");
    if (!Inside(rc, g_dialogArea))
        Fail(std::string(what) + " " + Rect(rc) + " does not fit inside " + Rect(g_dialogArea) +
             (HandheldScreen() ? " (the main window below its command bar)" : " (the screen)"));
}

void Save(const std::wstring &dir, const std::wstring &name, HWND hwnd) {
    const screen_capture::Picture pic = screen_capture::Grab(screen_capture::WindowRect(hwnd));
    if (screen_capture::Blank(pic)) Fail(Narrow(name) + ": the window shows nothing");
    const std::wstring path = dir + L"\\" + name;
    if (!screen_capture::WritePng(path, pic))
        Fail("cannot write " + Narrow(path));
    else
        Say("saved " + Narrow(name) + " (" + std::to_string(pic.width) + " x " + std::to_string(pic.height) + ")");
}

std::wstring FieldText(HWND dlg, int id) {
    wchar_t text[256] = L"";
    GetDlgItemTextW(dlg, id, text, 256);
    return text;
}

// How a field starts for what the reader handed over: a failed track shows its error
// code ("Error:" and the code in lower-case hex); a good one its data characters in
// upper-case hex, two digits each.
std::string ExpectedStart(const mcrsim::TrackRead &track) {
    char text[8];
    if (track.status != 1) {
        std::snprintf(text, sizeof text, "%x", static_cast<unsigned>(track.status));
        return std::string("Error:") + text;
    }
    std::string hex;
    for (size_t i = 0; i < track.length; ++i) {
        std::snprintf(text, sizeof text, "%02X", track.bytes[i]);
        hex += text;
    }
    return hex;
}

// Swipes the built-in deck's card `name` and prints what the three fields show.
void SwipeCard(HWND card, mcrsim_remote::Client &reader, const char *name, const std::wstring &dir) {
    const mcrsim::Card *found = mcrsim::FindCard(mcrsim::DefaultDeck(), name);
    if (found == nullptr) {
        Fail(std::string("the built-in deck has no card ") + name);
        return;
    }
    // Empty fields first, so that the texts read afterwards are this swipe's.
    SendMessageW(GetDlgItem(card, IDC_CLEAR), BM_CLICK, 0, 0);
    Say(std::string("swipe ") + name + " (" + found->title + ")");
    const mcrsim::CardRead read = mcrsim::ReadCard(*found);
    const auto reply = reader.Swipe(mcrsim::ToSimCard(read));
    if (!reply || reply->result != 1) {
        Fail(std::string("the reader did not take the card ") + name + ": " + Narrow(reader.error()));
        return;
    }
    if (!WaitFor([&] { return !FieldText(card, IDC_JIS2).empty(); })) {
        Fail(std::string("the fields showed nothing after swiping ") + name);
        return;
    }
    Settle();
    const struct {
        int id;
        const char *label;
    } fields[] = {{IDC_ISO1, "ISO1"}, {IDC_ISO2, "ISO2"}, {IDC_JIS2, "JIS2"}};
    for (int t = 0; t < 3; ++t) {
        const std::string shown = Narrow(FieldText(card, fields[t].id));
        Say(std::string("  ") + fields[t].label + ": " + shown);
        const std::string expected = ExpectedStart(read.tracks[t]);
        if (shown.compare(0, expected.size(), expected) != 0)
            Fail(std::string(fields[t].label) + " after swiping " + name + " should start with \"" + expected + "\"");
    }
    Save(dir, L"card-" + std::wstring(name, name + std::strlen(name)) + L".png", card);
}

// Ends the program through its menu and checks that it ended cleanly.
void EndProgram(HWND main) {
    PostMessageW(main, WM_COMMAND, IDM_EXIT, 0);
    if (!WaitFor(Ended, kWaitMs)) {
        Fail("Stripewell did not end through File > Exit");
        TerminateProcess(g_process, 1);
        WaitForSingleObject(g_process, kWaitMs);
    }
    DrainStderr();
    DWORD code = 0;
    GetExitCodeProcess(g_process, &code);
    if (code != 0) Fail("Stripewell ended with exit code " + std::to_string(code));
}

int RunDemo(const std::wstring &dir, long long since) {
    CreateDirectoryW(dir.c_str(), nullptr);
    Say("starting Stripewell");
    if (!StartProgram()) return 1;
    HWND main = WaitForMainWindow(since);
    if (main == nullptr) {
        DrainStderr();
        TerminateProcess(g_process, 1);
        return 1;
    }
    SetForegroundWindow(main);
    Settle();
    Save(dir, L"main.png", main);

    Say("menu: card test (WM_COMMAND 40004)");
    PostMessageW(main, WM_COMMAND, IDM_CARD_TEST, 0);
    HWND card = WaitForWindow(L"#32770", kCardCaption);
    if (card == nullptr) {
        Fail("the card test dialog did not appear");
    } else {
        CheckDialog(card, "card test dialog", kCardClient);
        mcrsim_remote::Client reader(g_pid);
        if (!reader.connected()) Fail("cannot reach the simulated reader: " + Narrow(reader.error()));
        const bool listening = reader.connected() && WaitFor([&] {
            const auto reply = reader.State();
            return reply && reply->state.fNotify;
        });
        if (reader.connected() && !listening) Fail("the reader was not opened for swipes");
        if (listening) {
            SwipeCard(card, reader, "full", dir);
            SwipeCard(card, reader, "err-parity", dir);
        }
        SendMessageW(GetDlgItem(card, IDC_CLOSE), BM_CLICK, 0, 0);
        if (!WaitFor([&] { return !IsWindow(card); })) Fail("the card test dialog did not close");
    }

    Say("menu: about (WM_COMMAND 40003)");
    PostMessageW(main, WM_COMMAND, IDM_ABOUT, 0);
    HWND about = WaitForWindow(L"#32770", kAboutCaption);
    if (about == nullptr) {
        Fail("the About dialog did not appear");
    } else {
        CheckDialog(about, "About dialog", kAboutClient);
        Settle();
        Save(dir, L"about.png", about);
        PostMessageW(about, WM_SYSCOMMAND, SC_CLOSE, 0);
        if (!WaitFor([&] { return !IsWindow(about); })) Fail("the About dialog did not close");
    }

    EndProgram(main);
    // A person watching the demo must see what the program itself says.
    if (g_debugLines == 0) Fail("no debug line of Stripewell came through its standard error");
    Say(g_failures == 0 ? "demo: all shown" : "demo: " + std::to_string(g_failures) + " failure(s)");
    return g_failures == 0 ? 0 : 1;
}

int RunLaunch(long long since) {
    if (!StartProgram()) return 1;
    // Its line "main window shown ... (process N)" tells scripts/run the program is up.
    if (WaitForMainWindow(since) == nullptr) {
        DrainStderr();
        TerminateProcess(g_process, 1);
        return 1;
    }
    WaitFor(Ended, INFINITE);
    DrainStderr();
    DWORD code = 0;
    GetExitCodeProcess(g_process, &code);
    return static_cast<int>(code);
}

}  // namespace

int wmain(int argc, wchar_t **argv) {
    long long since = UnixMs();
    const std::wstring command = argc > 1 ? argv[1] : L"";
    const int positional = command == L"demo" ? 1 : 0;  // demo's OUTPUT_DIR
    // Options after the command and its argument, in any order.
    bool badOption = command != L"demo" && command != L"launch";
    for (int i = 2 + positional; i < argc && !badOption; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::wcscmp(argv[i], L"--since") == 0 && hasValue)
            since = _wtoi64(argv[++i]);
        else if (std::wcscmp(argv[i], L"--screen") == 0 && hasValue)
            badOption = std::wcscmp(argv[++i], L"none") != 0 &&
                        std::swscanf(argv[i], L"%ldx%ld", &g_expectedScreen.cx, &g_expectedScreen.cy) != 2;
        else
            badOption = true;
    }
    if (!badOption && argc >= 2 + positional) return command == L"demo" ? RunDemo(argv[2], since) : RunLaunch(since);
    std::fprintf(stderr,
                 "usage: stripewell-demo.exe demo OUTPUT_DIR [--since UNIX_MS] [--screen WxH|none]\n"
                 "       stripewell-demo.exe launch [--since UNIX_MS] [--screen WxH|none]\n");
    return 2;
}
