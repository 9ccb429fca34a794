// The application shell in this process: its resources as compiled, the About dialog,
// the main window with its command bar, and WinMain's message loop.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "../dialogs/dialogs.h"
#include "../reader/reader.h"
#include "../res/resource.h"
#include "../shell/shell.h"
#include "support/testsupport.h"

using namespace testing_support;

namespace {

constexpr WORD kJapanese = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);

HINSTANCE Self() { return GetModuleHandleW(nullptr); }

std::string Narrow(const std::wstring &text) {
    std::string out;
    for (wchar_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

// --- Acting on a dialog from inside its modal loop -------------------------------

// The next dialog this thread creates gets `act` called once its modal loop runs
// (from a timer on the dialog). A dialog still open 5 s later is ended with
// kWatchdogResult, so a test that fails to close it fails instead of hanging.
constexpr INT_PTR kWatchdogResult = -77;
constexpr UINT_PTR kActTimer = 0x5701, kWatchdogTimer = 0x5702;

struct DialogDriver {
    std::function<void(HWND)> act;
    std::vector<HWND> seen;  // every dialog created while installed
    HHOOK hook = nullptr;
};
DialogDriver *g_driver = nullptr;

void CALLBACK DriverTimer(HWND dlg, UINT, UINT_PTR id, DWORD) {
    KillTimer(dlg, id);
    if (id == kWatchdogTimer) {
        ADD_FAILURE() << "dialog still open after 5 s";
        EndDialog(dlg, kWatchdogResult);
    } else if (g_driver && g_driver->act) {
        g_driver->act(dlg);
    }
}

LRESULT CALLBACK DriverCbt(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND && g_driver) {
        HWND hwnd = reinterpret_cast<HWND>(wParam);
        wchar_t cls[32] = L"";
        GetClassNameW(hwnd, cls, 32);
        if (std::wstring(cls) == L"#32770") {
            g_driver->seen.push_back(hwnd);
            SetTimer(hwnd, kActTimer, 10, DriverTimer);
            SetTimer(hwnd, kWatchdogTimer, 5000, DriverTimer);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

class ScopedDialogDriver {
public:
    explicit ScopedDialogDriver(std::function<void(HWND)> act) {
        driver_.act = std::move(act);
        driver_.hook = SetWindowsHookExW(WH_CBT, DriverCbt, nullptr, GetCurrentThreadId());
        g_driver = &driver_;
    }
    ~ScopedDialogDriver() {
        UnhookWindowsHookEx(driver_.hook);
        g_driver = nullptr;
    }
    const std::vector<HWND> &seen() const { return driver_.seen; }

private:
    DialogDriver driver_;
};

INT_PTR RunAbout(HWND owner, std::function<void(HWND)> act) {
    ScopedDialogDriver driver(std::move(act));
    const DLGTEMPLATE *tmpl = LoadDialogTemplate(IDD_ABOUT);
    if (tmpl == nullptr) return -1;
    return DialogBoxIndirectParamW(Self(), tmpl, owner, AboutDlgProc, 0);
}

void SendCommand(HWND hwnd, WORD id) { SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }

std::wstring WindowText(HWND hwnd) {
    wchar_t text[256] = L"";
    GetWindowTextW(hwnd, text, 256);
    return text;
}

// --- The resources as compiled ----------------------------------------------------

std::vector<WORD> LanguagesOf(LPCWSTR type, LPCWSTR name) {
    std::vector<WORD> langs;
    EnumResourceLanguagesW(
        Self(), type, name,
        [](HMODULE, LPCWSTR, LPCWSTR, WORD lang, LONG_PTR param) -> BOOL {
            reinterpret_cast<std::vector<WORD> *>(param)->push_back(lang);
            return TRUE;
        },
        reinterpret_cast<LONG_PTR>(&langs));
    return langs;
}

TEST(ShellResourceTest, EveryShellResourceIsJapaneseOnly) {
    const std::vector<WORD> japanese{kJapanese};
    EXPECT_EQ(LanguagesOf(RT_MENU, MAKEINTRESOURCEW(IDM_MAIN)), japanese) << "menu";
    EXPECT_EQ(LanguagesOf(RT_ACCELERATOR, MAKEINTRESOURCEW(IDA_MAIN)), japanese) << "accelerators";
    EXPECT_EQ(LanguagesOf(RT_DIALOG, MAKEINTRESOURCEW(IDD_ABOUT)), japanese) << "About template";
    EXPECT_EQ(LanguagesOf(RT_GROUP_ICON, MAKEINTRESOURCEW(IDI_APP)), japanese) << "icon group";
    // Strings 1 to 3 live in string block 1 (strings 0 to 15).
    EXPECT_EQ(LanguagesOf(RT_STRING, MAKEINTRESOURCEW(1)), japanese) << "strings";

    wchar_t text[100];
    const std::pair<UINT, const wchar_t *> strings[] = {
        {IDS_TITLE, L"Stripewell"}, {IDS_BANNER, L"<< Stripewell program >>"}, {IDS_CLASS, L"STRIPEWELL"}};
    for (const auto &[id, expected] : strings) {
        ASSERT_GT(LoadStringW(Self(), id, text, 100), 0) << "string " << id;
        EXPECT_STREQ(text, expected) << "string " << id;
    }
}

TEST(ShellResourceTest, MenuHasTwoDropDownsWithThreePlainCommands) {
    HMENU menu = LoadMenuW(Self(), MAKEINTRESOURCEW(IDM_MAIN));
    ASSERT_NE(menu, nullptr);
    struct Item {
        int dropDown;
        const wchar_t *text;
        UINT id;
    };
    const Item items[] = {{0, L"Stripewell Program", IDM_CARD_TEST}, {0, L"Exit(&X)", IDM_EXIT}, {1, L"About(&A)", IDM_ABOUT}};
    const wchar_t *titles[] = {L"File(&F)", L"Help(&H)"};
    const int counts[] = {2, 1};

    ASSERT_EQ(GetMenuItemCount(menu), 2);
    for (int d = 0; d < 2; ++d) {
        wchar_t text[64] = L"";
        GetMenuStringW(menu, d, text, 64, MF_BYPOSITION);
        EXPECT_STREQ(text, titles[d]);
        HMENU sub = GetSubMenu(menu, d);
        ASSERT_NE(sub, nullptr) << Narrow(titles[d]) << " is a drop-down";
        EXPECT_EQ(GetMenuItemCount(sub), counts[d]);
    }
    int position[2] = {0, 0};
    for (const Item &item : items) {
        HMENU sub = GetSubMenu(menu, item.dropDown);
        const int pos = position[item.dropDown]++;
        wchar_t text[64] = L"";
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_STRING;
        info.dwTypeData = text;
        info.cch = 64;
        ASSERT_TRUE(GetMenuItemInfoW(sub, pos, TRUE, &info));
        EXPECT_STREQ(text, item.text);
        EXPECT_EQ(info.wID, item.id) << Narrow(item.text);
        EXPECT_EQ(info.fType & MFT_SEPARATOR, 0u) << Narrow(item.text);
        EXPECT_EQ(info.fState & (MFS_CHECKED | MFS_GRAYED), 0u) << Narrow(item.text);
    }
    DestroyMenu(menu);
}

TEST(ShellResourceTest, AcceleratorsAreAltSlashAsCharacterAndAltF4AsVirtualKey) {
    HACCEL table = LoadAcceleratorsW(Self(), MAKEINTRESOURCEW(IDA_MAIN));
    ASSERT_NE(table, nullptr);
    ACCEL entries[4];
    ASSERT_EQ(CopyAcceleratorTableW(table, entries, 4), 2);
    // Neither inverts a menu item (FNOINVERT); "/" is a character, so no FVIRTKEY.
    EXPECT_EQ(entries[0].fVirt, FALT | FNOINVERT);
    EXPECT_EQ(entries[0].key, '/');
    EXPECT_EQ(entries[0].cmd, IDM_ABOUT);
    EXPECT_EQ(entries[1].fVirt, FVIRTKEY | FALT | FNOINVERT);
    EXPECT_EQ(entries[1].key, 0x73);
    EXPECT_EQ(entries[1].cmd, IDM_EXIT);
}

#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width, height, colours, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

TEST(ShellResourceTest, IconGroupHoldsA32And16ImageOf16Colours) {
    HRSRC found = FindResourceExW(Self(), RT_GROUP_ICON, MAKEINTRESOURCEW(IDI_APP), kJapanese);
    ASSERT_NE(found, nullptr);
    const BYTE *group = static_cast<const BYTE *>(LockResource(LoadResource(Self(), found)));
    WORD count;
    memcpy(&count, group + 4, 2);
    ASSERT_EQ(count, 2);
    const int sizes[] = {32, 16};
    for (int i = 0; i < 2; ++i) {
        GroupIconEntry entry;
        memcpy(&entry, group + 6 + i * sizeof(GroupIconEntry), sizeof(entry));
        EXPECT_EQ(entry.width, sizes[i]);
        EXPECT_EQ(entry.height, sizes[i]);
        EXPECT_EQ(entry.colours, 16);
        EXPECT_EQ(entry.bitCount, 4);
        // The image itself is a 4-bit bitmap of that size (height doubled for the mask).
        HRSRC image = FindResourceW(Self(), MAKEINTRESOURCEW(entry.id), RT_ICON);
        ASSERT_NE(image, nullptr);
        BITMAPINFOHEADER header;
        memcpy(&header, LockResource(LoadResource(Self(), image)), sizeof(header));
        EXPECT_EQ(header.biWidth, sizes[i]);
        EXPECT_EQ(header.biHeight, 2 * sizes[i]);
        EXPECT_EQ(header.biBitCount, 4);
    }
    EXPECT_NE(LoadImageW(Self(), MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON, 16, 16, 0), nullptr);
}

TEST(ShellResourceTest, AboutTemplateIsTheDevicesLayout) {
    const DLGTEMPLATE *tmpl = LoadDialogTemplate(IDD_ABOUT);
    ASSERT_NE(tmpl, nullptr);
    TemplateReader r{reinterpret_cast<const BYTE *>(tmpl)};
    EXPECT_EQ(r.Dword(), 0x80C800C0u) << "popup, caption, system menu, modal frame, font";
    EXPECT_EQ(r.Dword(), 0x80000000u) << "the caption OK button";
    const WORD items = r.Word();
    const short x = r.Word(), y = r.Word(), cx = r.Word(), cy = r.Word();
    EXPECT_EQ(items, 3);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(cx, 125);
    EXPECT_EQ(cy, 55);
    EXPECT_EQ(r.SzOrOrd(), L"") << "no menu";
    EXPECT_EQ(r.SzOrOrd(), L"") << "the dialog class";
    EXPECT_EQ(r.SzOrOrd(), L"About Stripewell");
    EXPECT_EQ(r.Word(), 9) << "point size";
    EXPECT_EQ(r.SzOrOrd(), L"\xFF2D\xFF33 \xFF30\x30B4\x30B7\x30C3\x30AF") << "full-width MS P Gothic";

    struct Item {
        std::wstring text;
        short x, y, cx, cy;
        DWORD style;
    };
    const DWORD child = WS_CHILD | WS_VISIBLE;
    const Item expected[] = {
        {L"#101", 11, 17, 20, 20, child | SS_ICON},
        {L"Stripewell Version 1.0", 38, 10, 70, 8, child | WS_GROUP | SS_LEFT | SS_NOPREFIX},
        {L"", 38, 25, 70, 8, child | WS_GROUP | SS_LEFT},
    };
    for (int i = 0; i < 3 && i < items; ++i) {
        r.Align();
        const DWORD style = r.Dword();
        r.Dword();  // extended style
        const short ix = r.Word(), iy = r.Word(), icx = r.Word(), icy = r.Word();
        const short id = static_cast<short>(r.Word());
        const std::wstring cls = r.SzOrOrd(), text = r.SzOrOrd();
        r.p += r.Word();  // creation data
        SCOPED_TRACE("control " + std::to_string(i));
        EXPECT_EQ(id, IDC_STATIC);
        EXPECT_TRUE(cls == L"#130" || _wcsicmp(cls.c_str(), L"STATIC") == 0) << "static, not " << Narrow(cls);
        if (i < 2)
            EXPECT_EQ(text, expected[i].text);
        else
            EXPECT_FALSE(text.empty()) << "the second line has a text";
        EXPECT_EQ(style, expected[i].style);
        EXPECT_EQ((std::vector<short>{ix, iy, icx, icy}),
                  (std::vector<short>{expected[i].x, expected[i].y, expected[i].cx, expected[i].cy}));
    }
}

// --- The About dialog -------------------------------------------------------------

class AboutTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(PortEnableCaptionOkButtons());
        // The owner stands away from the screen origin: only its client size counts.
        owner_ = CreateOwnerWindow(240, 294);
        SetWindowPos(owner_, nullptr, 300, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    void TearDown() override { DestroyWindow(owner_); }
    HWND owner_ = nullptr;
};

TEST_F(AboutTest, OkAndCancelEndItWithTheirIdentifiersAndOtherCommandsDoNot) {
    EXPECT_EQ(RunAbout(owner_, [](HWND dlg) { SendCommand(dlg, IDOK); }), IDOK);
    EXPECT_EQ(RunAbout(owner_, [](HWND dlg) { SendCommand(dlg, IDCANCEL); }), IDCANCEL);
    // Were any of these to end the dialog, its result would be that command.
    EXPECT_EQ(RunAbout(owner_,
                       [](HWND dlg) {
                           for (WORD id : {WORD(3), WORD(IDC_CLOSE), WORD(IDM_ABOUT), WORD(0xFFFF)}) SendCommand(dlg, id);
                           SendCommand(dlg, IDCANCEL);
                       }),
              IDCANCEL);
}

TEST_F(AboutTest, OpensCentredOnTheOwnersClientSizeAtTheScreenOrigin) {
    RECT rc{};
    EXPECT_EQ(RunAbout(owner_,
                       [&](HWND dlg) {
                           GetWindowRect(dlg, &rc);
                           SendCommand(dlg, IDOK);
                       }),
              IDOK);
    const int w = rc.right - rc.left, h = rc.bottom - rc.top;
    ASSERT_GT(w, 0);
    EXPECT_EQ(rc.left, CenterOffset(240, w));
    EXPECT_EQ(rc.top, CenterOffset(294, h));
}

TEST_F(AboutTest, ShowsTheProgramIcon) {
    HICON icon = nullptr;
    RunAbout(owner_, [&](HWND dlg) {
        for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
            if ((GetWindowLongW(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
                icon = reinterpret_cast<HICON>(SendMessageW(c, STM_GETICON, 0, 0));
        SendCommand(dlg, IDOK);
    });
    EXPECT_NE(icon, nullptr);
}

// Off the device the caption's close button stands in for the caption OK button: it
// (like the system menu's Close and Alt+F4, all SC_CLOSE) sends IDOK, and the device's
// style bit, which the desktop reserves, is gone from the window.
TEST_F(AboutTest, CaptionCloseActsAsTheCaptionOkButton) {
    LONG exStyle = -1;
    EXPECT_EQ(RunAbout(owner_,
                       [&](HWND dlg) {
                           exStyle = GetWindowLongW(dlg, GWL_EXSTYLE);
                           SendMessageW(dlg, WM_SYSCOMMAND, SC_CLOSE, 0);
                       }),
              IDOK);
    EXPECT_EQ(static_cast<DWORD>(exStyle) & WS_EX_CAPTIONOKBTN, 0u);
    EXPECT_NE(GetWindowLongW(owner_, GWL_STYLE) & WS_DISABLED, WS_DISABLED) << "owner enabled again";

    // Windows without the bit keep the desktop's own close handling: IDCANCEL.
    HWND plain = CreateDialogIndirectParamW(Self(), LoadDialogTemplate(IDD_CARD), owner_, InertDlgProc, 0);
    ASSERT_NE(plain, nullptr);
    std::vector<WORD> commands;
    SetWindowSubclass(
        plain,
        [](HWND h, UINT m, WPARAM w, LPARAM l, UINT_PTR, DWORD_PTR ref) -> LRESULT {
            if (m == WM_COMMAND) reinterpret_cast<std::vector<WORD> *>(ref)->push_back(LOWORD(w));
            return DefSubclassProc(h, m, w, l);
        },
        1, reinterpret_cast<DWORD_PTR>(&commands));
    SendMessageW(plain, WM_SYSCOMMAND, SC_CLOSE, 0);
    PumpUntil([&] { return !commands.empty(); }, 1000);
    EXPECT_EQ(commands, std::vector<WORD>{IDCANCEL});
    DestroyWindow(plain);
}

// --- The main window and its command bar ----------------------------------------

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSimulation();
        ASSERT_TRUE(PortEnableCaptionOkButtons());
        ASSERT_TRUE(CreateMainWindow(Self(), SW_SHOWNORMAL));
        main_ = FindWindowW(L"STRIPEWELL", nullptr);
        ASSERT_NE(main_, nullptr);
        bar_ = g_hwndCB;
    }
    void TearDown() override {
        if (IsWindow(main_)) DestroyWindow(main_);
        MSG quit;
        PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
        StopWorkers();
        PortSetDebugObserver(nullptr);
    }
    // Client coordinates of the centre of the bar's close button (a square at its
    // right end, as tall as the bar).
    LPARAM CloseButtonPoint() const {
        RECT rc;
        GetClientRect(bar_, &rc);
        const int h = CommandBar_Height(bar_);
        return MAKELPARAM(rc.right - h / 2, h / 2);
    }
    // Dispatches this thread's messages until the quit message arrives; its code, or
    // -1 when none came within timeoutMs.
    static WPARAM PumpUntilQuit(DWORD timeoutMs) {
        const DWORD start = GetTickCount();
        for (;;) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (msg.message == WM_QUIT) return msg.wParam;
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            const DWORD spent = GetTickCount() - start;
            if (spent >= timeoutMs) return static_cast<WPARAM>(-1);
            MsgWaitForMultipleObjects(0, nullptr, FALSE, timeoutMs - spent, QS_ALLINPUT);
        }
    }
    HWND main_ = nullptr;
    HWND bar_ = nullptr;
};

TEST_F(MainWindowTest, ClassAndWindowAreBuiltFromTheResources) {
    EXPECT_EQ(g_hInst, Self());
    WNDCLASSW wc{};
    ASSERT_TRUE(GetClassInfoW(Self(), L"STRIPEWELL", &wc));
    EXPECT_EQ(wc.style, static_cast<UINT>(CS_HREDRAW | CS_VREDRAW));
    EXPECT_EQ(wc.lpfnWndProc, MainWndProc);
    EXPECT_EQ(wc.cbClsExtra, 0);
    EXPECT_EQ(wc.cbWndExtra, 0);
    EXPECT_NE(wc.hIcon, nullptr);
    EXPECT_EQ(wc.hCursor, nullptr);
    EXPECT_EQ(wc.hbrBackground, GetStockObject(WHITE_BRUSH));
    EXPECT_EQ(wc.lpszMenuName, nullptr);

    EXPECT_EQ(WindowText(main_), L"Stripewell");
    EXPECT_TRUE(IsWindowVisible(main_));
    EXPECT_EQ(GetParent(main_), nullptr);
    EXPECT_EQ(GetMenu(main_), nullptr) << "the menu is on the command bar";
}

TEST_F(MainWindowTest, CommandBarIsAChildAcrossTheTopShowingTheMenu) {
    ASSERT_NE(bar_, nullptr);
    EXPECT_EQ(GetParent(bar_), main_);
    EXPECT_EQ(GetDlgCtrlID(bar_), ID_CMDBAR);
    EXPECT_TRUE(IsWindowVisible(bar_));

    auto expectAcrossTheTop = [&] {
        RECT client, bar;
        GetClientRect(main_, &client);
        GetWindowRect(bar_, &bar);
        MapWindowPoints(nullptr, main_, reinterpret_cast<POINT *>(&bar), 2);
        EXPECT_EQ(bar.left, 0);
        EXPECT_EQ(bar.top, 0);
        EXPECT_EQ(bar.right, client.right);
        EXPECT_GT(bar.bottom, 0);
        EXPECT_LT(bar.bottom, client.bottom);
    };
    expectAcrossTheTop();
    SetWindowPos(main_, nullptr, 0, 0, 500, 400, SWP_NOMOVE | SWP_NOZORDER);
    expectAcrossTheTop();
    SetWindowPos(main_, nullptr, 0, 0, 240, 320, SWP_NOMOVE | SWP_NOZORDER);
    expectAcrossTheTop();

    HMENU menu = CommandBar_GetMenu(bar_, 0);
    ASSERT_NE(menu, nullptr);
    wchar_t text[64];
    GetMenuStringW(menu, 0, text, 64, MF_BYPOSITION);
    EXPECT_STREQ(text, L"File(&F)");
    GetMenuStringW(menu, 1, text, 64, MF_BYPOSITION);
    EXPECT_STREQ(text, L"Help(&H)");

    // Only flags 0 exist off the device.
    EXPECT_FALSE(CommandBar_AddAdornments(bar_, 1, 0));
    EXPECT_TRUE(CommandBar_Show(bar_, FALSE));
    EXPECT_FALSE(IsWindowVisible(bar_));
    EXPECT_TRUE(CommandBar_Show(bar_, TRUE));
    EXPECT_TRUE(IsWindowVisible(bar_));
}

TEST_F(MainWindowTest, ResizingInvalidatesTheWholeClientAreaAndRepaints) {
    UpdateWindow(main_);
    RECT update;
    ASSERT_FALSE(GetUpdateRect(main_, &update, FALSE));
    SetWindowPos(main_, nullptr, 0, 0, 300, 260, SWP_NOMOVE | SWP_NOZORDER);
    RECT client;
    GetClientRect(main_, &client);
    ASSERT_TRUE(GetUpdateRect(main_, &update, FALSE));
    EXPECT_TRUE(EqualRect(&update, &client)) << "the banner is redrawn centred in the new area";
    PumpFor(50);
    EXPECT_FALSE(GetUpdateRect(main_, &update, FALSE)) << "WM_PAINT validated the window";
}

TEST_F(MainWindowTest, BarCloseButtonClosesTheMainWindowWhenReleasedOverIt) {
    // Pressed on the button but released elsewhere: nothing.
    SendMessageW(bar_, WM_LBUTTONDOWN, MK_LBUTTON, CloseButtonPoint());
    SendMessageW(bar_, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    EXPECT_EQ(PumpUntilQuit(100), static_cast<WPARAM>(-1));
    ASSERT_TRUE(IsWindow(main_));

    SendMessageW(bar_, WM_LBUTTONDOWN, MK_LBUTTON, CloseButtonPoint());
    SendMessageW(bar_, WM_LBUTTONUP, 0, CloseButtonPoint());
    EXPECT_EQ(PumpUntilQuit(2000), 0u) << "the close request reached the main window";
    EXPECT_FALSE(IsWindow(main_));
    EXPECT_FALSE(IsWindow(bar_)) << "destroyed with the main window";
}

TEST_F(MainWindowTest, ExitDestroysWindowAndBarAndPostsQuitZero) {
    SendCommand(main_, IDM_EXIT);
    EXPECT_FALSE(IsWindow(main_));
    EXPECT_FALSE(IsWindow(bar_));
    EXPECT_EQ(PumpUntilQuit(100), 0u);
}

// Clicks drop-down `index` of the bar and picks its item with the keyboard: `downs`
// presses of the down arrow, then Enter, queued behind the click for the menu's loop.
void PickFromBar(HWND bar, int index, int downs) {
    HMENU menu = CommandBar_GetMenu(bar, 0);
    HDC dc = GetDC(bar);
    HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    int x = 0;
    for (int i = 0; i <= index; ++i) {
        wchar_t text[64];
        RECT rc{};
        GetMenuStringW(menu, i, text, 64, MF_BYPOSITION);
        DrawTextW(dc, text, -1, &rc, DT_SINGLELINE | DT_CALCRECT);
        x += i < index ? rc.right + 12 : 4;
    }
    SelectObject(dc, old);
    ReleaseDC(bar, dc);
    PostMessageW(bar, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, 5));
    for (int i = 0; i < downs; ++i) PostMessageW(bar, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageW(bar, WM_KEYDOWN, VK_RETURN, 0);
}

TEST_F(MainWindowTest, BarMenusDeliverTheirCommandsToTheMainWindow) {
    std::vector<std::wstring> captions;
    std::vector<HWND> owners;
    {
        ScopedDialogDriver driver([&](HWND dlg) {
            captions.push_back(WindowText(dlg));
            owners.push_back(GetWindow(dlg, GW_OWNER));
            SendMessageW(dlg, WM_SYSCOMMAND, SC_CLOSE, 0);
        });
        PickFromBar(bar_, 1, 1);  // Help > About(&A)
        ASSERT_TRUE(PumpUntil([&] { return !captions.empty() && IsWindowEnabled(main_); }, 3000));
    }
    EXPECT_EQ(captions, std::vector<std::wstring>{L"About Stripewell"});
    EXPECT_EQ(owners, std::vector<HWND>{main_});

    PickFromBar(bar_, 0, 2);  // File > Exit(&X)
    EXPECT_EQ(PumpUntilQuit(3000), 0u);
    EXPECT_FALSE(IsWindow(main_));
}

TEST_F(MainWindowTest, CardTestCommandRunsTheCardDialogOwnedByTheMainWindow) {
    HWND owner = nullptr;
    std::wstring caption;
    {
        ScopedDialogDriver driver([&](HWND dlg) {
            owner = GetWindow(dlg, GW_OWNER);
            caption = WindowText(dlg);
            TrackWorkers();
            SendCommand(dlg, IDC_CLOSE);
        });
        SendCommand(main_, IDM_CARD_TEST);
    }
    EXPECT_EQ(owner, main_);
    EXPECT_EQ(caption, L" * Stripewell *");
    const auto calls = JournalWith({L"MCROpen", L"MCRClose", L"log:!MCR:Closed."});
    ASSERT_EQ(calls.size(), 3u) << DumpJournal();
    EXPECT_EQ(calls[2], LogEntry(L"!MCR:Closed.\r\n"));
    EXPECT_TRUE(IsWindow(main_));
    EXPECT_TRUE(IsWindowEnabled(main_)) << "the modal run is over";
}

// --- WinMain ----------------------------------------------------------------------

// Drives WinMain's own loop from thread timers: Alt+/ as the keyboard delivers it
// (WM_SYSCHAR with the Alt context bit, while the thread's key state has Alt down)
// opens About through the accelerators; then Exit ends the loop.
TEST(WinMainTest, AcceleratorOpensAboutAndExitEndsTheLoopWithCodeZero) {
    ASSERT_TRUE(PortEnableCaptionOkButtons());
    static std::vector<std::wstring> captions;
    captions.clear();
    ScopedDialogDriver driver([](HWND dlg) {
        captions.push_back(WindowText(dlg));
        SendMessageW(dlg, WM_SYSCOMMAND, SC_CLOSE, 0);
    });
    static int step, ticks;
    step = ticks = 0;
    UINT_PTR timer = SetTimer(nullptr, 0, 20, [](HWND, UINT, UINT_PTR, DWORD) {
        HWND main = FindWindowW(L"STRIPEWELL", nullptr);
        if (main == nullptr) return;
        if (step == 0) {
            BYTE keys[256];
            GetKeyboardState(keys);
            keys[VK_MENU] = keys[VK_LMENU] = 0x80;
            SetKeyboardState(keys);
            PostMessageW(main, WM_SYSCHAR, '/', 0x20000001);
            step = 1;
        } else if (step == 1 && !captions.empty()) {
            BYTE keys[256];
            GetKeyboardState(keys);
            keys[VK_MENU] = keys[VK_LMENU] = 0;
            SetKeyboardState(keys);
            PostMessageW(main, WM_COMMAND, IDM_EXIT, 0);
            step = 2;
        } else if (++ticks > 250) {  // about 5 s: give up
            DestroyWindow(main);
        }
    });
    const int code = WinMain(Self(), nullptr, const_cast<LPWSTR>(L""), SW_SHOWNORMAL);
    KillTimer(nullptr, timer);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(captions, std::vector<std::wstring>{L"About Stripewell"});
    EXPECT_EQ(FindWindowW(L"STRIPEWELL", nullptr), nullptr);
}

}  // namespace
