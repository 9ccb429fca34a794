// The dialog reader; see dialog_fields.h.
#include "dialog_fields.h"

#include "../res/resource.h"
#include "relay_lines.h"
#include "remote.h"

namespace mcrsim_remote {

namespace {
constexpr int kFieldIds[3] = {IDC_ISO1, IDC_ISO2, IDC_JIS2};
}  // namespace

Fields ReadFields(HWND hwnd) {
    Fields fields;
    if (hwnd == nullptr || !IsWindow(hwnd)) return fields;
    fields.dialog = true;
    for (int t = 0; t < 3; ++t) {
        // WM_GETTEXT itself: GetWindowTextW does not ask another process's control.
        wchar_t text[mcrsim_relay::kMaxFieldUnits + 1] = L"";
        HWND field = GetDlgItem(hwnd, kFieldIds[t]);
        if (field != nullptr)
            SendMessageTimeoutW(field, WM_GETTEXT, mcrsim_relay::kMaxFieldUnits + 1, reinterpret_cast<LPARAM>(text),
                                SMTO_ABORTIFHUNG, kReplyTimeoutMs, nullptr);
        text[mcrsim_relay::kMaxFieldUnits] = L'\0';
        fields.text[t] = text;
    }
    return fields;
}

}  // namespace mcrsim_remote
