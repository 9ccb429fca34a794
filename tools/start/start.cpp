// StartStripewell.exe: what a person double-clicks in the unpacked Windows zip. Shows
// Stripewell as on the handheld, in a 240 x 320 screen, with the reader panel beside it,
// and ends the panel when Stripewell ends.
#include <windows.h>

#include <algorithm>
#include <string>

#include "../../mcrsim/client/find_window.h"
#include "../../mcrsim/panel/panel_ids.h"
#include "../../mcrsim/text/utf8.h"
#include "../../res/resource.h"

namespace {

constexpr wchar_t kTitle[] = L"Start Stripewell";
// The handheld's screen.
constexpr wchar_t kDeviceScreen[] = L"240x320";
constexpr wchar_t kDeviceScreenVariable[] = L"STRIPEWELL_DEVICE_SCREEN";
// A first start under Wine, with its prefix still being made, takes a while.
constexpr DWORD kMainWindowWaitMs = 60000;
constexpr DWORD kPanelEndWaitMs = 5000;
// Between Stripewell's screen and the panel, in pixels.
constexpr int kPanelGap = 12;
// What Windows gives a process that ended because a DLL it imports was not found.
constexpr DWORD kDllNotFound = 0xC0000135;

void Tell(const std::wstring &text) {
    // Under Wine the caller's terminal sees it too; on Windows there is no console.
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    if (err != nullptr && err != INVALID_HANDLE_VALUE) {
        const std::string utf8 = mcrsim_text::Utf8(L"StartStripewell: " + text + L"\r\n");
        DWORD written = 0;
        WriteFile(err, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
    }
    MessageBoxW(nullptr, text.c_str(), kTitle, MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

std::wstring OwnFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    return path.substr(0, path.find_last_of(L"\\/") + 1);
}

bool IsFile(const std::wstring &path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Starts FOLDER\exe with the arguments in FOLDER; 0 when it could not, with *error
// set to why.
PROCESS_INFORMATION Start(const std::wstring &folder, const wchar_t *exe, const std::wstring &arguments,
                          DWORD *error) {
    const std::wstring path = folder + exe;
    std::wstring command = L"\"" + path + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(path.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                        &process)) {
        *error = GetLastError();
        return PROCESS_INFORMATION{};
    }
    CloseHandle(process.hThread);
    process.hThread = nullptr;
    return process;
}

// Waits up to timeoutMs for process to end, answering this thread's messages meanwhile
// (Windows shows the busy cursor while a starting program answers none).
bool WaitForEnd(HANDLE process, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        const DWORD spent = GetTickCount() - start;
        const DWORD left = timeoutMs == INFINITE ? INFINITE : (spent >= timeoutMs ? 0 : timeoutMs - spent);
        const DWORD woke = MsgWaitForMultipleObjects(1, &process, FALSE, left, QS_ALLINPUT);
        if (woke == WAIT_OBJECT_0) return true;
        if (woke != WAIT_OBJECT_0 + 1) return false;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
}

// Stripewell's visible main window, once it shows; nullptr when Stripewell ended first
// or it did not show in time.
HWND WaitForMainWindow(const PROCESS_INFORMATION &stripewell) {
    const DWORD start = GetTickCount();
    for (;;) {
        HWND main =
            window_search::FindTopLevel(stripewell.dwProcessId, window_search::kStripewellClass, nullptr, true);
        if (main != nullptr) return main;
        if (GetTickCount() - start >= kMainWindowWaitMs || WaitForEnd(stripewell.hProcess, 50)) return nullptr;
    }
}

INT_PTR CALLBACK IgnoreAll(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// How wide Stripewell's card test dialog comes out in this desktop's fonts (0 when that
// cannot be told): made hidden from Stripewell.exe's own template, and destroyed.
int CardDialogWidth(const std::wstring &exe) {
    HMODULE module = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (module == nullptr) return 0;
    int width = 0;
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(IDD_CARD), RT_DIALOG);
    HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
    HWND dialog = loaded != nullptr ? CreateDialogIndirectParamW(GetModuleHandleW(nullptr),
                                                                 static_cast<LPCDLGTEMPLATEW>(LockResource(loaded)),
                                                                 nullptr, IgnoreAll, 0)
                                    : nullptr;
    if (dialog != nullptr) {
        RECT rc{};
        GetWindowRect(dialog, &rc);
        width = rc.right - rc.left;
        DestroyWindow(dialog);
    }
    FreeLibrary(module);
    return width;
}

// Asks the panel to close as its close button does, and ends it when it does not.
void EndPanel(const PROCESS_INFORMATION &panel) {
    if (WaitForSingleObject(panel.hProcess, 0) == WAIT_OBJECT_0) return;
    HWND window = window_search::FindTopLevel(panel.dwProcessId, MCRSIM_PANEL_CLASS, nullptr);
    if (window != nullptr) PostMessageW(window, WM_CLOSE, 0, 0);
    if (!WaitForEnd(panel.hProcess, kPanelEndWaitMs)) TerminateProcess(panel.hProcess, 1);
}

// The screen is at the top left of the desktop's work area (port/devscreen.cpp, through
// STRIPEWELL_DEVICE_SCREEN in Stripewell's environment); the panel starts once
// Stripewell's main window shows and drives that Stripewell by its process id, so that
// each start program's panel swipes into its own when several run. Everything comes from
// this program's own folder; a file that is not there is said in a message box before
// anything starts. A GUI program: no console window opens. Its exit code is
// Stripewell's, or 1 when Stripewell could not be shown.
int Run() {
    const std::wstring folder = OwnFolder();
    const struct {
        const wchar_t *name, *what;
    } needed[] = {
        {L"Stripewell.exe", L"the program"},
        {L"MCRLIB.dll", L"the simulated card reader library, which Stripewell.exe loads"},
        {L"mcrsim-panel.exe", L"the reader panel"},
    };
    std::wstring missing;
    for (const auto &file : needed)
        if (!IsFile(folder + file.name)) missing += L"\n    " + std::wstring(file.name) + L" (" + file.what + L")";
    if (!missing.empty()) {
        Tell(L"Stripewell cannot start: these files are not in the folder " + folder.substr(0, folder.size() - 1) +
             L":\n" + missing +
             L"\n\nUnpack the whole zip into one folder and start StartStripewell.exe there.");
        return 1;
    }

    // Only Stripewell gets the device's screen.
    SetEnvironmentVariableW(kDeviceScreenVariable, kDeviceScreen);
    DWORD startError = 0;
    const PROCESS_INFORMATION stripewell = Start(folder, L"Stripewell.exe", L"", &startError);
    SetEnvironmentVariableW(kDeviceScreenVariable, nullptr);
    if (stripewell.hProcess == nullptr) {
        Tell(L"Windows could not start " + folder + L"Stripewell.exe (error " + std::to_wstring(startError) + L").");
        return 1;
    }

    HWND main = WaitForMainWindow(stripewell);
    if (main == nullptr) {
        DWORD code = 0;
        if (GetExitCodeProcess(stripewell.hProcess, &code) && code == STILL_ACTIVE) {
            Tell(L"Stripewell's window did not appear within " + std::to_wstring(kMainWindowWaitMs / 1000) +
                 L" s, so the reader panel was not started. Stripewell still runs; mcrsim-panel.exe, started by "
                 L"itself, finds it once its window shows.");
            return 1;
        }
        wchar_t hex[16];
        wsprintfW(hex, L"0x%08X", static_cast<unsigned>(code));
        Tell(L"Stripewell ended before its window appeared (exit code " + std::wstring(hex) + L")." +
             (code == kDllNotFound ? L" A DLL it needs was not found: MCRLIB.dll must be beside Stripewell.exe." : L""));
        return 1;
    }

    // The program places its dialogs from the screen's left edge, centred on its client
    // width when they fit; one wider than that reaches further right, and the panel
    // goes beyond it so as not to cover it.
    RECT screen{};
    GetWindowRect(main, &screen);
    const int right = std::max<int>(screen.right, screen.left + CardDialogWidth(folder + L"Stripewell.exe"));
    const std::wstring arguments = L"--pid " + std::to_wstring(stripewell.dwProcessId) + L" --at " +
                                   std::to_wstring(right + kPanelGap) + L"," + std::to_wstring(screen.top);
    const PROCESS_INFORMATION panel = Start(folder, L"mcrsim-panel.exe", arguments, &startError);
    if (panel.hProcess == nullptr)
        Tell(L"Windows could not start " + folder + L"mcrsim-panel.exe (error " + std::to_wstring(startError) +
             L"). Stripewell runs without the reader panel; mcrsim.exe, from a command prompt in this folder, "
             L"swipes cards into it.");

    WaitForEnd(stripewell.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(stripewell.hProcess, &code);
    if (panel.hProcess != nullptr) EndPanel(panel);
    return static_cast<int>(code);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) { return Run(); }
