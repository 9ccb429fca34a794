// The mailbox client: drives the simulated reader of another process of this Wine
// prefix through that process's mailbox (../dll/mailbox.h).
#pragma once

#include <windows.h>

#include "reader_link.h"

namespace mcrsim_mailbox {

class Client final : public ReaderLink {
public:
    // Connects to the simulated reader of process pid. On failure, error() says why.
    explicit Client(DWORD pid);
    ~Client() override;

    bool connected() const override { return mailbox_ != nullptr; }
    std::optional<mcrsim_dialog::Fields> ReadDialog() override;
    bool Call(Mailbox *box) override;

private:
    HANDLE memory_ = nullptr;
    void *mailbox_ = nullptr;
    HANDLE request_ = nullptr;
    HANDLE reply_ = nullptr;
    HANDLE clientLock_ = nullptr;
    DWORD pid_ = 0;
};

}  // namespace mcrsim_mailbox
