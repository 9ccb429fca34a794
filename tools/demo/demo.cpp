// stripewell-demo.exe, the driver of scripts/run: starts Stripewell.exe (from this
// program's own folder) and shows it working, runs scenario files against it, or starts
// it for a person (commands demo, scenario, start; see wmain).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "../../mcrsim/client/find_window.h"
#include "../../mcrsim/tool/scenario.h"
#include "../../res/resource.h"
#include "../capture/capture.h"

namespace {

constexpr DWORD kWindowWaitMs = 20000;  // a cold Wine start can be slow
// What the demo waits for at most for each thing it asks of the program (a dialog, the
// fields after a swipe, the end). Each wait ends as soon as the thing is seen; on a loaded
// machine the card test dialog once took more than 5 s to open after a 15 s start.
constexpr DWORD kWaitMs = 15000;
constexpr wchar_t kAboutCaption[] = L"About Stripewell";
// The demo's card test: driven as `mcrsim run` drives a scenario file.
constexpr char kCardScenario[] = "open\nswipe full\nswipe err-parity\nclose\n";
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

// Waits for the main window and says how long the start took (since: when the start
// began, so that the time covers all that came before this program: prefix, Wine);
// checks its placement. On a screen of the handheld's size the main window must cover
// the work area, as the device gives it (port/devscreen.cpp), and the dialogs must lie
// inside its client area below the command bar; on a larger screen, inside the screen.
HWND WaitForMainWindow(long long since) {
    HWND main = WaitForWindow(window_search::kStripewellClass, nullptr, kWindowWaitMs);
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

// Prints the program's debug lines before each line of a scenario's run, so that they
// come in the order they happened.
class ScenarioIo : public mcrsim_tool::Io {
public:
    void Out(const std::string &line) override {
        DrainStderr();
        Say(line);
    }
    void Err(const std::string &line) override {
        DrainStderr();
        std::fprintf(stderr, "%s\n", line.c_str());
        std::fflush(stderr);
    }
    Read ReadLine(std::string *) override { return Read::End; }
};

// After each step of the demo's card test: the dialog's size once it opened; the three
// fields and a picture of the dialog after each swipe.
void AfterCardStep(const std::wstring &dir, const mcrsim_scenario::Step &step, HWND dialog) {
    if (step.kind == mcrsim_scenario::StepKind::Open) CheckDialog(dialog, "card test dialog", kCardClient);
    if (step.kind != mcrsim_scenario::StepKind::Swipe) return;
    Settle();
    const struct {
        int id;
        const char *label;
    } fields[] = {{IDC_ISO1, "ISO1"}, {IDC_ISO2, "ISO2"}, {IDC_JIS2, "JIS2"}};
    for (const auto &field : fields) Say(std::string("  ") + field.label + ": " + Narrow(FieldText(dialog, field.id)));
    Save(dir, L"card-" + std::wstring(step.card.begin(), step.card.end()) + L".png", dialog);
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

// Starts the program and waits for its main window (WaitForMainWindow); nullptr, with
// the program ended, when it did not show.
HWND StartAndShow(long long since) {
    if (!StartProgram()) return nullptr;
    HWND main = WaitForMainWindow(since);
    if (main == nullptr) {
        DrainStderr();
        TerminateProcess(g_process, 1);
    }
    return main;
}

// stripewell-demo.exe demo OUTPUT_DIR: opens the card test dialog through the menu,
// swipes the built-in deck's "full" card and its damaged "err-parity" card through the
// simulated reader's mailbox and closes the dialog (a scenario, run as `mcrsim run` runs
// one), prints the three field texts after each swipe, opens the About dialog, saves
// main.png, card-full.png, card-err-parity.png and about.png into OUTPUT_DIR, and ends
// the program through its menu. Prints Stripewell's standard error (its debug lines) as
// it comes. Exit code 0, or 1 with the reason when something did not appear, did not fit
// the screen, was not the size it has on the handheld, a step of the scenario failed, the
// screen was not the one asked for, the program's debug lines did not come through, or
// the program did not end cleanly.
int RunDemo(const std::wstring &dir, long long since) {
    CreateDirectoryW(dir.c_str(), nullptr);
    Say("starting Stripewell");
    HWND main = StartAndShow(since);
    if (main == nullptr) return 1;
    SetForegroundWindow(main);
    Settle();
    Save(dir, L"main.png", main);

    Say("the card test dialog, as a scenario: open, swipe full, swipe err-parity, close");
    const mcrsim_scenario::Parsed card = mcrsim_scenario::ParseScenario(kCardScenario, "demo");
    ScenarioIo io;
    const int result = mcrsim_scenario::Run({card.scenario}, g_pid, std::nullopt, io,
                                            [&](const mcrsim_scenario::Step &step, HWND dialog) {
                                                AfterCardStep(dir, step, dialog);
                                            });
    if (result != 0) Fail("a step of the card test failed (exit code " + std::to_string(result) + ")");

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

// stripewell-demo.exe scenario FILE... [--junit REPORT]: runs the scenario files against
// a Stripewell of its own, as `mcrsim run FILE... --pid N` does (docs/scenarios.md),
// starting it only once the files parse and the report may be written; prints its debug
// lines among the steps' lines, and ends it through its menu. Exits with the run's code
// (1 also when the program did not end cleanly).
int RunScenario(const std::vector<std::string> &files, const std::optional<std::string> &junit, long long since) {
    ScenarioIo io;
    std::vector<mcrsim_scenario::Scenario> scenarios;
    const int prepared = mcrsim_scenario::Prepare(files, junit, io, &scenarios);
    if (prepared != 0) return prepared;
    HWND main = StartAndShow(since);
    if (main == nullptr) return 1;
    const int result = mcrsim_scenario::Run(scenarios, g_pid, junit, io);
    EndProgram(main);
    return result != 0 ? result : g_failures == 0 ? 0 : 1;
}

// stripewell-demo.exe start: starts the program for a person, prints "main window shown
// ... (process N)" once its main window shows, prints its debug lines as they come, and
// waits for it to end; exits with its exit code.
int RunStart(long long since) {
    // Its line "main window shown ... (process N)" tells scripts/run the program is up.
    if (StartAndShow(since) == nullptr) return 1;
    WaitFor(Ended, INFINITE);
    DrainStderr();
    DWORD code = 0;
    GetExitCodeProcess(g_process, &code);
    return static_cast<int>(code);
}

}  // namespace

// Every command also takes --since UNIX_MS (when the start began, see WaitForMainWindow)
// and --screen WxH|none (the screen the run asked for, which is checked).
int wmain(int argc, wchar_t **argv) {
    long long since = UnixMs();
    const std::wstring command = argc > 1 ? argv[1] : L"";
    const int positional = command == L"demo" ? 1 : 0;  // demo's OUTPUT_DIR
    // Options after the command and its argument, in any order.
    const bool scenario = command == L"scenario";
    bool badOption = command != L"demo" && command != L"start" && !scenario;
    std::vector<std::string> scenarioFiles;
    std::optional<std::string> junit;
    for (int i = 2 + positional; i < argc && !badOption; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::wcscmp(argv[i], L"--since") == 0 && hasValue)
            since = _wtoi64(argv[++i]);
        else if (std::wcscmp(argv[i], L"--screen") == 0 && hasValue)
            badOption = std::wcscmp(argv[++i], L"none") != 0 &&
                        std::swscanf(argv[i], L"%ldx%ld", &g_expectedScreen.cx, &g_expectedScreen.cy) != 2;
        else if (scenario && std::wcscmp(argv[i], L"--junit") == 0 && hasValue && !junit)
            junit = Narrow(argv[++i]);
        else if (scenario && argv[i][0] != L'-')
            scenarioFiles.push_back(Narrow(argv[i]));
        else
            badOption = true;
    }
    if (scenario && !badOption && !scenarioFiles.empty()) return RunScenario(scenarioFiles, junit, since);
    if (!scenario && !badOption && argc >= 2 + positional)
        return command == L"demo" ? RunDemo(argv[2], since) : RunStart(since);
    std::fprintf(stderr,
                 "usage: stripewell-demo.exe demo OUTPUT_DIR [--since UNIX_MS] [--screen WxH|none]\n"
                 "       stripewell-demo.exe scenario FILE... [--junit REPORT] [--since UNIX_MS] [--screen WxH|none]\n"
                 "       stripewell-demo.exe start [--since UNIX_MS] [--screen WxH|none]\n");
    return 2;
}
