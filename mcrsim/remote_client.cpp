#include "remote_client.h"

#include "remote.h"

namespace mcrsim_remote {

namespace {
// How long a request may take: the server only calls the in-process functions.
constexpr DWORD kReplyTimeoutMs = 5000;
constexpr const wchar_t *kMainWindowClass = L"STRIPEWELL";
}  // namespace

DWORD FindStripewell() {
    HWND main = FindWindowW(kMainWindowClass, nullptr);
    DWORD pid = 0;
    if (main != nullptr) GetWindowThreadProcessId(main, &pid);
    return pid;
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

Client::~Client() {
    if (mailbox_) UnmapViewOfFile(mailbox_);
    for (HANDLE h : {memory_, request_, reply_, clientLock_})
        if (h) CloseHandle(h);
}

std::optional<Reply> Client::Call(DWORD command, const MCRSimCard *card) {
    if (!connected()) return std::nullopt;
    const DWORD locked = WaitForSingleObject(clientLock_, kReplyTimeoutMs);
    if (locked != WAIT_OBJECT_0 && locked != WAIT_ABANDONED) {
        error_ = L"another client keeps the reader busy";
        return std::nullopt;
    }
    Mailbox &box = *static_cast<Mailbox *>(mailbox_);
    box.magic = kMagic;
    box.version = kVersion;
    box.command = static_cast<Command>(command);
    box.card = card ? *card : MCRSimCard{};
    ResetEvent(reply_);
    SetEvent(request_);
    std::optional<Reply> out;
    if (WaitForSingleObject(reply_, kReplyTimeoutMs) == WAIT_OBJECT_0) {
        if (box.result < 0) {
            error_ = L"the reader did not understand the request (version mismatch?)";
        } else {
            out = Reply{box.result, box.state};
        }
    } else {
        error_ = L"the reader did not answer (has Stripewell ended?)";
    }
    ReleaseMutex(clientLock_);
    return out;
}

std::optional<Reply> Client::State() { return Call(static_cast<DWORD>(Command::State), nullptr); }
std::optional<Reply> Client::Swipe(const MCRSimCard &card) { return Call(static_cast<DWORD>(Command::Swipe), &card); }
std::optional<Reply> Client::PowerOff() { return Call(static_cast<DWORD>(Command::PowerOff), nullptr); }

}  // namespace mcrsim_remote
