// UTF-8, the text of the simulator's host code, to the UTF-16 of Win32 calls and back,
// for every part that talks to Windows; a header of its own, so that drawing a track
// strip needs nothing else of the host code.
#pragma once

#include <windows.h>

#include <cwchar>
#include <string>

namespace mcrsim_text {

// Whether this runs under Wine, whose ntdll exports wine_get_version (Windows' does not).
inline bool UnderWine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// Whether the locale the environment names is UTF-8: the first of LC_ALL, LC_CTYPE and
// LANG that is set decides, as for the C library. Under Wine these are the Unix ones,
// which Wine passes through and takes its own character set from (file names, the
// command line, the terminal); on Windows they are normally not set.
inline bool LocaleIsUtf8() {
    for (const wchar_t *name : {L"LC_ALL", L"LC_CTYPE", L"LANG"}) {
        wchar_t value[128] = L"";
        const DWORD length = GetEnvironmentVariableW(name, value, 128);
        if (length == 0 || length >= 128) continue;
        CharUpperW(value);
        return std::wcsstr(value, L"UTF-8") != nullptr || std::wcsstr(value, L"UTF8") != nullptr;
    }
    return false;
}

inline std::string Utf8(const std::wstring &text) {
    if (text.empty()) return std::string();
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

inline std::wstring Wide(const std::string &text) {
    if (text.empty()) return std::wstring();
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

}  // namespace mcrsim_text
