// Drives the simulated reader of another process through its mailbox (remote.h).
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "mcrsim.h"

namespace mcrsim_remote {

struct Reply {
    LONG result = 0;
    MCRSimState state{};
};

// The process id of a running Stripewell (found by its main window class), or 0.
DWORD FindStripewell();

class Client {
public:
    // Connects to the simulated reader of process pid. On failure, error() says why.
    explicit Client(DWORD pid);
    ~Client();
    Client(const Client &) = delete;
    Client &operator=(const Client &) = delete;

    bool connected() const { return mailbox_ != nullptr; }
    const std::wstring &error() const { return error_; }

    std::optional<Reply> State();
    std::optional<Reply> Swipe(const MCRSimCard &card);
    std::optional<Reply> PowerOff();

private:
    std::optional<Reply> Call(DWORD command, const MCRSimCard *card);

    HANDLE memory_ = nullptr;
    void *mailbox_ = nullptr;
    HANDLE request_ = nullptr;
    HANDLE reply_ = nullptr;
    HANDLE clientLock_ = nullptr;
    std::wstring error_;
};

}  // namespace mcrsim_remote
