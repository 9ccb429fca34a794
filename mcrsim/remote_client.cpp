#include "remote_client.h"

#include <cstring>

#include "../res/resource.h"

namespace mcrsim_remote {

namespace {
// How long a request may take: the server only calls the in-process functions.
constexpr DWORD kReplyTimeoutMs = 5000;
// How long to wait for another client to finish with the mailbox; a request of its own
// takes well under kReplyTimeoutMs.
constexpr DWORD kLockTimeoutMs = 3000;
constexpr const wchar_t *kMainWindowClass = L"STRIPEWELL";
constexpr int kFieldIds[3] = {IDC_ISO1, IDC_ISO2, IDC_JIS2};
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

DWORD FindStripewell() {
    HWND main = FindWindowW(kMainWindowClass, nullptr);
    DWORD pid = 0;
    if (main != nullptr) GetWindowThreadProcessId(main, &pid);
    return pid;
}

Fields ReadFields(HWND hwnd) {
    Fields fields;
    if (hwnd == nullptr || !IsWindow(hwnd)) return fields;
    fields.dialog = true;
    for (int t = 0; t < 3; ++t) {
        // WM_GETTEXT itself: GetWindowTextW does not ask another process's control.
        wchar_t text[mcrsim_relay::kMaxFieldUnits + 1] = L"";
        HWND field = GetDlgItem(hwnd, kFieldIds[t]);
        if (field != nullptr)
            SendMessageTimeoutW(field, WM_GETTEXT, mcrsim_relay::kMaxFieldUnits + 1, reinterpret_cast<LPARAM>(text),
                                SMTO_ABORTIFHUNG, kReplyTimeoutMs, nullptr);
        text[mcrsim_relay::kMaxFieldUnits] = L'\0';
        fields.text[t] = text;
    }
    return fields;
}

Client::Client(DWORD pid) : pid_(pid) {
    if (pid == 0) {
        Fail(Failure::NoReader, L"no Stripewell is running");
        return;
    }
    memory_ = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, ObjectName(pid, kMemoryPart).c_str());
    request_ = OpenEventW(EVENT_MODIFY_STATE, FALSE, ObjectName(pid, kRequestPart).c_str());
    reply_ = OpenEventW(SYNCHRONIZE | EVENT_MODIFY_STATE, FALSE, ObjectName(pid, kReplyPart).c_str());
    if (memory_ == nullptr || request_ == nullptr || reply_ == nullptr) {
        Fail(Failure::NoReader, L"process " + std::to_wstring(pid) + L" has no simulated card reader loaded");
        return;
    }
    clientLock_ = CreateMutexW(nullptr, FALSE, ObjectName(pid, kClientPart).c_str());
    mailbox_ = MapViewOfFile(memory_, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(Mailbox));
    if (mailbox_ == nullptr || clientLock_ == nullptr) Fail(Failure::NoReader, L"cannot map the reader's mailbox");
}

Client::Client(RelayPipes relay) : relay_(relay) {}

Client::~Client() {
    if (mailbox_) UnmapViewOfFile(mailbox_);
    for (HANDLE h : {memory_, request_, reply_, clientLock_})
        if (h) CloseHandle(h);
}

bool Client::Fail(Failure failure, std::wstring error) {
    failure_ = failure;
    error_ = std::move(error);
    return false;
}

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

bool Client::CallMailbox(Mailbox *request) {
    const DWORD locked = WaitForSingleObject(clientLock_, kLockTimeoutMs);
    if (locked != WAIT_OBJECT_0 && locked != WAIT_ABANDONED)
        return Fail(Failure::Busy, L"another program has held its mailbox (" + ObjectName(pid_, kClientPart) +
                                       L") for " + std::to_wstring(kLockTimeoutMs / 1000) + L" s");
    Mailbox &box = *static_cast<Mailbox *>(mailbox_);
    box.magic = request->magic;
    box.version = request->version;
    box.command = request->command;
    box.card = request->card;
    ResetEvent(reply_);
    SetEvent(request_);
    bool answered = false;
    if (WaitForSingleObject(reply_, kReplyTimeoutMs) == WAIT_OBJECT_0) {
        *request = box;
        answered = true;
    } else {
        Fail(Failure::NoAnswer, L"the reader did not answer within " + std::to_wstring(kReplyTimeoutMs / 1000) +
                                    L" s (has Stripewell ended?)");
    }
    ReleaseMutex(clientLock_);
    return answered;
}

bool Client::Call(Mailbox *box) {
    if (!connected()) return false;
    if (!relay_) return CallMailbox(box);
    mcrsim_relay::Answer answer;
    if (!Ask(mcrsim_relay::MailboxLine(box, sizeof *box), mcrsim_relay::Answer::Kind::Mailbox, &answer)) return false;
    std::memcpy(box, answer.mailbox.data(), sizeof *box);
    return true;
}

std::optional<Reply> Client::Call(Command command, const MCRSimCard *card) {
    Mailbox box{};
    box.magic = kMagic;
    box.version = kVersion;
    box.command = command;
    box.card = card ? *card : MCRSimCard{};
    if (!Call(&box)) return std::nullopt;
    if (box.magic != kMagic || box.version != kVersion || box.command != command) {
        Fail(Failure::Nonsense, L"the reader's mailbox came back with another request in it");
        return std::nullopt;
    }
    if (box.result == kResultUnknown) {
        Fail(Failure::Nonsense, L"the reader did not understand the request (version mismatch?)");
        return std::nullopt;
    }
    Reply reply{box.result, box.state, std::string()};
    if (box.result == kResultRefused) {
        reply.note = mcrsim_relay::Printable(std::string_view(box.note, strnlen(box.note, sizeof box.note)),
                                             sizeof box.note);
        if (reply.note.empty()) reply.note = "no reason given";
    }
    return reply;
}

std::optional<Reply> Client::State() { return Call(Command::State, nullptr); }
std::optional<Reply> Client::Swipe(const MCRSimCard &card) { return Call(Command::Swipe, &card); }
std::optional<Reply> Client::PowerOff() { return Call(Command::PowerOff, nullptr); }

std::optional<Fields> Client::ReadDialog() {
    if (!relay_) {
        const auto reply = State();
        if (!reply) return std::nullopt;
        return ReadFields(reply->state.hOpenWindow);
    }
    mcrsim_relay::Answer answer;
    if (!Ask(mcrsim_relay::FieldsRequestLine(), mcrsim_relay::Answer::Kind::Fields, &answer)) return std::nullopt;
    Fields fields;
    fields.dialog = answer.dialog;
    for (int t = 0; t < 3; ++t) fields.text[t].assign(answer.fields[t].begin(), answer.fields[t].end());
    return fields;
}

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
