#include "relay_lines.h"

namespace mcrsim_relay {

namespace {

constexpr char kDigits[] = "0123456789abcdef";

void AppendHex(const std::uint8_t *bytes, std::size_t size, std::string *out) {
    for (std::size_t i = 0; i < size; ++i) {
        out->push_back(kDigits[bytes[i] >> 4]);
        out->push_back(kDigits[bytes[i] & 15]);
    }
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The bytes of hex text; false when it is not an even number of hex digits.
bool Unhex(std::string_view text, std::vector<std::uint8_t> *bytes) {
    if (text.size() % 2 != 0) return false;
    bytes->clear();
    bytes->reserve(text.size() / 2);
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int high = HexDigit(text[i]), low = HexDigit(text[i + 1]);
        if (high < 0 || low < 0) return false;
        bytes->push_back(static_cast<std::uint8_t>(high * 16 + low));
    }
    return true;
}

bool ParseMailbox(std::string_view hex, std::size_t size, std::vector<std::uint8_t> *bytes) {
    return hex.size() == 2 * size && Unhex(hex, bytes);
}

std::string MailboxSizeText(std::size_t size) { return "a mailbox of " + std::to_string(size) + " bytes in hex"; }

// "F1 <hex> <hex> <hex>" after its "F".
bool ParseFields(std::string_view rest, Answer *answer, std::string *error) {
    if (rest.empty() || (rest[0] != '0' && rest[0] != '1')) {
        *error = "the relay's fields answer does not say whether the dialog is open";
        return false;
    }
    answer->dialog = rest[0] == '1';
    rest.remove_prefix(1);
    std::vector<std::uint8_t> bytes;
    for (std::size_t t = 0; t < answer->fields.size(); ++t) {
        if (rest.empty() || rest[0] != ' ') {
            *error = "the relay's fields answer has " + std::to_string(t) + " of the dialog's 3 fields";
            return false;
        }
        rest.remove_prefix(1);
        const std::size_t end = rest.find(' ');
        const std::string_view hex = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end);
        if (hex.size() > 4 * kMaxFieldUnits) {
            *error = "field " + std::to_string(t + 1) + " of the relay's answer is longer than " +
                     std::to_string(kMaxFieldUnits) + " characters";
            return false;
        }
        if (hex.size() % 4 != 0 || !Unhex(hex, &bytes)) {
            *error = "field " + std::to_string(t + 1) + " of the relay's answer is not UTF-16 in hex";
            return false;
        }
        std::u16string &text = answer->fields[t];
        text.clear();
        for (std::size_t i = 0; i < bytes.size(); i += 2)
            text.push_back(static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8));
    }
    if (!rest.empty()) {
        *error = "the relay's fields answer has more than the dialog's 3 fields";
        return false;
    }
    return true;
}

}  // namespace

std::string Printable(std::string_view text, std::size_t maxLength) {
    const bool cut = text.size() > maxLength;
    if (cut) text = text.substr(0, maxLength >= 3 ? maxLength - 3 : 0);
    std::string out;
    out.reserve(text.size() + 3);
    for (char c : text) out.push_back(c >= 0x20 && c < 0x7F ? c : '?');
    if (cut) out.append(std::string("...").substr(0, maxLength - out.size()));
    return out;
}

std::string MailboxLine(const void *data, std::size_t size) {
    std::string line = "M";
    line.reserve(1 + 2 * size);
    AppendHex(static_cast<const std::uint8_t *>(data), size, &line);
    return line;
}

std::string FieldsRequestLine() { return "F"; }

std::string FieldsAnswerLine(bool dialog, const std::array<std::u16string, 3> &fields) {
    std::string line = dialog ? "F1" : "F0";
    for (const std::u16string &text : fields) {
        line += ' ';
        const std::size_t units = text.size() < kMaxFieldUnits ? text.size() : kMaxFieldUnits;
        for (std::size_t i = 0; i < units; ++i) {
            const std::uint8_t bytes[2] = {static_cast<std::uint8_t>(text[i] & 0xFF),
                                           static_cast<std::uint8_t>(text[i] >> 8)};
            AppendHex(bytes, 2, &line);
        }
    }
    return line;
}

std::string ErrorLine(ErrorKind kind, std::string_view message) {
    const char letter = kind == ErrorKind::Busy ? 'b' : kind == ErrorKind::Gone ? 'g' : 'e';
    std::string text = Printable(message, kMaxMessage);
    if (text.empty()) text = "the relay could not ask the reader";
    return std::string("E") + letter + " " + text;
}

bool ParseRequest(std::string_view line, std::size_t mailboxSize, Request *request, std::string *error) {
    if (line == "F") {
        request->kind = Request::Kind::Fields;
        request->mailbox.clear();
        return true;
    }
    if (!line.empty() && line[0] == 'M') {
        if (!ParseMailbox(line.substr(1), mailboxSize, &request->mailbox)) {
            *error = "a mailbox request that is not " + MailboxSizeText(mailboxSize);
            return false;
        }
        request->kind = Request::Kind::Mailbox;
        return true;
    }
    *error = line.empty() ? "an empty request line" : "a request the relay does not know";
    return false;
}

bool ParseAnswer(std::string_view line, std::size_t mailboxSize, Answer *answer, std::string *error) {
    if (line.empty()) {
        *error = "the relay sent an empty line";
        return false;
    }
    const std::string_view rest = line.substr(1);
    switch (line[0]) {
    case 'M':
        if (!ParseMailbox(rest, mailboxSize, &answer->mailbox)) {
            *error = "the relay's answer is not " + MailboxSizeText(mailboxSize);
            return false;
        }
        answer->kind = Answer::Kind::Mailbox;
        return true;
    case 'F':
        if (!ParseFields(rest, answer, error)) return false;
        answer->kind = Answer::Kind::Fields;
        return true;
    case 'E': {
        // Any E line is an error; an unknown kind is just "something else".
        const bool known = rest.size() >= 2 && rest[1] == ' ' && (rest[0] == 'b' || rest[0] == 'g' || rest[0] == 'e');
        answer->kind = Answer::Kind::Error;
        answer->error = !known ? ErrorKind::Other : rest[0] == 'b' ? ErrorKind::Busy
                                                  : rest[0] == 'g' ? ErrorKind::Gone
                                                                   : ErrorKind::Other;
        answer->message = Printable(known ? rest.substr(2) : rest, kMaxMessage);
        if (answer->message.empty()) answer->message = "the relay reported an error without saying what";
        return true;
    }
    default:
        *error = "the relay sent a line that is no answer of a relay";
        return false;
    }
}

}  // namespace mcrsim_relay
