// A program started by a test as a process of its own (Stripewell.exe, the panel),
// from the test executable's folder, with its standard error read through a pipe.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace testing_support {

// The path of a file beside the test executable.
std::wstring BesideMe(const wchar_t *name);

// CreateProcessW of path with command, inheriting handles, for a test. Wine, rarely and
// only under load, lets a new process end before the first line of its program runs:
// CreateProcessW then fails with ERROR_INTERNAL_ERROR and nothing else is said. That tells
// nothing of the program, so such a start is tried once more, and the loss is told on
// standard error. *error is GetLastError() of the last try (ERROR_SUCCESS on success).
BOOL CreateProcessInheriting(const std::wstring &path, std::wstring &command, const STARTUPINFOW &si,
                             PROCESS_INFORMATION &pi, DWORD *error);

class ChildProcess {
public:
    ChildProcess() = default;
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;
    // A process still running at the end is terminated.
    ~ChildProcess();

    // Starts exe (beside the test executable) with args; standard input and output on
    // in and out (inheritable handles), or NUL; standard error into a pipe. False when
    // it cannot start (startError() says why).
    bool Start(const wchar_t *exe, const std::wstring &args = L"", HANDLE in = nullptr, HANDLE out = nullptr);

    // Pumps this thread's messages and reads the process's standard error until
    // pred() holds; false after timeoutMs.
    bool WaitFor(const std::function<bool()> &pred, DWORD timeoutMs = 8000);
    // The exit code once the process has ended (within timeoutMs), else STILL_ACTIVE.
    DWORD ExitCode(DWORD timeoutMs = 8000);

    // A top-level window of the process by class and (when given) caption.
    HWND FindTopLevel(const wchar_t *cls, const wchar_t *caption = nullptr) const;
    // Waits for such a window to be visible; nullptr when it is not within 8 s.
    HWND WaitForWindow(const wchar_t *cls, const wchar_t *caption = nullptr);

    // Everything written to standard error so far.
    const std::string &Stderr();
    // Its complete lines, each without its "\r\n" (a line that ended otherwise keeps
    // what it had, marked with "<no CR>").
    std::vector<std::string> StderrLines();

    DWORD pid() const { return pid_; }
    // Why the last Start() failed (GetLastError() of its CreateProcessW), else ERROR_SUCCESS.
    DWORD startError() const { return startError_; }

private:
    // Takes whatever the pipe holds without blocking: the write end may also be held
    // by other processes, so its end is never waited for.
    void DrainStderr();

    HANDLE process_ = nullptr;
    DWORD pid_ = 0;
    DWORD startError_ = ERROR_SUCCESS;
    HANDLE stderr_ = nullptr;
    std::string stderrText_;
};

}  // namespace testing_support
