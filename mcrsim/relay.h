// The relay, both ends. Named objects belong to one Wine prefix, so a program in
// another prefix (the panel, which scripts/run starts in a prefix of its own) cannot
// open Stripewell's mailbox: `mcrsim relay`, run in Stripewell's prefix, reads its
// requests as lines over two pipes, asks Stripewell's reader through the mailbox and
// writes one answer line each. The client's end is a mailbox client (remote_client.h)
// made with RelayPipes; the lines themselves are relay_lines.h.
#pragma once

#include <windows.h>

#include <string>

namespace mcrsim_remote {

class Client;

// The ends of a relay: lines to it go out through requests, its answers come back
// through replies.
struct RelayPipes {
    HANDLE requests;
    HANDLE replies;
};

// The relay's end: the answer line to one request line from a relay client, asked of
// client (connected to the mailbox of Stripewell). Any line gets an answer.
std::string RelayAnswer(Client &client, const std::string &request);
// The answer to a request line longer than mcrsim_relay::kMaxLine, which was skipped.
std::string RelayAnswerTooLong();

}  // namespace mcrsim_remote
