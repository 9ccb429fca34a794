// Test helpers: one journal of library calls, debug lines and field writes in the
// order they happened, waits that keep the UI thread pumping, and the program's own
// dialog templates.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "../../mcrsim/dll/mcrsim.h"

namespace testing_support {

// Journal entries added by the tests beside the library's own ("MCRRead", ...).
std::wstring LogEntry(const std::wstring &line);                // "log:<line>"
std::wstring FieldEntry(int fieldId, const std::wstring &text); // "set:<id>:<text>"
// The library's own entry for MCROpen with this window.
std::wstring OpenEntry(HWND hwnd);

// Everything journalled so far.
std::vector<std::wstring> Journal();
// Only the library calls and debug lines (no field writes).
std::vector<std::wstring> CallsAndLogs();
// Only entries starting with one of the prefixes.
std::vector<std::wstring> JournalWith(const std::vector<std::wstring> &prefixes);
// The journal as text, one entry a line, for failure messages.
std::string DumpJournal();

// Resets the simulated reader and the journal, and routes debug lines into it.
void ResetSimulation();

// Pumps the calling thread's messages until pred() holds or timeoutMs pass; wakes on
// every journal entry, every message and the signalling of any handle in wakeOn.
// False on timeout.
bool PumpUntil(const std::function<bool()> &pred, DWORD timeoutMs = 5000, const std::vector<HANDLE> &wakeOn = {});
// Waits (pumping) until the thread has ended.
bool WaitForThreadExit(HANDLE thread, DWORD timeoutMs = 5000);
// Pumps messages for a while (to show that something does NOT happen).
void PumpFor(DWORD ms);
// Waits (pumping) until the journal holds at least n entries starting with prefix.
bool WaitForEntries(const std::wstring &prefix, size_t n, DWORD timeoutMs = 5000);
size_t CountEntries(const std::wstring &prefix);

// Reads a dialog template in its plain form (DLGTEMPLATE, as the resource compiler
// writes DIALOG) field by field.
struct TemplateReader {
    const BYTE *p;
    WORD Word() {
        WORD w;
        memcpy(&w, p, sizeof(w));
        p += sizeof(w);
        return w;
    }
    DWORD Dword() {
        const DWORD low = Word();
        return low | static_cast<DWORD>(Word()) << 16;
    }
    // Items start on a 4-byte boundary.
    void Align() { p = reinterpret_cast<const BYTE *>((reinterpret_cast<UINT_PTR>(p) + 3) & ~UINT_PTR{3}); }
    // A string or, after 0xFFFF, an ordinal written as "#n".
    std::wstring SzOrOrd() {
        const WORD first = Word();
        if (first == 0xFFFF) return L"#" + std::to_wstring(Word());
        std::wstring text;
        for (WORD c = first; c != 0; c = Word()) text += static_cast<wchar_t>(c);
        return text;
    }
};

// The dialog template with this identifier from the test executable's resources.
const DLGTEMPLATE *LoadDialogTemplate(int id);
// A plain top-level window to own dialogs; client area clientW x clientH.
HWND CreateOwnerWindow(int clientW, int clientH);
// Creates the card test dialog modeless from its real template, with dlgProc.
HWND CreateCardDialog(HWND owner, DLGPROC dlgProc);
// A dialog procedure that handles nothing, for testing the reader core alone.
INT_PTR CALLBACK InertDlgProc(HWND, UINT, WPARAM, LPARAM);

// The reader core with a card test dialog of the real template whose procedure does
// nothing: the fields are watched and g_hCardDlg names the dialog. Workers the test
// started are stopped afterwards.
class InertCardDialogTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    HWND owner_ = nullptr;
    HWND dialog_ = nullptr;
};
// Journals every text set into fields 1002 to 1004 of dlg.
void WatchTrackFields(HWND dlg);
std::wstring FieldText(HWND dlg, int fieldId);

// A card with the given bytes and status per track (ISO1, ISO2, JIS2).
MCRSimCard MakeCard(const std::string &iso1, DWORD iso1Status, const std::string &iso2, DWORD iso2Status,
                    const std::string &jis2, DWORD jis2Status);

// Ends any workers the test started: asks them to stop and wakes them until both
// threads have exited, then leaves neither event set. Call with the UI thread free
// to pump.
void StopWorkers();
// Remembers the current worker threads so StopWorkers can wait for them.
void TrackWorkers();
// How many of the remembered worker threads are still running.
size_t RunningTrackedWorkers();

}  // namespace testing_support
