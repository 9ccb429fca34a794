// The mailbox client: drives the simulated reader of another process through its
// mailbox (remote.h), or through a relay (relay.h), which carries the same requests
// from a client in another Wine prefix (see docs/simulator.md).
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "core/lines.h"
#include "dialog_fields.h"
#include "mcrsim.h"
#include "relay.h"
#include "relay_lines.h"
#include "remote.h"

namespace mcrsim_remote {

struct Reply {
    LONG result = 0;
    MCRSimState state{};
    std::string note;  // kResultRefused: why the library refused the card (printable ASCII)
};

// Why a request got no reply.
enum class Failure {
    None,
    NoReader,    // no Stripewell, or no simulated reader in the process
    Busy,        // another program holds the reader's mailbox
    NoAnswer,    // the reader did not answer in time (Stripewell ended, or hangs)
    RelayEnded,  // the relay's pipes have closed
    Nonsense,    // an answer no reader and no relay gives
};

// The process id of a running Stripewell (found by its main window class), or 0.
DWORD FindStripewell();

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
    // Why the last request failed.
    Failure failure() const { return failure_; }

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
    // The relay's client end, with the relay's in relay.cpp.
    bool CallRelay(Mailbox *box);
    std::optional<Fields> ReadRelayDialog();
    // Sends one line to the relay and reads its answer, which must be of the kind
    // expected; false (with error_) when the relay is gone, answered with an error or
    // with nonsense.
    bool Ask(const std::string &request, mcrsim_relay::Answer::Kind expected, mcrsim_relay::Answer *answer);
    bool Fail(Failure failure, std::wstring error);

    HANDLE memory_ = nullptr;
    void *mailbox_ = nullptr;
    HANDLE request_ = nullptr;
    HANDLE reply_ = nullptr;
    HANDLE clientLock_ = nullptr;
    DWORD pid_ = 0;
    std::optional<RelayPipes> relay_;
    bool relayEnded_ = false;
    mcrsim::LineSplitter replies_{mcrsim_relay::kMaxLine};  // what the relay sent beyond the last answer
    std::wstring error_;
    Failure failure_ = Failure::None;
};

}  // namespace mcrsim_remote
