// The relay's end (`mcrsim relay`, run in Stripewell's Wine prefix): answers each request
// line of a relay client in another prefix by asking Stripewell's reader.
#pragma once

#include <string>

#include "reader_link.h"

namespace mcrsim_relay {

// The answer line to one request line, asked of reader (connected to Stripewell's
// mailbox); any line gets an answer. Named objects belong to one Wine prefix, so a
// program in another prefix (the panel, which scripts/run starts in a prefix of its
// own) cannot open that mailbox itself.
std::string AnswerRequest(mcrsim_mailbox::ReaderLink &reader, const std::string &request);
// The answer to a request line longer than kMaxLine, which was skipped.
std::string AnswerTooLongRequest();

}  // namespace mcrsim_relay
