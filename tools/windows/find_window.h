// Finding another process's top-level windows, for the programs and tests that drive
// Stripewell from outside (the demo driver, the screenshot and end-to-end tests).
#pragma once

#include <windows.h>

namespace window_search {

// A top-level window of process pid with this class and, when caption is not null,
// this caption; with visibleOnly, only a visible one. nullptr when there is none.
HWND FindTopLevel(DWORD pid, const wchar_t *cls, const wchar_t *caption, bool visibleOnly = false);

}  // namespace window_search
