#include "remote_client.h"

#include "../res/resource.h"

namespace mcrsim_remote {

namespace {
// How long a request may take: the server only calls the in-process functions.
constexpr DWORD kReplyTimeoutMs = 5000;
constexpr const wchar_t *kMainWindowClass = L"STRIPEWELL";
constexpr int kFieldIds[3] = {IDC_ISO1, IDC_ISO2, IDC_JIS2};

// The relay's lines: "M" and the mailbox's bytes in hex (a request, and the same
// mailbox back as the reply), "F" for the dialog's fields ("F" and the dialog flag,
// then each field's UTF-16 bytes in hex, space-separated), "E" and a message when the
// relay could not ask the reader.
std::string Hex(const void *data, size_t size) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    const BYTE *bytes = static_cast<const BYTE *>(data);
    for (size_t i = 0; i < size; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
    }
    return text;
}

bool Unhex(const std::string &text, size_t from, size_t size, void *out) {
    if (text.size() < from + 2 * size) return false;
    BYTE *bytes = static_cast<BYTE *>(out);
    for (size_t i = 0; i < size; ++i) {
        int value = 0;
        for (int k = 0; k < 2; ++k) {
            const char c = text[from + 2 * i + k];
            const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
            if (digit < 0) return false;
            value = value * 16 + digit;
        }
        bytes[i] = static_cast<BYTE>(value);
    }
    return true;
}

// The relay's messages are plain ASCII.
std::wstring Widen(const std::string &text) { return std::wstring(text.begin(), text.end()); }
std::string Ascii(const std::wstring &text) {
    std::string out;
    for (wchar_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
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
        wchar_t text[512] = L"";
        HWND field = GetDlgItem(hwnd, kFieldIds[t]);
        if (field != nullptr)
            SendMessageTimeoutW(field, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                                kReplyTimeoutMs, nullptr);
        fields.text[t] = text;
    }
    return fields;
}

Client::Client(DWORD pid) {
    if (pid == 0) {
        error_ = L"no Stripewell is running";
        return;
    }
    memory_ = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, ObjectName(pid, kMemoryPart).c_str());
    request_ = OpenEventW(EVENT_MODIFY_STATE, FALSE, ObjectName(pid, kRequestPart).c_str());
    reply_ = OpenEventW(SYNCHRONIZE | EVENT_MODIFY_STATE, FALSE, ObjectName(pid, kReplyPart).c_str());
    if (memory_ == nullptr || request_ == nullptr || reply_ == nullptr) {
        error_ = L"process " + std::to_wstring(pid) + L" has no simulated card reader loaded";
        return;
    }
    clientLock_ = CreateMutexW(nullptr, FALSE, ObjectName(pid, kClientPart).c_str());
    mailbox_ = MapViewOfFile(memory_, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(Mailbox));
    if (mailbox_ == nullptr || clientLock_ == nullptr) error_ = L"cannot map the reader's mailbox";
}

Client::Client(RelayPipes relay) : relay_(relay) {}

Client::~Client() {
    if (mailbox_) UnmapViewOfFile(mailbox_);
    for (HANDLE h : {memory_, request_, reply_, clientLock_})
        if (h) CloseHandle(h);
}

bool Client::Ask(const std::string &request, std::string *answer) {
    const std::string line = request + "\n";
    DWORD written = 0;
    if (!WriteFile(relay_->requests, line.data(), static_cast<DWORD>(line.size()), &written, nullptr) ||
        written != line.size()) {
        error_ = L"the relay to Stripewell's prefix has ended";
        return false;
    }
    // The relay answers every line at once, within the mailbox's own timeout.
    size_t newline;
    while ((newline = pending_.find('\n')) == std::string::npos) {
        char buffer[4096];
        DWORD got = 0;
        if (!ReadFile(relay_->replies, buffer, sizeof buffer, &got, nullptr) || got == 0) {
            error_ = L"the relay to Stripewell's prefix has ended";
            return false;
        }
        pending_.append(buffer, got);
    }
    *answer = pending_.substr(0, newline);
    pending_.erase(0, newline + 1);
    if (!answer->empty() && answer->back() == '\r') answer->pop_back();
    if (answer->rfind("E", 0) == 0) {
        error_ = Widen(answer->substr(1));
        return false;
    }
    return true;
}

bool Client::CallMailbox(Mailbox *request) {
    const DWORD locked = WaitForSingleObject(clientLock_, kReplyTimeoutMs);
    if (locked != WAIT_OBJECT_0 && locked != WAIT_ABANDONED) {
        error_ = L"another client keeps the reader busy";
        return false;
    }
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
        error_ = L"the reader did not answer (has Stripewell ended?)";
    }
    ReleaseMutex(clientLock_);
    return answered;
}

bool Client::Call(Mailbox *box) {
    if (!connected()) return false;
    if (!relay_) return CallMailbox(box);
    std::string answer;
    if (!Ask("M" + Hex(box, sizeof *box), &answer)) return false;
    if (answer[0] != 'M' || !Unhex(answer, 1, sizeof *box, box)) {
        error_ = L"the relay gave an answer that is not a mailbox";
        return false;
    }
    return true;
}

std::optional<Reply> Client::Call(Command command, const MCRSimCard *card) {
    Mailbox box{};
    box.magic = kMagic;
    box.version = kVersion;
    box.command = command;
    box.card = card ? *card : MCRSimCard{};
    if (!Call(&box)) return std::nullopt;
    if (box.result < 0) {
        error_ = L"the reader did not understand the request (version mismatch?)";
        return std::nullopt;
    }
    return Reply{box.result, box.state};
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
    std::string answer;
    if (!Ask("F", &answer)) return std::nullopt;
    Fields fields;
    size_t at = 2;
    bool ok = answer.size() >= 2 && answer[0] == 'F';
    fields.dialog = ok && answer[1] == '1';
    for (int t = 0; t < 3 && ok; ++t) {
        if (at >= answer.size() || answer[at] != ' ') ok = false;
        const size_t end = ok ? answer.find(' ', at + 1) : 0;
        const size_t length = (end == std::string::npos ? answer.size() : end) - (at + 1);
        std::wstring text(length / 4, L'\0');
        ok = ok && length % 4 == 0 && Unhex(answer, at + 1, length / 2, text.data());
        fields.text[t] = text;
        at += 1 + length;
    }
    if (!ok) {
        error_ = L"the relay gave an answer that is not the dialog's fields";
        return std::nullopt;
    }
    return fields;
}

std::string RelayAnswer(Client &client, const std::string &request) {
    if (request == "F") {
        const auto fields = client.ReadDialog();
        if (!fields) return "E" + Ascii(client.error());
        std::string answer = fields->dialog ? "F1" : "F0";
        for (const std::wstring &text : fields->text) answer += " " + Hex(text.data(), text.size() * sizeof(wchar_t));
        return answer;
    }
    Mailbox box{};
    if (request.size() != 1 + 2 * sizeof box || request[0] != 'M' || !Unhex(request, 1, sizeof box, &box))
        return "Ea request the relay does not know";
    if (!client.Call(&box)) return "E" + Ascii(client.error());
    return "M" + Hex(&box, sizeof box);
}

}  // namespace mcrsim_remote
