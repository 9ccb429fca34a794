// The dialog reader; see dialog_reader.h.
#include "dialog_reader.h"

#include "../../res/resource.h"
#include "../dll/mailbox.h"
#include "relay_lines.h"

namespace mcrsim_dialog {

namespace {
constexpr int kFieldIds[3] = {IDC_ISO1, IDC_ISO2, IDC_JIS2};
// More than the card test dialog has.
constexpr int kMaxChildren = 64;
}  // namespace

// Found by stepping from one child to the next, never more than kMaxChildren of them.
// Not GetDlgItem, which has the wineserver walk the dialog's whole child list: under
// Wine 10 that walk, asked from this process while Stripewell's thread destroys the
// dialog, loops for ever and hangs every process of the prefix
// (SoakTest.ClosingAsCardsKeepLandingNeverHangs). A step asks the server for one
// window's neighbours only, and this loop ends after kMaxChildren whatever it is given.
HWND FindControl(HWND dialog, int id) {
    HWND child = GetWindow(dialog, GW_CHILD);
    for (int i = 0; child != nullptr && i < kMaxChildren; ++i, child = GetWindow(child, GW_HWNDNEXT))
        if (GetDlgCtrlID(child) == id) return child;
    return nullptr;
}

Fields ReadFields(HWND hwnd) {
    Fields fields;
    if (hwnd == nullptr || !IsWindow(hwnd)) return fields;
    fields.dialog = true;
    for (int t = 0; t < 3; ++t) {
        // WM_GETTEXT itself: GetWindowTextW does not ask another process's control.
        wchar_t text[mcrsim_relay::kMaxFieldUnits + 1] = L"";
        HWND field = FindControl(hwnd, kFieldIds[t]);
        if (field != nullptr)
            SendMessageTimeoutW(field, WM_GETTEXT, mcrsim_relay::kMaxFieldUnits + 1, reinterpret_cast<LPARAM>(text),
                                SMTO_ABORTIFHUNG, mcrsim_mailbox::kReplyTimeoutMs, nullptr);
        text[mcrsim_relay::kMaxFieldUnits] = L'\0';
        fields.text[t] = text;
    }
    return fields;
}

}  // namespace mcrsim_dialog
