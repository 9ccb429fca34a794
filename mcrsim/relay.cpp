// The relay, both ends; see relay.h.
#include "relay.h"

#include <cstring>

#include "remote_client.h"

namespace mcrsim_remote {

namespace {
constexpr const wchar_t *kRelayEnded = L"the relay to Stripewell's prefix has ended";

// The relay's messages are plain ASCII.
std::wstring Widen(const std::string &text) { return std::wstring(text.begin(), text.end()); }
std::string Ascii(const std::wstring &text) {
    std::string out;
    for (wchar_t c : text) out += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?';
    return out;
}

mcrsim_relay::ErrorKind RelayKind(Failure failure) {
    switch (failure) {
    case Failure::Busy: return mcrsim_relay::ErrorKind::Busy;
    case Failure::NoReader:
    case Failure::NoAnswer:
    case Failure::RelayEnded: return mcrsim_relay::ErrorKind::Gone;
    default: return mcrsim_relay::ErrorKind::Other;
    }
}
}  // namespace

// --- The client's end: the mailbox's requests as lines to `mcrsim relay` -----------

Client::Client(RelayPipes relay) : relay_(relay) {}

bool Client::Ask(const std::string &request, mcrsim_relay::Answer::Kind expected, mcrsim_relay::Answer *answer) {
    if (relayEnded_) return Fail(Failure::RelayEnded, kRelayEnded);
    const std::string line = request + "\n";
    DWORD written = 0;
    if (!WriteFile(relay_->requests, line.data(), static_cast<DWORD>(line.size()), &written, nullptr) ||
        written != line.size()) {
        relayEnded_ = true;
        return Fail(Failure::RelayEnded, kRelayEnded);
    }
    // The relay answers every line at once, within the mailbox's own timeout; a relay
    // that ends closes the pipe, and the read fails.
    std::string text;
    for (;;) {
        const mcrsim::LineSplitter::Got got = replies_.Next(&text);
        if (got == mcrsim::LineSplitter::Got::Line) break;
        if (got == mcrsim::LineSplitter::Got::TooLong)
            return Fail(Failure::Nonsense,
                        L"the relay sent a line longer than " + std::to_wstring(mcrsim_relay::kMaxLine) + L" bytes");
        char buffer[4096];
        DWORD read = 0;
        if (!ReadFile(relay_->replies, buffer, sizeof buffer, &read, nullptr) || read == 0) {
            relayEnded_ = true;
            return Fail(Failure::RelayEnded, kRelayEnded);
        }
        replies_.Feed(std::string_view(buffer, read));
    }
    std::string why;
    if (!mcrsim_relay::ParseAnswer(text, sizeof(Mailbox), answer, &why)) return Fail(Failure::Nonsense, Widen(why));
    if (answer->kind == mcrsim_relay::Answer::Kind::Error) {
        const Failure failure = answer->error == mcrsim_relay::ErrorKind::Busy   ? Failure::Busy
                                : answer->error == mcrsim_relay::ErrorKind::Gone ? Failure::NoAnswer
                                                                                 : Failure::Nonsense;
        return Fail(failure, Widen(answer->message));
    }
    if (answer->kind != expected)
        return Fail(Failure::Nonsense, expected == mcrsim_relay::Answer::Kind::Mailbox
                                           ? L"the relay answered a mailbox request with the dialog's fields"
                                           : L"the relay answered a request for the dialog's fields with a mailbox");
    return true;
}

bool Client::CallRelay(Mailbox *box) {
    mcrsim_relay::Answer answer;
    if (!Ask(mcrsim_relay::MailboxLine(box, sizeof *box), mcrsim_relay::Answer::Kind::Mailbox, &answer)) return false;
    std::memcpy(box, answer.mailbox.data(), sizeof *box);
    return true;
}

std::optional<Fields> Client::ReadRelayDialog() {
    mcrsim_relay::Answer answer;
    if (!Ask(mcrsim_relay::FieldsRequestLine(), mcrsim_relay::Answer::Kind::Fields, &answer)) return std::nullopt;
    Fields fields;
    fields.dialog = answer.dialog;
    for (int t = 0; t < 3; ++t) fields.text[t].assign(answer.fields[t].begin(), answer.fields[t].end());
    return fields;
}

// --- The relay's end: each request line asked of Stripewell's reader -----------------

std::string RelayAnswer(Client &client, const std::string &line) {
    mcrsim_relay::Request request;
    std::string why;
    if (!mcrsim_relay::ParseRequest(line, sizeof(Mailbox), &request, &why))
        return mcrsim_relay::ErrorLine(mcrsim_relay::ErrorKind::Other, why);
    if (request.kind == mcrsim_relay::Request::Kind::Fields) {
        const auto fields = client.ReadDialog();
        if (!fields) return mcrsim_relay::ErrorLine(RelayKind(client.failure()), Ascii(client.error()));
        std::array<std::u16string, 3> texts;
        for (int t = 0; t < 3; ++t) texts[t].assign(fields->text[t].begin(), fields->text[t].end());
        return mcrsim_relay::FieldsAnswerLine(fields->dialog, texts);
    }
    Mailbox box{};
    std::memcpy(&box, request.mailbox.data(), sizeof box);
    if (!client.Call(&box)) return mcrsim_relay::ErrorLine(RelayKind(client.failure()), Ascii(client.error()));
    return mcrsim_relay::MailboxLine(&box, sizeof box);
}

std::string RelayAnswerTooLong() {
    return mcrsim_relay::ErrorLine(mcrsim_relay::ErrorKind::Other, "a request line longer than " +
                                                                       std::to_string(mcrsim_relay::kMaxLine) +
                                                                       " bytes; it was skipped");
}

}  // namespace mcrsim_remote
