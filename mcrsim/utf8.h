// UTF-8, the text of the simulator's host code, to the UTF-16 of Win32 calls and back,
// for every part that talks to Windows: the track strip, the control layer, the tool
// and the panel. A header of its own, so that drawing a track strip needs nothing else
// of the host code.
#pragma once

#include <windows.h>

#include <string>

namespace mcrsim_text {

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
