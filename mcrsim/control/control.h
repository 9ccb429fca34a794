// What the control tool (mcrsim.exe) and the panel (mcrsim-panel.exe) share: finding
// the running Stripewell, swiping a card or a keyboard-wedge line into its reader,
// powering the reader off, and the words both use to say what happened.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "../client/dialog_reader.h"
#include "../client/reader_link.h"
#include "../client/relay_client.h"
#include "../core/deck.h"
#include "../dll/mcrsim.h"

namespace mcrsim_control {

// The control tool's exit codes; the panel shows the same outcomes as text.
enum ExitCode : int {
    kExitOk = 0,
    kExitInput = 1,         // a bad deck, an unknown card, an unparseable wedge line, a refused card
    kExitUsage = 2,         // the command line itself is wrong
    kExitNoStripewell = 3,  // no Stripewell to drive, or it stopped answering
    kExitNotReady = 4,      // Stripewell runs, but its reader cannot take a card now (or is busy)
    kExitDiffers = 5,       // swipe --check: Stripewell does not show what the reader read
};

struct Outcome {
    int code = kExitOk;
    std::string message;               // one line for a person
    std::optional<MCRSimState> state;  // the reader's state when it answered
};

// Loads a deck file as mcrsim::LoadDeckFile does. A file that cannot be opened under
// Wine whose locale is not UTF-8 may have a name that Wine changed (its characters that
// are not ASCII): that is said, with the remedy. On Windows itself it adds nothing.
mcrsim::DeckLoad LoadDeck(const std::string &path);

// A process id as the tool's and the panel's --pid take it: decimal digits only, above 0
// and within a DWORD; false for anything else ("-1", "99999999999", "4 ").
bool ParsePid(const std::string &text, DWORD *pid);

// "No Stripewell is running ..." with what to do about it.
std::string NoStripewellMessage();

// Why the reader cannot take a card in this state (closed, not notifying, powered
// off), with what to do about it; empty when it can.
std::string NotReadyReason(const MCRSimState &state);

// "iso1 good (58 characters), iso2 Error:12 (parity), jis2 Error:10 (no-data)".
// Holds no card data.
std::string ReadSummary(const mcrsim::CardRead &read);

// What the card test dialog shows for a track the reader read: the whole MCRRead
// buffer as "%2X" pairs, or "Error:" and the status in lower-case hex.
std::wstring FieldTextFor(const mcrsim::TrackRead &track, mcrsim::Track which);
// A field's text as a person reads it: hex pairs as the characters they stand for
// ("\"B3530...\"", other bytes as \xHH), "Error:12 (parity)", "APO (powered off)",
// "(empty)", or the text itself in quotes when it is none of these.
std::string DecodeField(const std::wstring &text);
// How the field of one track differs from what the reader read, or empty when it
// shows exactly that: "iso2: Stripewell shows Error:12 (parity), the reader read good
// (37 characters)", "iso1: character 5 is '7' (0x37), the reader read '3' (0x33)".
std::string FieldDifference(mcrsim::Track which, const std::wstring &shown, const mcrsim::TrackRead &read);
// "Stripewell shows what the reader read." or the difference of every track that
// differs, "; "-separated; no dialog open says so.
std::string Verdict(const mcrsim_dialog::Fields &fields, const mcrsim::CardRead &read);
bool ShowsRead(const mcrsim_dialog::Fields &fields, const mcrsim::CardRead &read);

// The reader's state, one item a line ("reader: open", ...), as `mcrsim status`
// prints it; the last line says whether it takes cards.
std::vector<std::string> StateLines(DWORD pid, const MCRSimState &state);
// The same on one line, for the panel's status line.
std::string StateSummary(DWORD pid, const MCRSimState &state);

// A connection to the reader of one running Stripewell.
class Connection {
public:
    // pid: drive this process; none: find the running Stripewell by its window.
    // On failure connected() is false and failure() says why (kExitNoStripewell).
    explicit Connection(std::optional<DWORD> pid);
    // Through a relay in Stripewell's prefix (mcrsim relay), to process pid there.
    Connection(mcrsim_relay::Pipes relay, DWORD pid);
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    bool connected() const { return reader_ && reader_->connected(); }
    DWORD pid() const { return pid_; }
    const Outcome &failure() const { return failure_; }

    // The reader's state (kExitOk), or why it could not be had.
    Outcome State();
    // Swipes what the reader read for a card. what names the card in the message
    // ("'full'", "the wedge line").
    Outcome Swipe(const mcrsim::CardRead &read, const std::string &what);
    // Powers the reader off as its automatic power-off would.
    Outcome PowerOff();
    // What the card test dialog shows now, or nullopt (then WhyNoReply() says why).
    std::optional<mcrsim_dialog::Fields> ReadDialog();
    // After a swipe of read: waits (a few seconds at most) until the dialog shows what
    // the reader read. kExitOk, or kExitDiffers with every difference; *shown gets
    // each field as Stripewell shows it, decoded ("iso2 shows Error:12 (parity)").
    // It pumps the calling thread's messages while it waits; a WM_QUIT among them is
    // posted again and ends the wait.
    Outcome Check(const mcrsim::CardRead &read, std::vector<std::string> *shown = nullptr);
    // Why the last request got no reply: kExitNotReady when another program keeps the
    // reader busy, kExitNoStripewell otherwise.
    Outcome WhyNoReply();

private:
    // Why the reader cannot be asked now (not connected, or the process has ended);
    // nullopt when it can.
    std::optional<Outcome> Unreachable() const;

    DWORD pid_ = 0;
    HANDLE process_ = nullptr;  // to see at once that Stripewell has ended
    std::unique_ptr<mcrsim_mailbox::ReaderLink> reader_;
    Outcome failure_;
};

}  // namespace mcrsim_control
