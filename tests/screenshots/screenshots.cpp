// Screenshots of the real program on a real (virtual) display, taken by
// tests/screenshots/run-screenshots under Xvfb: screenshots.exe OUTPUT_DIR.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "../../mcrsim/client/find_window.h"
#include "../../mcrsim/client/mailbox_client.h"
#include "../../tools/capture/capture.h"
#include "../../res/resource.h"
#include "../support/testsupport.h"

namespace {

constexpr DWORD kWaitMs = 5000;
// Banner text is drawn in black on white: a pixel this dark belongs to it.
constexpr int kDarkLevel = 96;
// How far the banner's centre may sit from the client area's centre (pixels): the
// text's ink is not symmetric in its cell.
constexpr int kCentreSlack = 4;

int g_failures = 0;

void Fail(const std::string &why) {
    std::fprintf(stderr, "screenshots: %s\n", why.c_str());
    ++g_failures;
}

using screen_capture::Blank;
using screen_capture::ClientRectOnScreen;
using screen_capture::CountColour;
using screen_capture::Grab;
using screen_capture::Picture;
using screen_capture::WindowRect;

bool Dark(COLORREF c) { return GetRValue(c) < kDarkLevel && GetGValue(c) < kDarkLevel && GetBValue(c) < kDarkLevel; }

// Says "saved NAME (W x H)" for each picture written: run-screenshots lists those, and
// only those, as this test's files in OUTPUT_DIR.
void Save(const std::wstring &dir, const wchar_t *name, const Picture &pic) {
    const std::string narrow(name, name + wcslen(name));
    if (!screen_capture::WritePng(dir + L"\\" + name, pic))
        Fail("cannot write " + narrow);
    else
        std::printf("saved %s (%d x %d)\n", narrow.c_str(), pic.width, pic.height);
    std::fflush(stdout);
}

// A picture of a window that does not fit the screen is a clipped picture: fail on it,
// and on a screen that is not the handheld's 240 x 320 the prefix asks for.
void CheckFitsScreen(HWND hwnd, const char *what) {
    const RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    const RECT rc = WindowRect(hwnd);
    auto text = [](const RECT &r) {
        return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" + std::to_string(r.right) + "," +
               std::to_string(r.bottom) + ")";
    };
    if (screen.right != 240 || screen.bottom != 320) Fail("the screen is " + text(screen) + ", not 240 x 320");
    if (rc.left < 0 || rc.top < 0 || rc.right > screen.right || rc.bottom > screen.bottom)
        Fail(std::string(what) + " " + text(rc) + " does not fit the screen " + text(screen));
}

// --- The program ----------------------------------------------------------------------

std::wstring BesideMe(const wchar_t *name) {
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path, n);
    return dir.substr(0, dir.find_last_of(L"\\/") + 1) + name;
}

HANDLE g_process = nullptr;
DWORD g_pid = 0;

// Waits until pred() holds (false after timeoutMs), letting the program run.
bool WaitFor(const std::function<bool()> &pred, DWORD timeoutMs = kWaitMs) {
    const DWORD start = GetTickCount();
    while (!pred()) {
        const DWORD spent = GetTickCount() - start;
        if (spent >= timeoutMs) return false;
        MsgWaitForMultipleObjects(1, &g_process, FALSE, std::min<DWORD>(20, timeoutMs - spent), QS_ALLINPUT);
    }
    return true;
}

// Gives the program time to paint and the display time to show it.
void Settle() { WaitFor([] { return false; }, 400); }

HWND FindTopLevel(const wchar_t *cls, const wchar_t *caption) {
    return window_search::FindTopLevel(g_pid, cls, caption, true);
}

HWND WaitForWindow(const wchar_t *cls, const wchar_t *caption) {
    HWND found = nullptr;
    WaitFor([&] { return (found = FindTopLevel(cls, caption)) != nullptr; });
    return found;
}

// The banner's ink (dark pixels of the client area outside the command bar) must be
// centred in the whole client area, in which the program centres it.
void CheckBannerCentred(HWND main, const Picture &client, const char *when) {
    RECT bar{};
    GetWindowRect(GetDlgItem(main, ID_CMDBAR), &bar);
    const int barBottom = bar.bottom - bar.top;
    int left = client.width, right = -1, top = client.height, bottom = -1;
    for (int y = barBottom; y < client.height; ++y)
        for (int x = 0; x < client.width; ++x)
            if (Dark(client.At(x, y))) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    if (right < 0) {
        Fail(std::string("no banner in the main window ") + when);
        return;
    }
    const int dx = (left + right + 1) - client.width, dy = (top + bottom + 1) - client.height;
    if (std::abs(dx) > 2 * kCentreSlack || std::abs(dy) > 2 * kCentreSlack)
        Fail(std::string("banner not centred ") + when + ": ink " + std::to_string(left) + ".." +
             std::to_string(right) + " x " + std::to_string(top) + ".." + std::to_string(bottom) + " in a " +
             std::to_string(client.width) + " x " + std::to_string(client.height) + " client area");
}

}  // namespace

