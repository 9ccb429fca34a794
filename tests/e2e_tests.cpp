// The real program end to end, as a process of its own beside the simulated MCRLIB.dll:
// its windows, commands and keys, swipes through the simulator's mailbox, its fields,
// its debug lines on standard error and its exit code.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "../mcrsim/client/mailbox_client.h"
#include "../res/resource.h"
#include "support/childprocess.h"
#include "support/field_text.h"
#include "support/testsupport.h"

namespace {

constexpr DWORD kWaitMs = 5000;

std::wstring WindowText(HWND hwnd) {
    wchar_t text[512] = L"";
    GetWindowTextW(hwnd, text, 512);
    return text;
}

std::string Narrow(const std::wstring &text) {
    std::string out;
    for (wchar_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

// One run of Stripewell.exe, with its standard error read through a pipe.
class Program : public testing_support::ChildProcess {
public:
    // Starts the program and waits for its main window to show. Another process finds
    // the window as soon as it exists, while it is still being created (its command bar
    // comes in WM_CREATE); it shows only once CreateWindowExW is done with it.
    ::testing::AssertionResult Start() {
        if (!ChildProcess::Start(L"Stripewell.exe"))
            return ::testing::AssertionFailure() << "CreateProcessW failed: " << startError();
        if ((main_ = WaitForWindow(L"STRIPEWELL", nullptr)) == nullptr)
            return ::testing::AssertionFailure() << "no main window; stderr:\n" << Stderr();
        return ::testing::AssertionSuccess();
    }

    HWND WaitForDialog(const wchar_t *caption) { return WaitForWindow(L"#32770", caption); }
    HWND main() const { return main_; }

private:
    HWND main_ = nullptr;
};

// Key presses as the keyboard makes them; they go to the foreground window.
void PressKeys(std::initializer_list<std::pair<WORD, bool>> keys) {
    std::vector<INPUT> inputs;
    for (const auto &[vk, down] : keys) {
        INPUT in{};
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = vk;
        in.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
        in.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
        inputs.push_back(in);
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

void PressAltWith(WORD vk) { PressKeys({{VK_MENU, true}, {vk, true}, {vk, false}, {VK_MENU, false}}); }

void Click(HWND dlg, int id) { SendMessageW(GetDlgItem(dlg, id), BM_CLICK, 0, 0); }

std::wstring Field(HWND dlg, int id) {
    wchar_t text[512] = L"";
    GetDlgItemTextW(dlg, id, text, 512);
    return text;
}

// Opens the card test dialog through the menu command and waits until its reader
// takes cards (notification on).
HWND OpenCardDialog(Program &program, mcrsim_mailbox::Client &reader) {
    PostMessageW(program.main(), WM_COMMAND, MAKEWPARAM(IDM_CARD_TEST, 0), 0);
    HWND dlg = program.WaitForDialog(L" * Stripewell *");
    if (dlg == nullptr) return nullptr;
    program.WaitFor([&] {
        auto reply = reader.State();
        return reply && reply->state.fOpen && reply->state.fNotify;
    });
    return dlg;
}

void CloseCardDialog(Program &program, HWND dlg) {
    Click(dlg, IDC_CLOSE);
    EXPECT_TRUE(program.WaitFor([&] { return !IsWindow(dlg); })) << "Close ends the card test dialog";
}

const std::regex kStatusLine("MCRStatus=[0-9a-f]+");

TEST(EndToEndTest, CardSessionShowsTracksClearsSwitchesPowerOffAndExitsWithZero) {
    Program program;
    ASSERT_TRUE(program.Start());
    EXPECT_EQ(WindowText(program.main()), L"Stripewell");
    EXPECT_NE(GetDlgItem(program.main(), ID_CMDBAR), nullptr) << "the command bar";

    mcrsim_mailbox::Client reader(program.pid());
    ASSERT_TRUE(reader.connected()) << Narrow(reader.error());
    HWND dlg = OpenCardDialog(program, reader);
    ASSERT_NE(dlg, nullptr) << program.Stderr();
    EXPECT_EQ(GetWindow(dlg, GW_OWNER), program.main());

    const std::string iso1 = "B4900123456789012^STRIPEWELL/TEST^2912", iso2 = "4900123456789012=2912";
    const MCRSimCard card = testing_support::MakeCard(iso1, 1, iso2, 1, "", 0x12);
    auto swiped = reader.Swipe(card);
    ASSERT_TRUE(swiped) << Narrow(reader.error());
    ASSERT_EQ(swiped->result, 1) << "the reader took the card";

    const std::wstring expected[] = {testing_support::HexField(iso1, 76), testing_support::HexField(iso2, 37), L"Error:12"};
    const int fields[] = {IDC_ISO1, IDC_ISO2, IDC_JIS2};
    EXPECT_TRUE(program.WaitFor([&] { return Field(dlg, IDC_JIS2) == expected[2] && Field(dlg, IDC_ISO1) != L""; }));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Field(dlg, fields[i]), expected[i]) << "field " << fields[i];

    Click(dlg, IDC_CLEAR);
    for (int id : fields) EXPECT_EQ(Field(dlg, id), L"") << "CLEAR empties field " << id;

    Click(dlg, IDC_APO);
    EXPECT_EQ(SendDlgItemMessageW(dlg, IDC_APO, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(reader.State()->state.nApoTimeout, 30);
    Click(dlg, IDC_APO);
    EXPECT_EQ(SendDlgItemMessageW(dlg, IDC_APO, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(reader.State()->state.nApoTimeout, 0);

    auto off = reader.PowerOff();
    ASSERT_TRUE(off);
    EXPECT_EQ(off->result, 1) << "the program was told";
    EXPECT_TRUE(program.WaitFor([&] {
        return Field(dlg, IDC_ISO1) == L"APO" && Field(dlg, IDC_ISO2) == L"APO" && Field(dlg, IDC_JIS2) == L"APO";
    }));

    CloseCardDialog(program, dlg);
    EXPECT_FALSE(reader.State()->state.fOpen);

    PostMessageW(program.main(), WM_COMMAND, MAKEWPARAM(IDM_EXIT, 0), 0);
    EXPECT_EQ(program.ExitCode(), 0u);

    const auto lines = program.StderrLines();
    ASSERT_EQ(lines.size(), 4u) << program.Stderr();
    EXPECT_TRUE(std::regex_match(lines[0], kStatusLine)) << lines[0];
    EXPECT_EQ(lines[1], "Get Data...");
    EXPECT_EQ(lines[2], "MCR:APO!!>>>");
    EXPECT_EQ(lines[3], "!MCR:Closed.");
}

TEST(EndToEndTest, AltSlashOpensAboutItsCaptionCloseEndsItAndAltF4EndsTheProgram) {
    Program program;
    ASSERT_TRUE(program.Start());
    SetForegroundWindow(program.main());
    ASSERT_TRUE(program.WaitFor([&] { return GetForegroundWindow() == program.main(); }));

    PressAltWith(VK_OEM_2);  // "/" on the US layout
    HWND about = program.WaitForDialog(L"About Stripewell");
    ASSERT_NE(about, nullptr) << "Alt+/ opens About";
    EXPECT_EQ(GetWindow(about, GW_OWNER), program.main());
    EXPECT_EQ(GetWindowLongW(about, GWL_EXSTYLE) & 0x80000000, 0) << "the device bit is off the desktop window";

    PostMessageW(about, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(program.WaitFor([&] { return !IsWindow(about); })) << "the caption's close button ends About";

    SetForegroundWindow(program.main());
    ASSERT_TRUE(program.WaitFor([&] { return GetForegroundWindow() == program.main(); }));
    PressAltWith(VK_F4);
    EXPECT_EQ(program.ExitCode(), 0u);
    EXPECT_EQ(program.Stderr(), "") << "neither window logs";
}

// Closing the card test dialog leaves both workers blocked on their events; the
// program still ends at once, by Alt+F4 and by the command bar's close button.
class EndAfterCardDialogTest : public ::testing::TestWithParam<const char *> {};

TEST_P(EndAfterCardDialogTest, EndsWithExitCodeZeroWhileTheWorkersWait) {
    Program program;
    ASSERT_TRUE(program.Start());
    mcrsim_mailbox::Client reader(program.pid());
    ASSERT_TRUE(reader.connected()) << Narrow(reader.error());
    HWND dlg = OpenCardDialog(program, reader);
    ASSERT_NE(dlg, nullptr) << program.Stderr();
    CloseCardDialog(program, dlg);

    if (std::string(GetParam()) == "AltF4") {
        SetForegroundWindow(program.main());
        ASSERT_TRUE(program.WaitFor([&] { return GetForegroundWindow() == program.main(); }));
        PressAltWith(VK_F4);
    } else {
        // The close button is the square at the bar's right end.
        HWND bar = GetDlgItem(program.main(), ID_CMDBAR);
        ASSERT_NE(bar, nullptr);
        RECT rc;
        GetClientRect(bar, &rc);
        const LPARAM at = MAKELPARAM(rc.right - rc.bottom / 2, rc.bottom / 2);
        PostMessageW(bar, WM_LBUTTONDOWN, MK_LBUTTON, at);
        PostMessageW(bar, WM_LBUTTONUP, 0, at);
    }
    EXPECT_EQ(program.ExitCode(), 0u);
    const auto lines = program.StderrLines();
    ASSERT_EQ(lines.size(), 2u) << program.Stderr();
    EXPECT_TRUE(std::regex_match(lines[0], kStatusLine)) << lines[0];
    EXPECT_EQ(lines[1], "!MCR:Closed.");
}

INSTANTIATE_TEST_SUITE_P(Ways, EndAfterCardDialogTest, ::testing::Values("AltF4", "BarCloseButton"),
                         [](const auto &info) { return std::string(info.param); });

}  // namespace
