// The mailbox: the layout of the named shared memory through which another process
// drives the simulated reader inside a running Stripewell, and the names of its objects.
#pragma once

#include <windows.h>

#include <string>

#include "mcrsim.h"

namespace mcrsim_mailbox {

constexpr DWORD kMagic = 0x4D435253;  // "MCRS"
constexpr DWORD kVersion = 3;

enum class Command : DWORD {
    State = 1,     // reply with the reader's state only
    Swipe = 2,     // swipe the card in the request
    PowerOff = 3,  // power the reader off as its automatic power-off would
};

// Results beside those of the in-process functions.
constexpr LONG kResultUnknown = -1;  // a request of another version, or an unknown command
constexpr LONG kResultRefused = -2;  // a card no reader hands over: note says why

// Every process that loads the simulated MCRLIB.dll serves one mailbox, named after its
// process id so that several programs (and parallel tests) never mix. A client takes
// the client mutex, writes a request under a number of its own, sets the request event
// and waits for the reply event; the library's server thread carries the request out
// with the same functions the in-process control interface offers and answers with the
// request's number. A client that has waited long enough gives up and lets the next one
// in; the reply to its request may still come, and carries that request's number, which
// no other client takes for its own.
struct Mailbox {
    DWORD magic;
    DWORD version;
    // The number of the request below: written last by its client (0 while it writes
    // one), so that the server takes a request only whole. Numbers count up from issued.
    LONG request;
    Command command;
    MCRSimCard card;
    LONG answered;      // the number of the request the reply below answers, written last
    LONG result;        // what the in-process function returned, or one of the above
    MCRSimState state;  // the reader's state after the request
    char note[160];     // kResultRefused: why, in ASCII; the client reads at most all of it
    LONG issued;        // the last number a client took (under the client mutex)
};

// How long a client waits for the reader's reply, and for a field of the card test
// dialog to give its text: the server only calls the in-process functions.
constexpr DWORD kReplyTimeoutMs = 5000;

// Names of the kernel objects of the process pid: "MCRSim.<pid>.<part>".
inline std::wstring ObjectName(DWORD pid, const wchar_t *part) {
    return L"MCRSim." + std::to_wstring(pid) + L"." + part;
}

constexpr const wchar_t *kMemoryPart = L"mailbox";
constexpr const wchar_t *kRequestPart = L"request";
constexpr const wchar_t *kReplyPart = L"reply";
constexpr const wchar_t *kClientPart = L"client";

}  // namespace mcrsim_mailbox