// Starts Stripewell.exe from its own folder, then saves main.png, main-resized.png,
// card.png (the card test dialog after a swipe) and about.png into OUTPUT_DIR, each said
// on standard output as "saved NAME (W x H)". Fails (exit code 1, the reason on standard
// error) when a picture is blank, when the banner is not centred in the main window's
// client area before and after a resize, or when the program does not end with exit
// code 0.
int wmain(int argc, wchar_t **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: screenshots.exe OUTPUT_DIR\n");
        return 2;
    }
    const std::wstring out = argv[1];
    CreateDirectoryW(out.c_str(), nullptr);

    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    const std::wstring exe = BesideMe(L"Stripewell.exe");
    std::wstring cmd = L"\"" + exe + L"\"";
    if (!CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        Fail("cannot start Stripewell.exe");
        return 1;
    }
    g_process = pi.hProcess;
    g_pid = pi.dwProcessId;
    CloseHandle(pi.hThread);

    HWND main = WaitForWindow(L"STRIPEWELL", L"Stripewell");
    if (main == nullptr) {
        Fail("no main window");
        TerminateProcess(g_process, 1);
        return 1;
    }
    SetForegroundWindow(main);
    Settle();

    // The main window as it opened, then resized.
    Save(out, L"main.png", Grab(WindowRect(main)));
    const Picture mainPic = Grab(WindowRect(main));
    if (Blank(mainPic)) Fail("main window is blank");
    CheckFitsScreen(main, "the main window");
    CheckBannerCentred(main, Grab(ClientRectOnScreen(main)), "as opened");

    // Grown to the whole screen's width, so that the banner has room to move.
    RECT screen{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &screen, 0);
    SetWindowPos(main, nullptr, screen.left, screen.top, screen.right - screen.left,
                 (screen.bottom - screen.top) * 7 / 8, SWP_NOZORDER);
    Settle();
    Save(out, L"main-resized.png", Grab(WindowRect(main)));
    CheckBannerCentred(main, Grab(ClientRectOnScreen(main)), "after a resize");

    // The card test dialog after a swipe.
    PostMessageW(main, WM_COMMAND, IDM_CARD_TEST, 0);
    HWND card = WaitForWindow(L"#32770", L" * Stripewell *");
    if (card == nullptr) {
        Fail("no card test dialog");
    } else {
        mcrsim_mailbox::Client reader(g_pid);
        WaitFor([&] {
            auto reply = reader.State();
            return reply && reply->state.fNotify;
        });
        // A card a reader can hand over: the library refuses any other from outside.
        const MCRSimCard swiped = testing_support::MakeCard("B4900123456789012^STRIPEWELL/TEST^2912", 1,
                                                            "4900123456789012=2912", 1, "", 0x12);
        auto reply = reader.Swipe(swiped);
        if (!reply || reply->result != 1) Fail("the reader did not take the card");
        WaitFor([&] {
            wchar_t text[32] = L"";
            GetDlgItemTextW(card, IDC_JIS2, text, 32);
            return std::wstring(text) == L"Error:12";
        });
        Settle();
        const Picture pic = Grab(WindowRect(card));
        Save(out, L"card.png", pic);
        CheckFitsScreen(card, "the card test dialog");
        if (Blank(pic)) Fail("card test dialog is blank");
        SendMessageW(GetDlgItem(card, IDC_CLOSE), BM_CLICK, 0, 0);
        WaitFor([&] { return !IsWindow(card); });
    }

    // The About dialog, closed through its caption.
    PostMessageW(main, WM_COMMAND, IDM_ABOUT, 0);
    HWND about = WaitForWindow(L"#32770", L"About Stripewell");
    if (about == nullptr) {
        Fail("no About dialog");
    } else {
        Settle();
        const Picture pic = Grab(WindowRect(about));
        Save(out, L"about.png", pic);
        CheckFitsScreen(about, "the About dialog");
        if (Blank(pic)) Fail("About dialog is blank");
        if (CountColour(pic, RGB(0, 0, 255)) < 50) Fail("About shows no icon (no card blue)");
        PostMessageW(about, WM_SYSCOMMAND, SC_CLOSE, 0);
        if (!WaitFor([&] { return !IsWindow(about); })) Fail("About did not close through its caption");
    }

    PostMessageW(main, WM_COMMAND, IDM_EXIT, 0);
    DWORD code = STILL_ACTIVE;
    WaitFor([] { return WaitForSingleObject(g_process, 0) == WAIT_OBJECT_0; });
    GetExitCodeProcess(g_process, &code);
    if (code != 0) {
        Fail("exit code " + std::to_string(code));
        if (code == STILL_ACTIVE) TerminateProcess(g_process, 1);
    }
    CloseHandle(g_process);
    return g_failures == 0 ? 0 : 1;
}
