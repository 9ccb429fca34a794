// Drives the simulated reader of another process through its mailbox (remote.h), or
// through a relay: `mcrsim relay` run in Stripewell's Wine prefix carries the same
// requests over two pipes to a client in another prefix (see docs/simulator.md).
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "mcrsim.h"
#include "remote.h"

namespace mcrsim_remote {

struct Reply {
    LONG result = 0;
    MCRSimState state{};
};

// The process id of a running Stripewell (found by its main window class), or 0.
DWORD FindStripewell();

// The texts of the card test dialog's three track fields (ISO1, ISO2, JIS2), read from
// the window the program gave MCROpen; dialog is false when that window is gone.
struct Fields {
    bool dialog = false;
    std::wstring text[3];
};

// Reads the fields of the card test dialog hwnd of another process.
Fields ReadFields(HWND hwnd);

// The ends of a relay: lines to it go out through requests, its answers come back
// through replies.
struct RelayPipes {
    HANDLE requests;
    HANDLE replies;
};

class Client {
public:
    // Connects to the simulated reader of process pid. On failure, error() says why.
    explicit Client(DWORD pid);
    // Talks to a relay (`mcrsim relay`), which holds the mailbox of its Stripewell.
    explicit Client(RelayPipes relay);
    ~Client();
    Client(const Client &) = delete;
    Client &operator=(const Client &) = delete;

    bool connected() const { return mailbox_ != nullptr || relay_; }
    const std::wstring &error() const { return error_; }

    std::optional<Reply> State();
    std::optional<Reply> Swipe(const MCRSimCard &card);
    std::optional<Reply> PowerOff();
    // What the card test dialog shows now.
    std::optional<Fields> ReadDialog();

    // One request as it stands in the mailbox (command and card); on success the
    // reply's result and state are in *box. Used by the relay to pass requests on.
    bool Call(Mailbox *box);

private:
    std::optional<Reply> Call(Command command, const MCRSimCard *card);
    bool CallMailbox(Mailbox *box);
    // Sends one line to the relay and reads its answer; false (with error_) when the
    // relay is gone or answered with an error.
    bool Ask(const std::string &request, std::string *answer);

    HANDLE memory_ = nullptr;
    void *mailbox_ = nullptr;
    HANDLE request_ = nullptr;
    HANDLE reply_ = nullptr;
    HANDLE clientLock_ = nullptr;
    std::optional<RelayPipes> relay_;
    std::string pending_;  // what the relay sent beyond the last answer
    std::wstring error_;
};

// The relay's side: the answer line to one request line from a relay client, asked of
// client (connected to the mailbox of Stripewell).
std::string RelayAnswer(Client &client, const std::string &request);

}  // namespace mcrsim_remote
