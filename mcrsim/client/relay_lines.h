// The lines `mcrsim relay` and its client (the panel, in a Wine prefix of its own) send
// each other: one request line, then one answer line. Plain C++17 without platform
// headers, so that the fuzzer reads this very code.
#ifndef STRIPEWELL_MCRSIM_RELAY_LINES_H
#define STRIPEWELL_MCRSIM_RELAY_LINES_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mcrsim_relay {

// The longest field text carried; the client reads no more of a field than this.
constexpr std::size_t kMaxFieldUnits = 511;
// The longest error message carried.
constexpr std::size_t kMaxMessage = 300;
// Either side skips a line longer than this (three full fields take 6,137 bytes).
constexpr std::size_t kMaxLine = 8192;

enum class ErrorKind { Busy, Gone, Other };

struct Request {
    enum class Kind { Mailbox, Fields } kind = Kind::Fields;
    std::vector<std::uint8_t> mailbox;  // Mailbox: its bytes
};

struct Answer {
    enum class Kind { Mailbox, Fields, Error } kind = Kind::Error;
    std::vector<std::uint8_t> mailbox;      // Mailbox: its bytes
    bool dialog = false;                    // Fields: the dialog is open
    std::array<std::u16string, 3> fields;   // Fields: ISO1, ISO2, JIS2
    ErrorKind error = ErrorKind::Other;     // Error
    std::string message;                    // Error: printable ASCII, never empty
};

// The lines:
//   M<hex>                     a mailbox (mailbox.h) as its bytes in hex: a request, and
//                              the same mailbox back, with the reply, as its answer
//   F                          a request for the card test dialog's three fields
//   F<0|1> <hex> <hex> <hex>   its answer: whether the dialog is open, then each field's
//                              UTF-16 code units (low byte first) in hex
//   E<kind> <message>          the relay could not ask the reader: kind b (the reader
//                              is busy), g (no reader answers), e (anything else); the
//                              message is printable ASCII
//
// "M" and the bytes in hex: a mailbox request, and the answer to one.
std::string MailboxLine(const void *data, std::size_t size);
std::string FieldsRequestLine();
// Each field is cut to kMaxFieldUnits.
std::string FieldsAnswerLine(bool dialog, const std::array<std::u16string, 3> &fields);
// The message is made printable ASCII and cut to kMaxMessage.
std::string ErrorLine(ErrorKind kind, std::string_view message);

// Both sides read whatever comes as a line of the other side that may be cut, garbled
// or forged: each parser takes any line, in time linear in its length, and gives what
// it means or says why it means nothing.
//
// Read one line (without its line end). False, with a sentence in *error, when the line
// is not one the other side sends; a mailbox must have mailboxSize bytes.
bool ParseRequest(std::string_view line, std::size_t mailboxSize, Request *request, std::string *error);
bool ParseAnswer(std::string_view line, std::size_t mailboxSize, Answer *answer, std::string *error);

// Text from the other side as printable ASCII ('?' for any other byte), at most
// maxLength bytes ("..." marks a cut).
std::string Printable(std::string_view text, std::size_t maxLength);

}  // namespace mcrsim_relay

#endif  // STRIPEWELL_MCRSIM_RELAY_LINES_H
