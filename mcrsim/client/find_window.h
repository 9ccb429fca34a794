// Finding Stripewell and another process's top-level windows from outside, for the
// programs and tests that drive it (the control layer, the demo, the start program).
#pragma once

#include <windows.h>

namespace window_search {

// The class of Stripewell's main window (IDS_CLASS in res/stripewell.rc).
constexpr const wchar_t *kStripewellClass = L"STRIPEWELL";

// The process id of a running Stripewell (found by its main window class), or 0.
DWORD FindStripewell();

// A top-level window of process pid with this class and, when caption is not null,
// this caption; with visibleOnly, only a visible one. nullptr when there is none.
HWND FindTopLevel(DWORD pid, const wchar_t *cls, const wchar_t *caption, bool visibleOnly = false);

}  // namespace window_search
