// Process start to main window painted, for Stripewell and the empty window program,
// started alternately the same way. Prints figures; never fails on timing.
//   start_bench <runs>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench_stats.h"

namespace {

std::wstring BesideMe(const wchar_t *name) {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path);
    return dir.substr(0, dir.find_last_of(L"\\/") + 1) + name;
}

// Starts the program, waits until its main window exists and the program is idle
// (its first paint done), then closes it. Returns the start time in ms, or -1.
double StartOnce(const std::wstring &exe, const wchar_t *windowClass) {
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    std::wstring cmd = L"\"" + exe + L"\"";
    const double start = bench::NowUs();
    if (!CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
    WaitForInputIdle(pi.hProcess, 10000);
    HWND window = nullptr;
    for (int i = 0; i < 10000 && !(window = FindWindowW(windowClass, nullptr)); ++i) Sleep(1);
    // Round trip through the window's thread: its paint has been handled when this returns.
    if (window) SendMessageW(window, WM_NULL, 0, 0);
    const double elapsed = (bench::NowUs() - start) / 1000.0;
    if (window) PostMessageW(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(pi.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return window ? elapsed : -1;
}

}  // namespace

int wmain(int argc, wchar_t **argv) {
    const int runs = argc > 1 ? _wtoi(argv[1]) : 20;
    const std::wstring stripewell = BesideMe(L"Stripewell.exe"), empty = BesideMe(L"empty_window.exe");
    std::vector<double> ours, base, pairRatios;
    StartOnce(stripewell, L"STRIPEWELL");  // warm the file cache and the server
    StartOnce(empty, L"EMPTYBENCH");
    for (int i = 0; i < runs; ++i) {
        const double a = StartOnce(stripewell, L"STRIPEWELL");
        const double b = StartOnce(empty, L"EMPTYBENCH");
        if (a < 0 || b < 0) {
            std::fprintf(stderr, "a program did not show its main window\n");
            return 1;
        }
        ours.push_back(a);
        base.push_back(b);
        pairRatios.push_back(a / b);
    }
    const bench::Summary o = bench::Summarise(ours), b = bench::Summarise(base);
    std::printf("Start to main window painted, %d runs each, alternating\n", runs);
    bench::Print("Stripewell", o, "ms");
    bench::Print("empty Win32 window program", b, "ms");
    // Each pair ran back to back, so the median of the pairs' ratios follows the
    // machine's drift less than the ratio of the two medians does.
    std::printf("  ratio of medians %.2f; median of paired ratios %.2f (target <= 1.2)\n\n", o.median / b.median,
                bench::Summarise(pairRatios).median);
    return 0;
}
