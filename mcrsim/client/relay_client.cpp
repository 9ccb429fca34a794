// The relay's client end; see relay_client.h.
#include "relay_client.h"

#include <cstring>

namespace mcrsim_relay {

using mcrsim_mailbox::Failure;

namespace {
constexpr const wchar_t *kRelayEnded = L"the relay to Stripewell's prefix has ended";

// The relay's messages are plain ASCII.
std::wstring Widen(const std::string &text) { return std::wstring(text.begin(), text.end()); }
}  // namespace

bool Client::Exchange(const std::string &request, Answer::Kind expected, Answer *answer) {
    if (ended_) return Fail(Failure::RelayEnded, kRelayEnded);
    const std::string line = request + "\n";
    DWORD written = 0;
    if (!WriteFile(relay_.requests, line.data(), static_cast<DWORD>(line.size()), &written, nullptr) ||
        written != line.size()) {
        ended_ = true;
        return Fail(Failure::RelayEnded, kRelayEnded);
    }
    // The relay answers every line at once, within the mailbox's own timeout; a relay
    // that ends closes the pipe, and the read fails.
    std::string text;
    for (;;) {
        const mcrsim::LineSplitter::Got got = replies_.Next(&text);
        if (got == mcrsim::LineSplitter::Got::Line) break;
        if (got == mcrsim::LineSplitter::Got::TooLong)
            return Fail(Failure::Nonsense, L"the relay sent a line longer than " + std::to_wstring(kMaxLine) + L" bytes");
        char buffer[4096];
        DWORD read = 0;
        if (!ReadFile(relay_.replies, buffer, sizeof buffer, &read, nullptr) || read == 0) {
            ended_ = true;
            return Fail(Failure::RelayEnded, kRelayEnded);
        }
        replies_.Feed(std::string_view(buffer, read));
    }
    std::string why;
    if (!ParseAnswer(text, sizeof(mcrsim_mailbox::Mailbox), answer, &why)) return Fail(Failure::Nonsense, Widen(why));
    if (answer->kind == Answer::Kind::Error) {
        const Failure failure = answer->error == ErrorKind::Busy   ? Failure::Busy
                                : answer->error == ErrorKind::Gone ? Failure::NoAnswer
                                                                   : Failure::Nonsense;
        return Fail(failure, Widen(answer->message));
    }
    if (answer->kind != expected)
        return Fail(Failure::Nonsense, expected == Answer::Kind::Mailbox
                                           ? L"the relay answered a mailbox request with the dialog's fields"
                                           : L"the relay answered a request for the dialog's fields with a mailbox");
    return true;
}

bool Client::Call(mcrsim_mailbox::Mailbox *box) {
    Answer answer;
    if (!Exchange(MailboxLine(box, sizeof *box), Answer::Kind::Mailbox, &answer)) return false;
    std::memcpy(box, answer.mailbox.data(), sizeof *box);
    return true;
}

std::optional<mcrsim_dialog::Fields> Client::ReadDialog() {
    Answer answer;
    if (!Exchange(FieldsRequestLine(), Answer::Kind::Fields, &answer)) return std::nullopt;
    mcrsim_dialog::Fields fields;
    fields.dialog = answer.dialog;
    for (int t = 0; t < 3; ++t) fields.text[t].assign(answer.fields[t].begin(), answer.fields[t].end());
    return fields;
}

}  // namespace mcrsim_relay
