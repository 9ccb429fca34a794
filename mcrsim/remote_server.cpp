// Serves this process's mailbox (see remote.h) on a thread of its own, started when
// the library is loaded. The thread lives as long as the process.
#include "remote.h"

#include <algorithm>
#include <cstring>

#include "simcard.h"

namespace {

using namespace mcrsim_remote;

struct Server {
    HANDLE memory;
    Mailbox *mailbox;
    HANDLE request;
    HANDLE reply;
};

// A card arriving here comes from another process, which may have made it up: it
// reaches the reader only if a reader could have read it. The card is copied first, as
// the client could still change the shared memory.
LONG Swipe(Mailbox &box) {
    const MCRSimCard card = box.card;
    const std::string why = mcrsim::CheckSimCard(card);
    if (why.empty()) return MCRSimSwipe(&card);
    const size_t n = std::min(why.size(), sizeof box.note - 1);
    std::memcpy(box.note, why.data(), n);
    box.note[n] = '\0';
    return kResultRefused;
}

DWORD WINAPI ServeRequests(LPVOID parameter) {
    Server *server = static_cast<Server *>(parameter);
    for (;;) {
        if (WaitForSingleObject(server->request, INFINITE) != WAIT_OBJECT_0) return 1;
        Mailbox &box = *server->mailbox;
        std::memset(box.note, 0, sizeof box.note);
        LONG result = 0;
        if (box.magic != kMagic || box.version != kVersion) {
            result = kResultUnknown;
        } else {
            switch (box.command) {
            case Command::State: result = 1; break;
            case Command::Swipe: result = Swipe(box); break;
            case Command::PowerOff: result = MCRSimPowerOff(); break;
            default: result = kResultUnknown; break;
            }
        }
        box.result = result;
        MCRSimGetState(&box.state);
        SetEvent(server->reply);
    }
}

}  // namespace

// Called once from DllMain on process attach. Creating kernel objects and a thread is
// safe there as long as nothing waits for the thread; a failure only means that this
// process cannot be driven from outside.
void StartRemoteServer() {
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

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) StartRemoteServer();
    return TRUE;
}
