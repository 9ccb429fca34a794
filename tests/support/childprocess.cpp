#include "childprocess.h"

#include <algorithm>
#include <cstdio>

#include "../../mcrsim/client/find_window.h"

namespace testing_support {

std::wstring BesideMe(const wchar_t *name) {
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path, n);
    return dir.substr(0, dir.find_last_of(L"\\/") + 1) + name;
}

BOOL CreateProcessInheriting(const std::wstring &path, std::wstring &command, const STARTUPINFOW &si,
                             PROCESS_INFORMATION &pi, DWORD *error) {
    STARTUPINFOW startup = si;
    for (int attempt = 1;; ++attempt) {
        if (CreateProcessW(path.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &pi)) {
            *error = ERROR_SUCCESS;
            return TRUE;
        }
        *error = GetLastError();
        if (*error != ERROR_INTERNAL_ERROR || attempt == 2) return FALSE;
        fprintf(stderr, "childprocess: Wine lost the start of %ls (error 1359: the new process ended before its "
                        "program ran); starting it once more\n", path.c_str());
        fflush(stderr);
    }
}

ChildProcess::~ChildProcess() {
    if (process_ != nullptr) {
        if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_, 99);
            WaitForSingleObject(process_, 8000);
        }
        CloseHandle(process_);
    }
    if (stderr_ != nullptr) CloseHandle(stderr_);
}

bool ChildProcess::Start(const wchar_t *exe, const std::wstring &args, HANDLE in, HANDLE out) {
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&stderr_, &writeEnd, &inherit, 0)) return false;
    SetHandleInformation(stderr_, HANDLE_FLAG_INHERIT, 0);
    HANDLE nul = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             OPEN_EXISTING, 0, nullptr);

    STARTUPINFOW si{};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_SHOWNORMAL;
    si.hStdInput = in != nullptr ? in : nul;
    si.hStdOutput = out != nullptr ? out : nul;
    si.hStdError = writeEnd;
    PROCESS_INFORMATION pi{};
    const std::wstring path = BesideMe(exe);
    std::wstring command = L"\"" + path + L"\"" + (args.empty() ? L"" : L" " + args);
    const BOOL started = CreateProcessInheriting(path, command, si, pi, &startError_);
    CloseHandle(writeEnd);
    CloseHandle(nul);
    if (!started) return false;
    process_ = pi.hProcess;
    pid_ = pi.dwProcessId;
    CloseHandle(pi.hThread);
    return true;
}

bool ChildProcess::WaitFor(const std::function<bool()> &pred, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        DrainStderr();
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        if (pred()) return true;
        const DWORD spent = GetTickCount() - start;
        if (spent >= timeoutMs) return false;
        // Wakes when the process ends or a message comes; its output is polled.
        MsgWaitForMultipleObjects(process_ ? 1 : 0, &process_, FALSE, std::min<DWORD>(20, timeoutMs - spent),
                                  QS_ALLINPUT);
    }
}

DWORD ChildProcess::ExitCode(DWORD timeoutMs) {
    WaitFor([&] { return WaitForSingleObject(process_, 0) == WAIT_OBJECT_0; }, timeoutMs);
    DrainStderr();
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process_, &code);
    return code;
}

HWND ChildProcess::FindTopLevel(const wchar_t *cls, const wchar_t *caption) const {
    return window_search::FindTopLevel(pid_, cls, caption);
}

HWND ChildProcess::WaitForWindow(const wchar_t *cls, const wchar_t *caption) {
    HWND hwnd = nullptr;
    WaitFor([&] { return (hwnd = FindTopLevel(cls, caption)) != nullptr && IsWindowVisible(hwnd); });
    return hwnd != nullptr && IsWindowVisible(hwnd) ? hwnd : nullptr;
}

const std::string &ChildProcess::Stderr() {
    DrainStderr();
    return stderrText_;
}

std::vector<std::string> ChildProcess::StderrLines() {
    DrainStderr();
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t nl; (nl = stderrText_.find('\n', start)) != std::string::npos; start = nl + 1) {
        std::string line = stderrText_.substr(start, nl - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        else
            line += "<no CR>";
        lines.push_back(line);
    }
    return lines;
}

void ChildProcess::DrainStderr() {
    DWORD available = 0;
    while (stderr_ != nullptr && PeekNamedPipe(stderr_, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
        char buffer[4096];
        DWORD got = 0;
        if (!ReadFile(stderr_, buffer, std::min<DWORD>(available, sizeof(buffer)), &got, nullptr) || got == 0) return;
        stderrText_.append(buffer, got);
    }
}

}  // namespace testing_support
