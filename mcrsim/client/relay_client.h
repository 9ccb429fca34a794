// The relay's client end: the mailbox's requests as lines (relay_lines.h) to `mcrsim
// relay`, which asks Stripewell's reader in that prefix (relay.h).
#pragma once

#include <windows.h>

#include <string>

#include "../core/lines.h"
#include "reader_link.h"
#include "relay_lines.h"

namespace mcrsim_relay {

// The ends of a relay: lines to it go out through requests, its answers come back
// through replies.
struct Pipes {
    HANDLE requests;
    HANDLE replies;
};

class Client final : public mcrsim_mailbox::ReaderLink {
public:
    explicit Client(Pipes relay) : relay_(relay) {}

    // The relay is there until its pipes close; then every request fails at once.
    bool connected() const override { return true; }
    std::optional<mcrsim_dialog::Fields> ReadDialog() override;
    bool Call(mcrsim_mailbox::Mailbox *box) override;

private:
    // Sends one line to the relay and reads its answer, which must be of the kind
    // expected; false (with error()) when the relay is gone, answered with an error or
    // with nonsense.
    bool Exchange(const std::string &request, Answer::Kind expected, Answer *answer);

    Pipes relay_;
    bool ended_ = false;
    mcrsim::LineSplitter replies_{kMaxLine};  // what the relay sent beyond the last answer
};

}  // namespace mcrsim_relay
