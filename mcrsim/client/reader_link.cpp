// The requests every link to a reader makes the same way; see reader_link.h.
#include "reader_link.h"

#include <cstring>
#include <string_view>

#include "relay_lines.h"

namespace mcrsim_mailbox {

bool ReaderLink::Fail(Failure failure, std::wstring error) {
    failure_ = failure;
    error_ = std::move(error);
    return false;
}

std::optional<Reply> ReaderLink::Request(Command command, const MCRSimCard *card) {
    Mailbox box{};
    box.magic = kMagic;
    box.version = kVersion;
    box.command = command;
    box.card = card ? *card : MCRSimCard{};
    if (!Call(&box)) return std::nullopt;
    if (box.magic != kMagic || box.version != kVersion || box.command != command || box.answered != box.request) {
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

std::optional<Reply> ReaderLink::State() { return Request(Command::State, nullptr); }
std::optional<Reply> ReaderLink::Swipe(const MCRSimCard &card) { return Request(Command::Swipe, &card); }
std::optional<Reply> ReaderLink::PowerOff() { return Request(Command::PowerOff, nullptr); }

}  // namespace mcrsim_mailbox
