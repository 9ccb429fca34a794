// Screenshots of the real program on a real (virtual) display, taken by
// tests/screenshots/run-screenshots under Xvfb:
//   screenshots.exe OUTPUT_DIR
// Starts Stripewell.exe from its own folder, then saves main.png, main-resized.png,
// card.png (the card test dialog after a swipe) and about.png into OUTPUT_DIR. Fails
// (exit code 1, the reason on standard error) when a picture is blank, when the banner
// is not centred in the main window's client area before and after a resize, or when
// the program does not end with exit code 0.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "../../mcrsim/remote_client.h"
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

// --- PNG output ---------------------------------------------------------------------

DWORD Crc(const std::string &bytes) {
    static DWORD table[256];
    if (table[1] == 0)
        for (DWORD n = 0; n < 256; ++n) {
            DWORD c = n;
            for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[n] = c;
        }
    DWORD c = 0xFFFFFFFFu;
    for (unsigned char b : bytes) c = table[(c ^ b) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

void PutBig(std::string &out, DWORD v) {
    for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((v >> shift) & 0xFF);
}

void Chunk(std::string &png, const char *type, const std::string &data) {
    PutBig(png, static_cast<DWORD>(data.size()));
    const std::string body = std::string(type, 4) + data;
    png += body;
    PutBig(png, Crc(body));
}

// An RGB picture as a PNG file, its image data in stored (uncompressed) deflate blocks.
bool WritePng(const std::wstring &path, int width, int height, const std::vector<COLORREF> &pixels) {
    std::string raw;
    for (int y = 0; y < height; ++y) {
        raw += '\0';  // no filter
        for (int x = 0; x < width; ++x) {
            const COLORREF c = pixels[y * width + x];
            raw += static_cast<char>(GetRValue(c));
            raw += static_cast<char>(GetGValue(c));
            raw += static_cast<char>(GetBValue(c));
        }
    }
    std::string zlib("\x78\x01", 2);
    for (size_t at = 0; at < raw.size() || at == 0; at += 65535) {
        const size_t n = std::min<size_t>(65535, raw.size() - at);
        zlib += static_cast<char>(at + n >= raw.size() ? 1 : 0);
        zlib += static_cast<char>(n & 0xFF);
        zlib += static_cast<char>(n >> 8);
        zlib += static_cast<char>(~n & 0xFF);
        zlib += static_cast<char>((~n >> 8) & 0xFF);
        zlib.append(raw, at, n);
        if (raw.empty()) break;
    }
    DWORD a = 1, b = 0;
    for (unsigned char ch : raw) {
        a = (a + ch) % 65521;
        b = (b + a) % 65521;
    }
    PutBig(zlib, (b << 16) | a);

    std::string header;
    PutBig(header, width);
    PutBig(header, height);
    header += std::string("\x08\x02\x00\x00\x00", 5);  // 8-bit RGB
    std::string png("\x89PNG\r\n\x1a\n", 8);
    Chunk(png, "IHDR", header);
    Chunk(png, "IDAT", zlib);
    Chunk(png, "IEND", "");

    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, png.data(), static_cast<DWORD>(png.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == png.size();
}

// --- Capture ----------------------------------------------------------------------

struct Picture {
    int width = 0, height = 0;
    std::vector<COLORREF> pixels;
    COLORREF At(int x, int y) const { return pixels[y * width + x]; }
};

// What the screen shows in `wanted` (screen coordinates), cut to the screen.
Picture Grab(const RECT &wanted) {
    const RECT display{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    RECT rect{};
    IntersectRect(&rect, &wanted, &display);
    Picture pic;
    pic.width = rect.right - rect.left;
    pic.height = rect.bottom - rect.top;
    if (pic.width <= 0 || pic.height <= 0) return pic;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = pic.width;
    info.bmiHeader.biHeight = -pic.height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void *bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, pic.width, pic.height, screen, rect.left, rect.top, SRCCOPY);
    GdiFlush();
    const DWORD *p = static_cast<const DWORD *>(bits);
    for (int i = 0; i < pic.width * pic.height; ++i) {
        const DWORD v = p[i];  // 0x00RRGGBB
        pic.pixels.push_back(RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF));
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pic;
}

RECT WindowRect(HWND hwnd) {
    RECT rc{};
    GetWindowRect(hwnd, &rc);
    return rc;
}

RECT ClientRectOnScreen(HWND hwnd) {
    RECT rc{};
    GetClientRect(hwnd, &rc);
    MapWindowPoints(hwnd, nullptr, reinterpret_cast<POINT *>(&rc), 2);
    return rc;
}

// A picture with fewer than two colours that each cover 1% of it shows nothing.
bool Blank(const Picture &pic) {
    std::vector<std::pair<COLORREF, size_t>> counts;
    for (COLORREF c : pic.pixels) {
        auto it = std::find_if(counts.begin(), counts.end(), [&](const auto &e) { return e.first == c; });
        if (it == counts.end())
            counts.push_back({c, 1});
        else
            ++it->second;
        if (counts.size() > 64) return false;
    }
    const size_t enough = pic.pixels.size() / 100;
    return std::count_if(counts.begin(), counts.end(), [&](const auto &e) { return e.second >= enough; }) < 2;
}

bool Dark(COLORREF c) { return GetRValue(c) < kDarkLevel && GetGValue(c) < kDarkLevel && GetBValue(c) < kDarkLevel; }

size_t CountColour(const Picture &pic, COLORREF colour) {
    return static_cast<size_t>(std::count(pic.pixels.begin(), pic.pixels.end(), colour));
}

void Save(const std::wstring &dir, const wchar_t *name, const Picture &pic) {
    if (pic.width == 0 || !WritePng(dir + L"\\" + name, pic.width, pic.height, pic.pixels))
        Fail("cannot write " + std::string(name, name + wcslen(name)));
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
    struct Search {
        const wchar_t *cls, *caption;
        HWND found;
    } search{cls, caption, nullptr};
    EnumWindows(
        [](HWND hwnd, LPARAM param) -> BOOL {
            auto *s = reinterpret_cast<Search *>(param);
            DWORD pid = 0;
            GetWindowThreadProcessId(hwnd, &pid);
            wchar_t cls[64] = L"", text[128] = L"";
            GetClassNameW(hwnd, cls, 64);
            GetWindowTextW(hwnd, text, 128);
            if (pid == g_pid && std::wstring(cls) == s->cls && (!s->caption || std::wstring(text) == s->caption) &&
                IsWindowVisible(hwnd)) {
                s->found = hwnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
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

int wmain(int argc, wchar_t **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: screenshots.exe OUTPUT_DIR\n");
        return 2;
    }
    const std::wstring out = argv[1];
    CreateDirectoryW(out.c_str(), nullptr);

    STARTUPINFOW si{sizeof(si)};
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
        mcrsim_remote::Client reader(g_pid);
        WaitFor([&] {
            auto reply = reader.State();
            return reply && reply->state.fNotify;
        });
        const MCRSimCard swiped = testing_support::MakeCard("%B4900123456789012^STRIPEWELL/TEST^2912?", 1,
                                                            ";4900123456789012=2912?", 1, "", 0x23);
        auto reply = reader.Swipe(swiped);
        if (!reply || reply->result != 1) Fail("the reader did not take the card");
        WaitFor([&] {
            wchar_t text[32] = L"";
            GetDlgItemTextW(card, IDC_JIS2, text, 32);
            return std::wstring(text) == L"Error:23";
        });
        Settle();
        const Picture pic = Grab(WindowRect(card));
        Save(out, L"card.png", pic);
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
