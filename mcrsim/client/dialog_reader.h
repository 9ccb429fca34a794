// The dialog reader: the texts of Stripewell's card test dialog's three track fields,
// read from another process, so that `mcrsim check`, the panel and the relay compare
// what Stripewell shows with what the reader read.
#pragma once

#include <windows.h>

#include <string>

namespace mcrsim_dialog {

// The texts of the card test dialog's three track fields (ISO1, ISO2, JIS2), read from
// the window the program gave MCROpen; dialog is false when that window is gone.
struct Fields {
    bool dialog = false;
    std::wstring text[3];
};

// Reads the fields of the card test dialog hwnd of another process.
Fields ReadFields(HWND hwnd);

// The control of another process's dialog with this identifier, or nullptr; safe while
// that process destroys the dialog (see dialog_reader.cpp).
HWND FindControl(HWND dialog, int id);

}  // namespace mcrsim_dialog
