// Finding windows of other processes; see find_window.h.
#include "find_window.h"

#include <cwchar>

namespace window_search {

DWORD FindStripewell() {
    HWND main = FindWindowW(kStripewellClass, nullptr);
    DWORD pid = 0;
    if (main != nullptr) GetWindowThreadProcessId(main, &pid);
    return pid;
}

HWND FindTopLevel(DWORD pid, const wchar_t *cls, const wchar_t *caption, bool visibleOnly) {
    struct Search {
        DWORD pid;
        const wchar_t *cls, *caption;
        bool visibleOnly;
        HWND found;
    } search{pid, cls, caption, visibleOnly, nullptr};
    EnumWindows(
        [](HWND hwnd, LPARAM param) -> BOOL {
            auto *s = reinterpret_cast<Search *>(param);
            DWORD owner = 0;
            GetWindowThreadProcessId(hwnd, &owner);
            wchar_t cls[64] = L"", text[128] = L"";
            GetClassNameW(hwnd, cls, 64);
            GetWindowTextW(hwnd, text, 128);
            if (owner != s->pid || std::wcscmp(cls, s->cls) != 0) return TRUE;
            if (s->caption && std::wcscmp(text, s->caption) != 0) return TRUE;
            if (s->visibleOnly && !IsWindowVisible(hwnd)) return TRUE;
            s->found = hwnd;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace window_search
