// The relay's end; see relay.h.
#include "relay.h"

#include <array>
#include <cstring>

#include "relay_lines.h"

namespace mcrsim_relay {

using mcrsim_mailbox::Failure;

namespace {

// The relay's messages are plain ASCII.
std::string Ascii(const std::wstring &text) {
    std::string out;
    for (wchar_t c : text) out += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?';
    return out;
}

ErrorKind KindOf(Failure failure) {
    switch (failure) {
    case Failure::Busy: return ErrorKind::Busy;
    case Failure::NoReader:
    case Failure::NoAnswer:
    case Failure::RelayEnded: return ErrorKind::Gone;
    default: return ErrorKind::Other;
    }
}

}  // namespace

std::string AnswerRequest(mcrsim_mailbox::ReaderLink &reader, const std::string &line) {
    Request request;
    std::string why;
    if (!ParseRequest(line, sizeof(mcrsim_mailbox::Mailbox), &request, &why)) return ErrorLine(ErrorKind::Other, why);
    if (request.kind == Request::Kind::Fields) {
        const auto fields = reader.ReadDialog();
        if (!fields) return ErrorLine(KindOf(reader.failure()), Ascii(reader.error()));
        std::array<std::u16string, 3> texts;
        for (int t = 0; t < 3; ++t) texts[t].assign(fields->text[t].begin(), fields->text[t].end());
        return FieldsAnswerLine(fields->dialog, texts);
    }
    mcrsim_mailbox::Mailbox box{};
    std::memcpy(&box, request.mailbox.data(), sizeof box);
    if (!reader.Call(&box)) return ErrorLine(KindOf(reader.failure()), Ascii(reader.error()));
    return MailboxLine(&box, sizeof box);
}

std::string AnswerTooLongRequest() {
    return ErrorLine(ErrorKind::Other,
                     "a request line longer than " + std::to_string(kMaxLine) + " bytes; it was skipped");
}

}  // namespace mcrsim_relay
