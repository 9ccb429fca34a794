// What the control layer talks to: the requests of a simulated reader's mailbox and the
// card test dialog's fields, whichever way they travel (mailbox_client.h, relay_client.h).
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "../dll/mailbox.h"
#include "../dll/mcrsim.h"
#include "dialog_reader.h"

namespace mcrsim_mailbox {

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

class ReaderLink {
public:
    virtual ~ReaderLink() = default;
    ReaderLink(const ReaderLink &) = delete;
    ReaderLink &operator=(const ReaderLink &) = delete;

    virtual bool connected() const = 0;
    const std::wstring &error() const { return error_; }
    // Why the last request failed.
    Failure failure() const { return failure_; }

    std::optional<Reply> State();
    std::optional<Reply> Swipe(const MCRSimCard &card);
    std::optional<Reply> PowerOff();
    // What the card test dialog shows now.
    virtual std::optional<mcrsim_dialog::Fields> ReadDialog() = 0;

    // One request as it stands in the mailbox (command and card); on success the
    // reply's result and state are in *box. The relay passes requests on with it.
    virtual bool Call(Mailbox *box) = 0;

protected:
    ReaderLink() = default;
    // Keeps why the request failed; returns false.
    bool Fail(Failure failure, std::wstring error);

private:
    std::optional<Reply> Request(Command command, const MCRSimCard *card);

    std::wstring error_;
    Failure failure_ = Failure::None;
};

}  // namespace mcrsim_mailbox
