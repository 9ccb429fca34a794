// The mailbox's server: serves this process's mailbox (mailbox.h) on a thread of its own,
// started when the library is loaded; the thread lives as long as the process.
#include "mailbox.h"

#include <algorithm>
#include <cstring>

#include "simcard.h"

namespace {

using namespace mcrsim_mailbox;

struct Server {
    HANDLE memory;
    Mailbox *mailbox;
    HANDLE request;
    HANDLE reply;
};

// MCRSimDelayNextMailboxReply: how long the server waits before answering the next
// request (ms), taken by the request it delays.
LONG g_nextReplyDelayMs = 0;

// A card arriving here comes from another process, which may have made it up: it
// reaches the reader only if a reader could have read it.
LONG Swipe(const MCRSimCard &card, Mailbox &box) {
    const std::string why = mcrsim::CheckSimCard(card);
    if (why.empty()) return MCRSimSwipe(&card);
    const size_t n = std::min(why.size(), sizeof box.note - 1);
    std::memcpy(box.note, why.data(), n);
    box.note[n] = '\0';
    return kResultRefused;
}

DWORD WINAPI ServeRequests(LPVOID parameter) {
    Server *server = static_cast<Server *>(parameter);
    LONG served = 0;  // the number of the last request answered
    for (;;) {
        if (WaitForSingleObject(server->request, INFINITE) != WAIT_OBJECT_0) return 1;
        Mailbox &box = *server->mailbox;
        // The request is copied out first, as its client (or the next one, once it has
        // given up waiting) may write over it; it counts only when its number stayed the
        // same throughout. A request already answered is not carried out twice.
        const LONG number = InterlockedCompareExchange(&box.request, 0, 0);
        const DWORD magic = box.magic, version = box.version;
        const Command command = box.command;
        const MCRSimCard card = box.card;
        if (number == 0 || number == served || InterlockedCompareExchange(&box.request, 0, 0) != number) continue;
        served = number;
        std::memset(box.note, 0, sizeof box.note);
        LONG result = 0;
        if (magic != kMagic || version != kVersion) {
            result = kResultUnknown;
        } else {
            switch (command) {
            case Command::State: result = 1; break;
            case Command::Swipe: result = Swipe(card, box); break;
            case Command::PowerOff: result = MCRSimPowerOff(); break;
            default: result = kResultUnknown; break;
            }
        }
        const LONG delay = InterlockedExchange(&g_nextReplyDelayMs, 0);
        if (delay > 0) Sleep(static_cast<DWORD>(delay));
        box.result = result;
        MCRSimGetState(&box.state);
        InterlockedExchange(&box.answered, number);
        SetEvent(server->reply);
    }
}

}  // namespace

// Called once from DllMain on process attach. Creating kernel objects and a thread is
// safe there as long as nothing waits for the thread; a failure only means that this
// process cannot be driven from outside.
void StartMailboxServer() {
    const DWORD pid = GetCurrentProcessId();
    static Server server{};
    server.memory = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(Mailbox),
                                       ObjectName(pid, kMemoryPart).c_str());
    if (server.memory == nullptr) return;
    server.mailbox = static_cast<Mailbox *>(MapViewOfFile(server.memory, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(Mailbox)));
    server.request = CreateEventW(nullptr, FALSE, FALSE, ObjectName(pid, kRequestPart).c_str());
    server.reply = CreateEventW(nullptr, FALSE, FALSE, ObjectName(pid, kReplyPart).c_str());
    if (server.mailbox == nullptr || server.request == nullptr || server.reply == nullptr) return;
    HANDLE thread = CreateThread(nullptr, 0, ServeRequests, &server, 0, nullptr);
    if (thread != nullptr) CloseHandle(thread);
}

extern "C" void MCRSimDelayNextMailboxReply(DWORD dwMs) {
    InterlockedExchange(&g_nextReplyDelayMs, static_cast<LONG>(std::min<DWORD>(dwMs, 60000)));
}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) StartMailboxServer();
    return TRUE;
}
