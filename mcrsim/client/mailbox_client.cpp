// The mailbox client; see mailbox_client.h.
#include "mailbox_client.h"

namespace mcrsim_mailbox {

namespace {
// How long to wait for another client to finish with the mailbox; a request of its own
// takes well under kReplyTimeoutMs.
constexpr DWORD kLockTimeoutMs = 3000;
}  // namespace

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

Client::~Client() {
    if (mailbox_) UnmapViewOfFile(mailbox_);
    for (HANDLE h : {memory_, request_, reply_, clientLock_})
        if (h) CloseHandle(h);
}

bool Client::Call(Mailbox *request) {
    if (!connected()) return false;
    const DWORD locked = WaitForSingleObject(clientLock_, kLockTimeoutMs);
    if (locked != WAIT_OBJECT_0 && locked != WAIT_ABANDONED)
        return Fail(Failure::Busy, L"another program has held its mailbox (" + ObjectName(pid_, kClientPart) +
                                       L") for " + std::to_wstring(kLockTimeoutMs / 1000) + L" s");
    Mailbox &box = *static_cast<Mailbox *>(mailbox_);
    // A number of this request's own: a client before this one that gave up waiting may
    // still get its reply into the mailbox, under its own number.
    LONG number = box.issued + 1;
    if (number <= 0) number = 1;
    box.issued = number;
    InterlockedExchange(&box.request, 0);
    box.magic = request->magic;
    box.version = request->version;
    box.command = request->command;
    box.card = request->card;
    ResetEvent(reply_);
    InterlockedExchange(&box.request, number);
    SetEvent(request_);
    bool answered = false;
    const DWORD start = GetTickCount();
    for (DWORD spent = 0; !answered && spent < kReplyTimeoutMs; spent = GetTickCount() - start) {
        if (WaitForSingleObject(reply_, kReplyTimeoutMs - spent) != WAIT_OBJECT_0) break;
        answered = InterlockedCompareExchange(&box.answered, 0, 0) == number;
    }
    if (answered)
        *request = box;
    else
        Fail(Failure::NoAnswer, L"the reader did not answer within " + std::to_wstring(kReplyTimeoutMs / 1000) +
                                    L" s (has Stripewell ended?)");
    ReleaseMutex(clientLock_);
    return answered;
}

std::optional<mcrsim_dialog::Fields> Client::ReadDialog() {
    const auto reply = State();
    if (!reply) return std::nullopt;
    return mcrsim_dialog::ReadFields(reply->state.hOpenWindow);
}

}  // namespace mcrsim_mailbox
