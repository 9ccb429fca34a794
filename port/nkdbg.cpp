// Desktop stand-in for the device's kernel debug output.
#include "platform.h"

#include <stdarg.h>

// wsprintfW writes at most 1024 characters plus the terminator.
#define DEBUG_LINE_CHARS 1025
// Each UTF-16 unit becomes at most 3 bytes of UTF-8 (a surrogate pair, 4 bytes for 2).
#define DEBUG_LINE_BYTES (DEBUG_LINE_CHARS * 3)

// Guards standard error so that lines from several threads never interleave.
// A spin lock needs no initialisation, which a plain C++03 global cannot order.
static LONG volatile s_lStderrBusy = 0;

// Set by tests through PortSetDebugObserver; read on every line.
static PORT_DEBUG_OBSERVER volatile s_pfnObserver = 0;

void PortSetDebugObserver(PORT_DEBUG_OBSERVER pfnObserver)
{
    s_pfnObserver = pfnObserver;
}

static void WriteLineToStderr(LPCWSTR lpszLine)
{
    char acUtf8[DEBUG_LINE_BYTES];
    int cb = WideCharToMultiByte(CP_UTF8, 0, lpszLine, -1, acUtf8, sizeof(acUtf8), NULL, NULL);
    if (cb <= 1)
        return;
    HANDLE hErr = GetStdHandle(STD_ERROR_HANDLE);
    if (hErr == NULL || hErr == INVALID_HANDLE_VALUE)
        return;
    while (InterlockedCompareExchange(&s_lStderrBusy, 1, 0) != 0)
        Sleep(0);
    DWORD cbWritten = 0;
    WriteFile(hErr, acUtf8, (DWORD)(cb - 1), &cbWritten, NULL);
    InterlockedExchange(&s_lStderrBusy, 0);
}

extern "C" void NKDbgPrintfW(LPCWSTR lpszFmt, ...)
{
    WCHAR szLine[DEBUG_LINE_CHARS];
    va_list args;
    va_start(args, lpszFmt);
    wvsprintfW(szLine, lpszFmt, args);
    va_end(args);

    OutputDebugStringW(szLine);
    WriteLineToStderr(szLine);

    PORT_DEBUG_OBSERVER pfnObserver = s_pfnObserver;
    if (pfnObserver != 0)
        pfnObserver(szLine);
}
